// The view in use, what the layer tells it, and the snapshots it reads.
#include <atomic>

#include "platform/linux/window_internal.h"

namespace platform {
namespace {

WindowView g_defaultView;
std::atomic<WindowView*> g_view{&g_defaultView};

WindowSnapshot SnapshotLocked(const Window& window)
{
    WindowSnapshot snapshot;
    snapshot.hwnd = window.hwnd;
    snapshot.parent = window.parent;
    snapshot.owner = window.owner;
    snapshot.threadId = window.threadId;
    snapshot.className = window.className;
    snapshot.text = window.text;
    snapshot.style = window.style;
    snapshot.exStyle = window.exStyle;
    snapshot.id = int(window.id);
    snapshot.rect = window.rect;
    snapshot.client = ClientSizeLocked(window);
    snapshot.rangeLow = window.rangeLow;
    snapshot.rangeHigh = window.rangeHigh;
    snapshot.position = window.position;
    snapshot.bigIcon = window.bigIcon;
    snapshot.smallIcon = window.smallIcon;
    return snapshot;
}

}  // namespace

void WindowView::WindowChanged(HWND, WindowChange) {}

void WindowView::IconDrawn(HWND, int, int, HICON) {}

DisplayMetrics WindowView::Metrics() const
{
    return DisplayMetrics();
}

// A 9-point font at 96 dots per inch is 12 pixels high; its average
// character is half as wide.
DialogFontMetrics WindowView::MeasureDialogFont(const std::u16string&, int points) const
{
    DialogFontMetrics metrics;
    metrics.height = (points * 96 + 36) / 72;
    metrics.averageCharWidth = (metrics.height + 1) / 2;
    return metrics;
}

bool WindowView::RunsEventLoopOn(DWORD) const
{
    return false;
}

void WindowView::WaitForEvents(DWORD) {}

void WindowView::PollEvents() {}

void WindowView::Wake(DWORD) {}

void SetWindowView(WindowView* view)
{
    g_view.store(view ? view : &g_defaultView);
}

WindowView& CurrentWindowView()
{
    return *g_view.load();
}

void NotifyView(HWND hwnd, WindowChange change)
{
    CurrentWindowView().WindowChanged(hwnd, change);
}

bool SnapshotWindow(HWND hwnd, WindowSnapshot* snapshot)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = FindWindowLocked(hwnd);
    if (!window || !snapshot)
        return false;
    *snapshot = SnapshotLocked(*window);
    return true;
}

std::vector<WindowSnapshot> SnapshotAllWindows()
{
    std::lock_guard<std::mutex> guard(UserLock());
    std::vector<WindowSnapshot> all;
    for (Window* window : AllWindowsLocked())
        all.push_back(SnapshotLocked(*window));
    return all;
}

HWND FocusOfThread(DWORD threadId)
{
    std::lock_guard<std::mutex> guard(UserLock());
    std::shared_ptr<MessageQueue> queue = QueueOfThreadLocked(threadId);
    return queue && FindWindowLocked(queue->focus) ? queue->focus : nullptr;
}

}  // namespace platform
