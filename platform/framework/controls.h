// The control classes: window objects for the predefined controls, with
// the operations the program uses on them.
#pragma once

#include "platform/framework/wnd.h"

class CButton : public CWnd {
};

class CEdit : public CWnd {
};

class CStatic : public CWnd {
};

class CProgressCtrl : public CWnd {
public:
    void SetRange32(int nLower, int nUpper) { SendMessage(PBM_SETRANGE32, WPARAM(nLower), LPARAM(nUpper)); }
    int SetPos(int nPos) { return int(SendMessage(PBM_SETPOS, WPARAM(nPos), 0)); }
    int GetPos() const { return int(SendMessage(PBM_GETPOS, 0, 0)); }
    void GetRange(int& nLower, int& nUpper) const
    {
        PBRANGE range = {};
        SendMessage(PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
        nLower = range.iLow;
        nUpper = range.iHigh;
    }
};
