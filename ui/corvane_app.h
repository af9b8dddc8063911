// The application object: prepares the common controls, the sockets and
// the framework, then shows the main dialog modally; the program ends when
// the dialog closes.
#pragma once

#include "platform/framework/afx.h"

class CCorvaneApp : public CWinApp {
public:
    CCorvaneApp();
    ~CCorvaneApp() override;

    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};

extern CCorvaneApp theApp;
