// A view shows the windows of the windowing layer and turns a person's
// input into the messages the layer expects. The layer keeps every
// window's state itself (text, enabled state, position, a progress bar's
// range and position) and tells the view what changed; a view reads that
// state back through WindowSnapshot.
//
// The headless view (headless_view.h) shows nothing and lets tests act as
// a person; a desktop view draws real windows.
#pragma once

#include <string>
#include <vector>

#include "platform/winapi.h"

namespace platform {

enum class WindowChange {
    Created,   // the window exists, its state complete
    Destroyed,
    Text,
    Enabled,
    Shown,     // visible, hidden, minimised or restored
    Moved,
    Progress,  // a progress bar's range or position
    Focus,     // the window received the focus
    Icon,
};

// A copy of what the layer knows about one window.
struct WindowSnapshot {
    HWND hwnd = nullptr;
    HWND parent = nullptr;
    HWND owner = nullptr;
    DWORD threadId = 0;
    std::u16string className;
    std::u16string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int id = 0;
    RECT rect = {};    // screen position of a top-level window, else in the parent's client area
    SIZE client = {};  // size of the client area
    int rangeLow = 0;
    int rangeHigh = 0;
    int position = 0;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;

    bool enabled() const { return (style & WS_DISABLED) == 0; }
    bool visible() const { return (style & WS_VISIBLE) != 0; }
    bool minimized() const { return (style & WS_MINIMIZE) != 0; }
};

// Pixel sizes the layer cannot know by itself: they depend on where the
// windows are shown.
struct DisplayMetrics {
    int screenWidth = 1024;
    int screenHeight = 768;
    int captionHeight = 23;  // title bar of a top-level window
    int frameWidth = 3;      // each side of a fixed dialog frame
    int iconSize = 32;
};

// The average character width and the height of a dialog's font in
// pixels: the dialog base units, a quarter and an eighth of which are one
// horizontal and one vertical dialog unit.
struct DialogFontMetrics {
    int averageCharWidth = 6;
    int height = 12;
};

class WindowView {
public:
    virtual ~WindowView() = default;

    // Called on the window's own thread after the change, with no lock held.
    virtual void WindowChanged(HWND hwnd, WindowChange change);
    // An icon drawn into the client area of hwnd while it paints.
    virtual void IconDrawn(HWND hwnd, int x, int y, HICON icon);

    // Called from any thread, also with the layer's lock held: must be
    // cheap and must not call the layer.
    virtual DisplayMetrics Metrics() const;
    virtual DialogFontMetrics MeasureDialogFont(const std::u16string& typeface, int points) const;

    // A view with an event loop of its own on the windows' thread (a
    // toolkit's) has the layer wait through it, so its loop keeps running
    // whenever the thread waits for messages.
    virtual bool RunsEventLoopOn(DWORD threadId) const;
    // Runs the loop until Wake or until timeoutMs (INFINITE: no limit).
    virtual void WaitForEvents(DWORD timeoutMs);
    // Runs what the loop has ready, without waiting.
    virtual void PollEvents();
    // A message arrived for threadId. Any thread calls it, with the
    // layer's lock held.
    virtual void Wake(DWORD threadId);
};

// The view in use; the default one shows nothing. Set it before the first
// window is created; the view must outlive every window.
void SetWindowView(WindowView* view);
WindowView& CurrentWindowView();

// The state of hwnd; false when it is not a window.
bool SnapshotWindow(HWND hwnd, WindowSnapshot* snapshot);
// Every window, parents before their children, in creation order.
std::vector<WindowSnapshot> SnapshotAllWindows();
// The window that has the focus on the thread threadId, or null.
HWND FocusOfThread(DWORD threadId);

// For views and message boxes: ends the modal loop that runs for hwnd (a
// dialog, a message box, a folder browser) with result. Any thread may
// call it. Returns false when hwnd is not a window.
bool EndModalLoop(HWND hwnd, INT_PTR result);

// What an open message box shows; false when hwnd is not one.
struct MessageBoxContent {
    std::u16string caption;
    std::u16string text;
    UINT type = 0;  // as MessageBoxW took it
};
bool DescribeMessageBox(HWND hwnd, MessageBoxContent* content);

// What an open folder browser asks; false when hwnd is not one.
struct FolderBrowserContent {
    std::u16string title;
    UINT flags = 0;
};
bool DescribeFolderBrowser(HWND hwnd, FolderBrowserContent* content);
// Ends the folder browser hwnd as the person chose: path null cancels; an
// empty path is an item that is not in the file system. Any thread may
// call it. Returns false when hwnd is not an open folder browser.
bool AnswerFolderBrowser(HWND hwnd, const std::u16string* path);

}  // namespace platform
