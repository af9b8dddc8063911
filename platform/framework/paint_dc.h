// Device contexts: the painting between BeginPaint and EndPaint.
#pragma once

#include "platform/winapi.h"

class CWnd;

class CDC {
public:
    HDC m_hDC = nullptr;
    HDC GetSafeHdc() const { return m_hDC; }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
};

class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    PAINTSTRUCT m_ps = {};

private:
    HWND m_hWnd;
};
