// Message queues: sent and posted messages, the calls that retrieve and
// dispatch them, and what a thread's exit does to its queue.
#include <algorithm>
#include <chrono>
#include <map>

#include "platform/api/kernel.h"
#include "platform/linux/errors.h"
#include "platform/linux/window_internal.h"

namespace platform {
namespace {

// GetMessageW's filter for thread messages only (hwnd NULL in the MSG).
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(LONG_PTR(-1));

void CloseQueue(MessageQueue& queue);

// Owns the calling thread's queue; its destructor runs when the thread exits.
struct ThreadQueueHolder {
    std::shared_ptr<MessageQueue> queue;
    ~ThreadQueueHolder()
    {
        if (queue)
            CloseQueue(*queue);
    }
};

thread_local ThreadQueueHolder t_queueHolder;

// The queues of the threads that have one, for PostThreadMessageW. Its
// own lock is taken inside UserLock or alone, never the other way round.
struct QueueRegistry {
    std::mutex lock;
    std::map<DWORD, std::weak_ptr<MessageQueue>> byThread;
};

QueueRegistry& Registry()
{
    static auto* registry = new QueueRegistry;
    return *registry;
}

void RegisterQueue(const std::shared_ptr<MessageQueue>& queue)
{
    std::lock_guard<std::mutex> guard(Registry().lock);
    Registry().byThread[queue->threadId] = queue;
}

void UnregisterQueue(DWORD threadId)
{
    std::lock_guard<std::mutex> guard(Registry().lock);
    Registry().byThread.erase(threadId);
}

DWORD MessageTime()
{
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return DWORD(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return MSG{hwnd, message, wParam, lParam, MessageTime(), POINT{0, 0}};
}

void ReplyLocked(SentMessage& sent, LRESULT result)
{
    sent.result = result;
    sent.replied = true;
    sent.sender->wakeUp.notify_all();
}

void ReleaseAllSendersLocked(MessageQueue& queue)
{
    for (auto& sent : queue.incomingSent)
        ReplyLocked(*sent, 0);
    queue.incomingSent.clear();
}

// Windows are forgotten without their procedures being called: by now the
// thread's own objects, which the procedures may refer to, are gone.
void CloseQueue(MessageQueue& queue)
{
    std::lock_guard<std::mutex> guard(UserLock());
    ReleaseAllSendersLocked(queue);
    queue.posted.clear();
    RemoveWindowsOfQueueLocked(queue);
    UnregisterQueue(queue.threadId);
}

void PostLocked(MessageQueue& queue, const MSG& msg)
{
    queue.posted.push_back(msg);
    ++queue.arrivals;
    WakeQueueLocked(queue);
}

// ---- Sending to another thread.

// Puts sent in the queue of its window's thread and returns true, for the
// caller to wait for the reply. Returns false when there is none to wait
// for: the window is the calling thread's own (*sameThread set), or is no
// window at all (last error set).
bool QueueSentMessage(const std::shared_ptr<SentMessage>& sent, bool* sameThread)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = WindowOrFailLocked(sent->hwnd);
    if (!window)
        return false;
    *sameThread = window->queue == sent->sender;
    if (*sameThread)
        return false;
    window->queue->incomingSent.push_back(sent);
    WakeQueueLocked(*window->queue);
    return true;
}

// Waits for the reply, handling meanwhile what others send to this thread,
// so that two threads sending to each other never wait for each other.
LRESULT WaitForReply(MessageQueue& me, const SentMessage& sent)
{
    std::unique_lock<std::mutex> lock(UserLock());
    while (!sent.replied) {
        if (me.incomingSent.empty()) {
            me.wakeUp.wait(lock);
            continue;
        }
        lock.unlock();
        DispatchIncomingSentMessages();
        lock.lock();
    }
    return sent.result;
}

std::shared_ptr<SentMessage> TakeIncomingSent(MessageQueue& me)
{
    std::lock_guard<std::mutex> guard(UserLock());
    if (me.incomingSent.empty())
        return nullptr;
    std::shared_ptr<SentMessage> sent = me.incomingSent.front();
    me.incomingSent.pop_front();
    return sent;
}

// ---- Retrieving posted messages.

struct Filter {
    HWND hwnd;
    UINT first;
    UINT last;
};

bool FilterWindowIsValid(HWND hwnd)
{
    if (!hwnd || hwnd == kThreadMessagesOnly)
        return true;
    std::lock_guard<std::mutex> guard(UserLock());
    return FindWindowLocked(hwnd) != nullptr;
}

bool MatchesWindowLocked(HWND filter, HWND hwnd)
{
    if (!filter)
        return true;
    if (filter == kThreadMessagesOnly)
        return hwnd == nullptr;
    return hwnd == filter || IsDescendantLocked(hwnd, filter);
}

bool MatchesRange(const Filter& filter, UINT message)
{
    if (filter.first == 0 && filter.last == 0)
        return true;
    return message >= filter.first && message <= filter.last;
}

// WM_QUIT from PostQuitMessage comes only when no posted message matches,
// whatever the number range, and only to filters that take thread messages.
bool TakeQuitLocked(MessageQueue& me, const Filter& filter, MSG* msg, bool remove)
{
    if (!me.quitPosted || !MatchesWindowLocked(filter.hwnd, nullptr))
        return false;
    *msg = MakeMessage(nullptr, WM_QUIT, WPARAM(me.quitCode), 0);
    if (remove)
        me.quitPosted = false;
    return true;
}

// WM_PAINT is not queued: it comes, after everything else, for as long as
// a window of the thread needs painting (BeginPaint ends that).
bool TakePaintLocked(MessageQueue& me, const Filter& filter, MSG* msg)
{
    if (!MatchesRange(filter, WM_PAINT))
        return false;
    HWND hwnd = WindowToPaintLocked(me, [&filter](HWND candidate) {
        return MatchesWindowLocked(filter.hwnd, candidate);
    });
    if (!hwnd)
        return false;
    *msg = MakeMessage(hwnd, WM_PAINT, 0, 0);
    return true;
}

bool TakePosted(MessageQueue& me, const Filter& filter, MSG* msg, bool remove)
{
    std::lock_guard<std::mutex> guard(UserLock());
    me.arrivalsSeen = me.arrivals;
    auto found = std::find_if(me.posted.begin(), me.posted.end(), [&](const MSG& m) {
        return MatchesWindowLocked(filter.hwnd, m.hwnd) && MatchesRange(filter, m.message);
    });
    if (found == me.posted.end()) {
        return TakeQuitLocked(me, filter, msg, remove) || TakePaintLocked(me, filter, msg);
    }
    *msg = *found;
    if (remove)
        me.posted.erase(found);
    return true;
}

enum class PeekResult { Found, None, BadWindow };

PeekResult Peek(MSG* msg, const Filter& filter, bool remove)
{
    if (!FilterWindowIsValid(filter.hwnd))
        return PeekResult::BadWindow;
    WindowView& view = CurrentWindowView();
    if (view.RunsEventLoopOn(GetCurrentThreadId()))
        view.PollEvents();  // the view's own input and drawing keep going
    DispatchIncomingSentMessages();
    // A handler may just have destroyed the filter window.
    if (!FilterWindowIsValid(filter.hwnd))
        return PeekResult::BadWindow;
    return TakePosted(*CurrentThreadQueue(), filter, msg, remove) ? PeekResult::Found
                                                                   : PeekResult::None;
}

}  // namespace

std::shared_ptr<MessageQueue> CurrentThreadQueue()
{
    auto& holder = t_queueHolder;
    if (!holder.queue) {
        holder.queue = std::make_shared<MessageQueue>();
        holder.queue->threadId = GetCurrentThreadId();
        RegisterQueue(holder.queue);
    }
    return holder.queue;
}

void CloseCurrentThreadQueue()
{
    auto& holder = t_queueHolder;
    if (holder.queue)
        CloseQueue(*holder.queue);
    holder.queue.reset();
}

void ForgetWindowMessagesLocked(MessageQueue& queue, HWND hwnd)
{
    auto& posted = queue.posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(),
                                [hwnd](const MSG& m) { return m.hwnd == hwnd; }),
                 posted.end());
    auto& sent = queue.incomingSent;
    for (auto& s : sent) {
        if (s->hwnd == hwnd)
            ReplyLocked(*s, 0);
    }
    sent.erase(std::remove_if(sent.begin(), sent.end(),
                              [](const std::shared_ptr<SentMessage>& s) { return s->replied; }),
               sent.end());
}

void DispatchIncomingSentMessages()
{
    std::shared_ptr<MessageQueue> me = CurrentThreadQueue();
    while (std::shared_ptr<SentMessage> sent = TakeIncomingSent(*me)) {
        LRESULT result = sent->task ? sent->task()
                                    : CallWindowProcedure(sent->hwnd, sent->message, sent->wParam,
                                                          sent->lParam);
        std::lock_guard<std::mutex> guard(UserLock());
        ReplyLocked(*sent, result);
    }
}

void WakeQueueLocked(MessageQueue& queue)
{
    queue.wakeUp.notify_all();
    CurrentWindowView().Wake(queue.threadId);
}

namespace {

// Waits in the view's event loop, which Wake interrupts for arrivals.
bool WaitThroughView(WindowView& view, MessageQueue& me, DWORD timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(UserLock());
            if (!me.incomingSent.empty() || me.arrivals != me.arrivalsSeen) {
                me.arrivalsSeen = me.arrivals;
                return true;
            }
        }
        DWORD wait = INFINITE;
        if (timeoutMs != INFINITE) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            wait = DWORD(left.count());
        }
        view.WaitForEvents(wait);
    }
}

}  // namespace

bool WaitForQueueInput(DWORD timeoutMs)
{
    std::shared_ptr<MessageQueue> me = CurrentThreadQueue();
    WindowView& view = CurrentWindowView();
    if (view.RunsEventLoopOn(me->threadId))
        return WaitThroughView(view, *me, timeoutMs);
    std::unique_lock<std::mutex> lock(UserLock());
    auto arrived = [&me] { return !me->incomingSent.empty() || me->arrivals != me->arrivalsSeen; };
    if (timeoutMs == INFINITE)
        me->wakeUp.wait(lock, arrived);
    else if (!me->wakeUp.wait_for(lock, std::chrono::milliseconds(timeoutMs), arrived))
        return false;
    me->arrivalsSeen = me->arrivals;
    return true;
}

std::shared_ptr<MessageQueue> QueueOfThreadLocked(DWORD threadId)
{
    std::lock_guard<std::mutex> guard(Registry().lock);
    auto found = Registry().byThread.find(threadId);
    return found == Registry().byThread.end() ? nullptr : found->second.lock();
}

LRESULT RunOnWindowThread(HWND hwnd, const std::function<LRESULT()>& task)
{
    std::shared_ptr<MessageQueue> me = CurrentThreadQueue();
    auto sent = std::make_shared<SentMessage>(SentMessage{hwnd, WM_NULL, 0, 0, 0, false, me, task});
    bool sameThread = false;
    if (QueueSentMessage(sent, &sameThread))
        return WaitForReply(*me, *sent);
    return sameThread ? task() : 0;
}

namespace {

// Whether the modal loop of hwnd is over; *result is then its result.
bool ModalLoopEnded(HWND hwnd, INT_PTR* result)
{
    std::lock_guard<std::mutex> guard(UserLock());
    Window* window = FindWindowLocked(hwnd);
    if (!window || window->destroying) {
        *result = window && window->modalEnded ? window->modalResult : -1;
        return true;
    }
    *result = window->modalResult;
    return window->modalEnded;
}

}  // namespace

namespace {

INT_PTR RunModalLoop(HWND hwnd, bool dialogKeys)
{
    INT_PTR result = 0;
    while (!ModalLoopEnded(hwnd, &result)) {
        MSG msg;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            return -1;
        if (!got) {
            PostQuitMessage(int(msg.wParam));
            return ModalLoopEnded(hwnd, &result) ? result : -1;
        }
        if (dialogKeys && IsDialogMessageW(hwnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return result;
}

}  // namespace

INT_PTR RunModalWindow(HWND hwnd, bool dialogKeys, DisabledOwner& owner)
{
    INT_PTR result = RunModalLoop(hwnd, dialogKeys);
    owner.Restore();
    DestroyWindow(hwnd);
    return result;
}

DisabledOwner::DisabledOwner(HWND owner)
    : m_owner(owner && !EnableWindow(owner, FALSE) ? owner : nullptr)
{
}

void DisabledOwner::Restore()
{
    if (m_owner)
        EnableWindow(m_owner, TRUE);
    m_owner = nullptr;
}

bool EndModalLoop(HWND hwnd, INT_PTR result)
{
    {
        std::lock_guard<std::mutex> guard(UserLock());
        Window* window = FindWindowLocked(hwnd);
        if (!window)
            return false;
        window->modalEnded = true;
        window->modalResult = result;
    }
    PostMessageW(hwnd, WM_NULL, 0, 0);  // wakes the loop
    return true;
}

}  // namespace platform

using namespace platform;

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    std::shared_ptr<MessageQueue> me = CurrentThreadQueue();
    auto sent = std::make_shared<SentMessage>(SentMessage{hWnd, Msg, wParam, lParam, 0, false, me, {}});
    bool sameThread = false;
    if (QueueSentMessage(sent, &sameThread))
        return WaitForReply(*me, *sent);
    return sameThread ? CallWindowProcedure(hWnd, Msg, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    // No window: a message for the calling thread itself.
    std::shared_ptr<MessageQueue> target = hWnd ? nullptr : CurrentThreadQueue();
    std::lock_guard<std::mutex> guard(UserLock());
    if (hWnd) {
        Window* window = WindowOrFailLocked(hWnd);
        if (!window)
            return FALSE;
        target = window->queue;
    }
    PostLocked(*target, MakeMessage(hWnd, Msg, wParam, lParam));
    return TRUE;
}

BOOL WINAPI PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard<std::mutex> guard(UserLock());
    std::shared_ptr<MessageQueue> target = QueueOfThreadLocked(idThread);
    if (!target)
        return Fail(ERROR_INVALID_THREAD_ID);
    PostLocked(*target, MakeMessage(nullptr, Msg, wParam, lParam));
    return TRUE;
}

void WINAPI PostQuitMessage(int nExitCode)
{
    std::shared_ptr<MessageQueue> me = CurrentThreadQueue();
    std::lock_guard<std::mutex> guard(UserLock());
    me->quitPosted = true;
    me->quitCode = nExitCode;
    ++me->arrivals;
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg)
{
    if (!lpMsg)
        return Fail(ERROR_INVALID_PARAMETER);
    if (wRemoveMsg & ~(PM_REMOVE | PM_NOYIELD))
        return Fail(ERROR_INVALID_FLAGS);  // the PM_QS_ kinds of message are not kept apart
    PeekResult result = Peek(lpMsg, {hWnd, wMsgFilterMin, wMsgFilterMax}, wRemoveMsg & PM_REMOVE);
    if (result == PeekResult::BadWindow)
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    return result == PeekResult::Found;
}

BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    for (;;) {
        switch (Peek(lpMsg, {hWnd, wMsgFilterMin, wMsgFilterMax}, true)) {
        case PeekResult::Found: return lpMsg->message != WM_QUIT;
        case PeekResult::BadWindow: SetLastError(ERROR_INVALID_WINDOW_HANDLE); return -1;
        case PeekResult::None: WaitForQueueInput(INFINITE); break;
        }
    }
}

BOOL WINAPI TranslateMessage(const MSG*)
{
    return FALSE;  // no keyboard input to translate into characters yet
}

namespace {

bool IsInputMessage(UINT message)
{
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

void Validate(HWND hwnd)
{
    std::lock_guard<std::mutex> guard(UserLock());
    if (Window* window = FindWindowLocked(hwnd))
        window->needsPaint = false;
}

}  // namespace

LRESULT WINAPI DispatchMessageW(const MSG* lpMsg)
{
    if (!lpMsg || !lpMsg->hwnd)
        return 0;
    // Input that was on its way when its window was disabled is dropped,
    // as a disabled window never receives input.
    if (IsInputMessage(lpMsg->message) && !AcceptsInput(lpMsg->hwnd))
        return 0;
    LRESULT result =
        CallWindowProcedure(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
    // A procedure that did not paint must not get WM_PAINT for ever.
    if (lpMsg->message == WM_PAINT)
        Validate(lpMsg->hwnd);
    return result;
}
