#include "platform/headless_view.h"

#include "platform/linux/window_internal.h"

namespace platform {
namespace {

bool IsMessageBox(HWND hwnd)
{
    MessageBoxContent content;
    return DescribeMessageBox(hwnd, &content);
}

bool IsFolderBrowser(HWND hwnd)
{
    FolderBrowserContent content;
    return DescribeFolderBrowser(hwnd, &content);
}

// The last top-level window for which pick holds.
template <typename Pick>
HWND LastTopLevelWindow(Pick pick)
{
    HWND found = nullptr;
    for (const WindowSnapshot& window : SnapshotAllWindows()) {
        if (!window.parent && pick(window.hwnd))
            found = window.hwnd;
    }
    return found;
}

// Which buttons a message box of type offers.
bool OffersButton(UINT type, int button)
{
    switch (type & MB_TYPEMASK) {
    case MB_OK: return button == IDOK;
    case MB_OKCANCEL: return button == IDOK || button == IDCANCEL;
    case MB_YESNOCANCEL: return button == IDYES || button == IDNO || button == IDCANCEL;
    case MB_YESNO: return button == IDYES || button == IDNO;
    default: return false;
    }
}

MSG Input(UINT message, WPARAM wParam = 0)
{
    MSG msg = {};
    msg.message = message;
    msg.wParam = wParam;
    return msg;
}

}  // namespace

constexpr std::chrono::seconds HeadlessView::kPatience;

HWND HeadlessView::MainWindow() const
{
    for (const WindowSnapshot& window : SnapshotAllWindows()) {
        if (!window.parent && !IsMessageBox(window.hwnd) && !IsFolderBrowser(window.hwnd))
            return window.hwnd;
    }
    return nullptr;
}

WindowSnapshot HeadlessView::Control(int id) const
{
    HWND main = MainWindow();
    for (const WindowSnapshot& window : SnapshotAllWindows()) {
        if (main && window.parent == main && window.id == id)
            return window;
    }
    return WindowSnapshot();
}

HWND HeadlessView::OpenMessageBox() const
{
    return LastTopLevelWindow(IsMessageBox);
}

HWND HeadlessView::OpenFolderBrowser() const
{
    return LastTopLevelWindow(IsFolderBrowser);
}

HWND HeadlessView::Focus() const
{
    WindowSnapshot main;
    return SnapshotWindow(MainWindow(), &main) ? FocusOfThread(main.threadId) : nullptr;
}

std::vector<MessageBoxContent> HeadlessView::MessageBoxesShown() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_messageBoxes;
}

std::vector<FolderBrowserContent> HeadlessView::FolderBrowsersShown() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_folderBrowsers;
}

std::vector<HeadlessView::IconDrawing> HeadlessView::IconsDrawn() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_icons;
}

std::vector<HeadlessView::Change> HeadlessView::Changes() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_changes;
}

void HeadlessView::ForgetHistory()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_messageBoxes.clear();
    m_folderBrowsers.clear();
    m_icons.clear();
    m_changes.clear();
}

bool HeadlessView::PostInput(HWND hwnd, const std::vector<MSG>& input)
{
    if (!hwnd || !AcceptsInput(hwnd))
        return false;
    for (const MSG& msg : input)
        PostMessageW(hwnd, msg.message, msg.wParam, msg.lParam);
    return true;
}

bool HeadlessView::Click(int id)
{
    return PostInput(Control(id).hwnd, {Input(WM_LBUTTONDOWN), Input(WM_LBUTTONUP)});
}

bool HeadlessView::Type(int id, const std::u16string& text)
{
    std::vector<MSG> input = {Input(WM_LBUTTONDOWN), Input(WM_LBUTTONUP)};
    for (char16_t unit : text)
        input.push_back(Input(WM_CHAR, unit));
    return PostInput(Control(id).hwnd, input);
}

bool HeadlessView::PressKey(UINT virtualKey)
{
    HWND target = Focus() ? Focus() : MainWindow();
    return PostInput(target, {Input(WM_KEYDOWN, virtualKey), Input(WM_KEYUP, virtualKey)});
}

bool HeadlessView::Close()
{
    HWND main = MainWindow();
    return main && AcceptsInput(main) && PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
}

bool HeadlessView::Minimise()
{
    HWND main = MainWindow();
    return main && AcceptsInput(main) && PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}

bool HeadlessView::Restore()
{
    HWND main = MainWindow();
    return main && AcceptsInput(main) && PostMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0);
}

bool HeadlessView::AnswerMessageBox(int button)
{
    HWND box = OpenMessageBox();
    MessageBoxContent content;
    if (!DescribeMessageBox(box, &content) || !OffersButton(content.type, button))
        return false;
    return EndModalLoop(box, button);
}

bool HeadlessView::ChooseFolder(const std::u16string& path)
{
    return AnswerFolderBrowser(OpenFolderBrowser(), &path);
}

bool HeadlessView::ChooseItemWithoutPath()
{
    std::u16string noPath;
    return AnswerFolderBrowser(OpenFolderBrowser(), &noPath);
}

bool HeadlessView::CancelFolderBrowser()
{
    return AnswerFolderBrowser(OpenFolderBrowser(), nullptr);
}

bool HeadlessView::WaitUntil(const std::function<bool()>& condition) const
{
    // Changes wake the wait; the short slices cover conditions that no
    // window change signals, such as a thread's end.
    const auto slice = std::chrono::milliseconds(10);
    auto deadline = std::chrono::steady_clock::now() + kPatience;
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        unsigned long long seen = m_changeCount;
        lock.unlock();
        bool holds = condition();
        lock.lock();
        if (holds)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        m_changed.wait_for(lock, slice, [&] { return m_changeCount != seen; });
    }
}

bool HeadlessView::WaitForMessageBox() const
{
    return WaitUntil([this] { return OpenMessageBox() != nullptr; });
}

bool HeadlessView::WaitForFolderBrowser() const
{
    return WaitUntil([this] { return OpenFolderBrowser() != nullptr; });
}

bool HeadlessView::WaitForMainWindow() const
{
    return WaitUntil([this] {
        WindowSnapshot main;
        return SnapshotWindow(MainWindow(), &main) && main.visible();
    });
}

void HeadlessView::WindowChanged(HWND hwnd, WindowChange change)
{
    Change recorded{change, WindowSnapshot()};
    SnapshotWindow(hwnd, &recorded.window);
    MessageBoxContent box;
    FolderBrowserContent browser;
    bool newBox = change == WindowChange::Created && DescribeMessageBox(hwnd, &box);
    bool newBrowser = change == WindowChange::Created && DescribeFolderBrowser(hwnd, &browser);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_changes.push_back(recorded);
        if (newBox)
            m_messageBoxes.push_back(box);
        if (newBrowser)
            m_folderBrowsers.push_back(browser);
        ++m_changeCount;
    }
    m_changed.notify_all();
}

void HeadlessView::IconDrawn(HWND hwnd, int x, int y, HICON icon)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_icons.push_back(IconDrawing{hwnd, x, y, icon});
        ++m_changeCount;
    }
    m_changed.notify_all();
}

}  // namespace platform
