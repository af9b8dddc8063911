// Modal dialogs made from a template of the program's resources.
#pragma once

#include "platform/framework/wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

    // Creates the dialog, runs it until it is ended and returns the end code
    // (-1 when it could not be created).
    virtual INT_PTR DoModal();
    // Runs the first data exchange. TRUE puts the focus on the first tab stop.
    virtual BOOL OnInitDialog();
    void EndDialog(int nResult);

    // Commands the dialog does not handle go on to the application.
    BOOL OnCmdMsg(UINT nID, int nCode) override;

protected:
    virtual void OnOK();
    virtual void OnCancel();

    LPCWSTR m_lpszTemplateName;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()

private:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
    BOOL HandleInitDialog(HWND hWnd);
    // Whether the template puts the dialog at (0, 0) without asking for a
    // place of its own: the framework centres such a dialog.
    bool TemplateAsksForCentring() const;
};

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
