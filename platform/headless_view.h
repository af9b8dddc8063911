// The headless view: shows nothing, and lets a test see every window's
// state and act on the program as a person at the screen would: click,
// type, press keys, close or minimise the window, and answer message boxes
// and the folder browser. Acting posts input to the program's thread and
// returns at once; the Wait calls wait for what the program does with it.
//
// A person only reaches what is on screen and usable: each action returns
// false, doing nothing, when its window is missing, hidden or disabled, or
// lies under an open message box or folder browser.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/view.h"

namespace platform {

class HeadlessView : public WindowView {
public:
    // How long the Wait calls wait before they give up.
    static constexpr std::chrono::seconds kPatience{60};

    struct IconDrawing {
        HWND hwnd;
        int x;
        int y;
        HICON icon;
    };

    // A change the layer reported, with the window's state after it.
    struct Change {
        WindowChange what;
        WindowSnapshot window;
    };

    // ---- What is on screen.

    // The program's own top-level window: the first that is neither a
    // message box nor a folder browser. Null when there is none.
    HWND MainWindow() const;
    // The control id of the main window; its hwnd is null when missing.
    WindowSnapshot Control(int id) const;
    HWND OpenMessageBox() const;
    HWND OpenFolderBrowser() const;
    // The window that has the focus on the main window's thread.
    HWND Focus() const;

    // Every message box and folder browser opened so far, in order.
    std::vector<MessageBoxContent> MessageBoxesShown() const;
    std::vector<FolderBrowserContent> FolderBrowsersShown() const;
    std::vector<IconDrawing> IconsDrawn() const;
    std::vector<Change> Changes() const;
    void ForgetHistory();

    // ---- What a person does.

    bool Click(int id);
    // Clicks into the field id and types text at its end.
    bool Type(int id, const std::u16string& text);
    // A key pressed and released on the window that has the focus.
    bool PressKey(UINT virtualKey);
    // The close button in the main window's title bar.
    bool Close();
    bool Minimise();
    bool Restore();
    // Presses button (IDOK, IDYES, ...) of the open message box.
    bool AnswerMessageBox(int button);
    bool ChooseFolder(const std::u16string& path);
    // Picks an item of the browser that is no file-system folder.
    bool ChooseItemWithoutPath();
    bool CancelFolderBrowser();

    // ---- Waiting for the program.

    // Waits until condition holds, looking again after every change.
    // False when kPatience passed first.
    bool WaitUntil(const std::function<bool()>& condition) const;
    bool WaitForMessageBox() const;
    bool WaitForFolderBrowser() const;
    bool WaitForMainWindow() const;

    // ---- WindowView.

    void WindowChanged(HWND hwnd, WindowChange change) override;
    void IconDrawn(HWND hwnd, int x, int y, HICON icon) override;

private:
    // Posts input messages to hwnd when a person can reach it.
    bool PostInput(HWND hwnd, const std::vector<MSG>& input);

    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::vector<MessageBoxContent> m_messageBoxes;
    std::vector<FolderBrowserContent> m_folderBrowsers;
    std::vector<IconDrawing> m_icons;
    std::vector<Change> m_changes;
    unsigned long long m_changeCount = 0;
};

}  // namespace platform
