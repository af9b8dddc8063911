// What the window table and the message queues share inside the platform
// layer, and the calls that dialogs, message boxes and other modal loops
// build on.
//
// One lock (UserLock) guards the window table, the classes and every queue,
// so that destroying a window, posting to it and releasing its senders can
// never interleave. Window procedures are always called with it released.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/api/user.h"
#include "platform/view.h"

namespace platform {

struct MessageQueue;

// A message sent from another thread, waiting for its owner to handle it.
struct SentMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool replied = false;
    std::shared_ptr<MessageQueue> sender;
    // Set for work that must run on the window's thread instead of a
    // message to its procedure (see RunOnWindowThread).
    std::function<LRESULT()> task;
};

// One per thread, made on the thread's first window or message call.
struct MessageQueue {
    DWORD threadId = 0;
    std::condition_variable wakeUp;  // a sent message or a reply arrived, or a post
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> incomingSent;
    bool quitPosted = false;
    int quitCode = 0;
    // Posts since the thread last looked, so waiting for "something new"
    // does not spin on posted messages a filter left behind.
    uint64_t arrivals = 0;
    uint64_t arrivalsSeen = 0;
    HWND focus = nullptr;
};

struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<MessageQueue> queue;  // the owner thread's
    DWORD threadId = 0;
    std::u16string className;
    WNDPROC wndProc = nullptr;
    std::u16string text;
    DWORD style = 0;  // WS_DISABLED here is the enabled flag, as on Windows
    DWORD exStyle = 0;
    LONG_PTR id = 0;  // hMenu of a child window
    HWND parent = nullptr;
    HWND owner = nullptr;  // hWndParent of a window that is not a child
    LONG_PTR userData = 0;
    RECT rect = {};  // screen position of a top-level window, else relative to the parent
    std::vector<BYTE> extraBytes;  // the class's cbWndExtra
    bool destroying = false;
    bool needsPaint = false;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    // A progress bar's state.
    int rangeLow = 0;
    int rangeHigh = 100;
    int position = 0;
    // A button between a press and its release.
    bool pressed = false;
    // A dialog's base units: the pixels of 4 horizontal and 8 vertical
    // dialog units.
    SIZE dialogUnits = {};
    // The modal loop run for this window (a dialog, a message box, a folder
    // browser) ends once modalEnded is set.
    bool modalEnded = false;
    INT_PTR modalResult = 0;

    bool IsEnabled() const { return (style & WS_DISABLED) == 0; }
    void SetEnabled(bool enabled)
    {
        style = enabled ? (style & ~DWORD(WS_DISABLED)) : (style | DWORD(WS_DISABLED));
    }
};

std::mutex& UserLock();

// ---- Window table (window.cpp); the Locked calls need UserLock held.

// The window, or null for a null, unknown or destroyed handle.
Window* FindWindowLocked(HWND hwnd);
// The same, setting ERROR_INVALID_WINDOW_HANDLE when there is none.
Window* WindowOrFailLocked(HWND hwnd);
// Whether two class names are the same; case does not count, as on Windows.
bool SameClassName(const std::u16string& a, const std::u16string& b);
// Whether window is a child, grandchild, ... of ancestor.
bool IsDescendantLocked(HWND window, HWND ancestor);
// The first window of queue's thread that waits to be painted and that
// matches, or null.
HWND WindowToPaintLocked(const MessageQueue& queue, const std::function<bool(HWND)>& matches);
// Every window, parents before children, in creation order.
std::vector<Window*> AllWindowsLocked();
// Forgets every window of a thread that has exited, without calling their
// procedures: the objects they refer to died with the thread.
void RemoveWindowsOfQueueLocked(const MessageQueue& queue);
// Calls hwnd's window procedure on the calling thread. Returns its result,
// or 0 with ERROR_INVALID_WINDOW_HANDLE when hwnd is not a window.
LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Whether hwnd takes a person's input: it and every window it belongs to
// (parents, and the owner of its top-level window) are enabled.
bool AcceptsInput(HWND hwnd);
// The window's size less its frame and title bar.
SIZE ClientSizeLocked(const Window& window);
// Changes a window's state under the lock, then tells the view, unless
// change returns false (nothing changed). False when hwnd is no window.
bool ChangeWindow(HWND hwnd, WindowChange what, const std::function<bool(Window&)>& change);

// ---- Message queues (message.cpp).

// The calling thread's queue, made on first use.
std::shared_ptr<MessageQueue> CurrentThreadQueue();
// The queue of the thread threadId, or null when it has none.
std::shared_ptr<MessageQueue> QueueOfThreadLocked(DWORD threadId);
// Does now what the thread's exit does to its queue: releases its waiting
// senders with 0 and forgets its windows. For a thread start routine to
// call before the thread counts as ended.
void CloseCurrentThreadQueue();
// Drops the posted messages of a window that goes away and releases its
// pending senders with result 0.
void ForgetWindowMessagesLocked(MessageQueue& queue, HWND hwnd);

// Wakes the thread of queue, and its view's loop, for a new arrival.
void WakeQueueLocked(MessageQueue& queue);
// For modal loops: runs every message that other threads have sent to the
// calling thread's windows, including those that arrive meanwhile.
void DispatchIncomingSentMessages();
// For modal loops: blocks until a message is sent to the calling thread or
// something is posted to it since it last looked (PeekMessageW, GetMessageW
// or this call), or until timeoutMs passes (INFINITE: no limit). Does not
// handle what arrived. Returns true for an arrival, false on time-out.
bool WaitForQueueInput(DWORD timeoutMs);
// Runs task on the thread that owns hwnd, waiting for it as SendMessageW
// waits, and returns its result; runs it at once on the owner's own
// thread. Returns 0 with the last error set when hwnd is no window.
LRESULT RunOnWindowThread(HWND hwnd, const std::function<LRESULT()>& task);
// Keeps the owner of a modal window disabled, if it was enabled, until
// Restore or the end of its life: a person cannot reach a window under a
// question.
class DisabledOwner {
public:
    explicit DisabledOwner(HWND owner);
    ~DisabledOwner() { Restore(); }
    DisabledOwner(const DisabledOwner&) = delete;
    DisabledOwner& operator=(const DisabledOwner&) = delete;

    void Restore();

private:
    HWND m_owner;
};

// Runs the calling thread's messages until the modal loop of hwnd ends
// (EndModalLoop) or hwnd goes away. Then enables the owner again and only
// after that destroys hwnd, so that no one finds both unusable; returns
// the loop's result. With dialogKeys, messages for the dialog hwnd go
// through IsDialogMessageW first. A WM_QUIT ends the loop and is posted
// again for the loop outside.
INT_PTR RunModalWindow(HWND hwnd, bool dialogKeys, DisabledOwner& owner);

// ---- The predefined window classes (controls.cpp, dialog.cpp).

void RegisterSystemClasses();
void RegisterProgressClass();
extern const char16_t kDialogClass[];
// Registers a class of the platform layer's own; registering it again does
// nothing.
void RegisterInternalClass(const char16_t* name, WNDPROC proc, int extraBytes = 0);
// For windows whose state is their creation parameter (message boxes, the
// folder browser): keeps WM_CREATE's lpCreateParams in GWLP_USERDATA. By
// WM_CREATE the window has its text, so whoever finds the parameter finds
// the window complete.
void KeepCreationParameter(HWND hwnd, LPARAM createStruct);

// ---- Views (view.cpp).

void NotifyView(HWND hwnd, WindowChange change);

}  // namespace platform
