// Windows and messages: sending within and across threads, posting and
// filtering, retrieving and dispatching, and what destroying a window or
// ending a thread does to the senders waiting for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <future>
#include <iterator>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/linux/window_internal.h"
#include "platform/winapi.h"

namespace {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    bool operator==(const Seen& other) const
    {
        return hwnd == other.hwnd && message == other.message && wParam == other.wParam;
    }
};

void PrintTo(const Seen& seen, std::ostream* os)
{
    *os << "{" << seen.hwnd << ", 0x" << std::hex << seen.message << std::dec << ", "
        << seen.wParam << "}";
}

using Sequence = std::vector<Seen>;

// What the windows of a test saw, in order, whichever thread they are on.
class MessageLog {
public:
    void Add(const Seen& seen)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        seen_.push_back(seen);
    }
    Sequence Take()
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return std::exchange(seen_, {});
    }

private:
    std::mutex mutex_;
    Sequence seen_;
};

using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// One test window: it logs every message, then leaves it to onMessage, or
// to DefWindowProcW when there is none.
struct Behaviour {
    MessageLog* log = nullptr;
    Handler onMessage;
};

LRESULT CALLBACK BehaviourProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* behaviour = reinterpret_cast<Behaviour*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (behaviour && behaviour->log)
        behaviour->log->Add({hwnd, message, wParam});
    if (behaviour && behaviour->onMessage)
        return behaviour->onMessage(hwnd, message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Answers one message with a fixed result and leaves the rest to DefWindowProcW.
Handler Answer(UINT message, LRESULT result)
{
    return [message, result](HWND hwnd, UINT m, WPARAM wParam, LPARAM lParam) -> LRESULT {
        return m == message ? result : DefWindowProcW(hwnd, m, wParam, lParam);
    };
}

const WCHAR kClassName[] = u"MessageTestWindow";

void RegisterTestClass()
{
    static const ATOM atom = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = BehaviourProc;
        wc.lpszClassName = kClassName;
        return RegisterClassW(&wc);
    }();
    ASSERT_NE(atom, 0);
}

HWND MakeWindow(Behaviour* behaviour, HWND parent = nullptr, DWORD style = 0, int id = 0,
                LPCWSTR title = u"")
{
    RegisterTestClass();
    if (parent && !(style & WS_POPUP))
        style |= WS_CHILD;
    return CreateWindowExW(0, kClassName, title, style, 0, 0, 100, 20, parent,
                           reinterpret_cast<HMENU>(INT_PTR(id)), nullptr, behaviour);
}

std::u16string TextOf(HWND hwnd)
{
    WCHAR buffer[64];
    SendMessageW(hwnd, WM_GETTEXT, 64, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

// Destroys a window of the test's thread at the end of the test, so that a
// failing test leaves no window behind that outlives its behaviour.
struct WindowGuard {
    HWND hwnd;
    ~WindowGuard() { DestroyWindow(hwnd); }
};

const UINT kStopLoop = WM_APP + 100;

void RunMessageLoopUntilStopped()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != kStopLoop)
        DispatchMessageW(&msg);
}

// A thread that owns one window and runs a GetMessageW loop until stopped.
class WindowThread {
public:
    explicit WindowThread(Behaviour* behaviour)
    {
        std::promise<HWND> made;
        std::future<HWND> madeWindow = made.get_future();
        thread_ = std::thread([behaviour, made = std::move(made)]() mutable {
            HWND hwnd = MakeWindow(behaviour);
            made.set_value(hwnd);
            RunMessageLoopUntilStopped();
            DestroyWindow(hwnd);
        });
        hwnd_ = madeWindow.get();
    }
    ~WindowThread()
    {
        PostMessageW(hwnd_, kStopLoop, 0, 0);
        thread_.join();
    }
    HWND hwnd() const { return hwnd_; }
    std::thread::id id() const { return thread_.get_id(); }

private:
    std::thread thread_;
    HWND hwnd_ = nullptr;
};

// Every test leaves the main thread's queue empty for the next one.
class MessageTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
};

// ---- Sending.

TEST_F(MessageTest, SendToAWindowOfTheCallingThreadCallsItsProcedureDirectly)
{
    MessageLog log;
    Behaviour behaviour{&log, Answer(WM_USER, 42)};
    WindowGuard window{MakeWindow(&behaviour)};
    log.Take();

    EXPECT_EQ(SendMessageW(window.hwnd, WM_USER, 7, 0), 42);
    EXPECT_EQ(log.Take(), (Sequence{{window.hwnd, WM_USER, 7}}));
}

TEST_F(MessageTest, SendToAnotherThreadIsHandledByTheOwnerAndReturnsItsResult)
{
    std::thread::id handledOn;
    Behaviour behaviour{nullptr, [&](HWND hwnd, UINT m, WPARAM wParam, LPARAM lParam) -> LRESULT {
                            if (m != WM_USER)
                                return DefWindowProcW(hwnd, m, wParam, lParam);
                            handledOn = std::this_thread::get_id();
                            return LRESULT(wParam * 2);
                        }};
    WindowThread owner(&behaviour);

    EXPECT_EQ(SendMessageW(owner.hwnd(), WM_USER, 21, 0), 42);
    EXPECT_EQ(handledOn, owner.id());

    // Pointers in the parameters are the sender's, valid while it waits.
    EXPECT_EQ(SendMessageW(owner.hwnd(), WM_SETTEXT, 0, LPARAM(u"3 of 7")), TRUE);
    EXPECT_EQ(TextOf(owner.hwnd()), u"3 of 7");
}

// Each side answers WM_USER n by first sending WM_USER n-1 to the other.
TEST_F(MessageTest, ThreadsSendingToEachOtherFromTheirHandlersDoNotDeadlock)
{
    MessageLog log;
    HWND mainWindow = nullptr;
    HWND otherWindow = nullptr;
    auto bounceTo = [](HWND* peer) {
        return [peer](HWND hwnd, UINT m, WPARAM n, LPARAM lParam) -> LRESULT {
            if (m != WM_USER)
                return DefWindowProcW(hwnd, m, n, lParam);
            return n == 0 ? 0 : 1 + SendMessageW(*peer, WM_USER, n - 1, 0);
        };
    };
    Behaviour mainSide{&log, bounceTo(&otherWindow)};
    Behaviour otherSide{&log, bounceTo(&mainWindow)};
    WindowGuard main{MakeWindow(&mainSide)};
    mainWindow = main.hwnd;
    WindowThread other(&otherSide);
    otherWindow = other.hwnd();
    log.Take();

    EXPECT_EQ(SendMessageW(otherWindow, WM_USER, 4, 0), 4);
    EXPECT_EQ(log.Take(), (Sequence{{otherWindow, WM_USER, 4},
                                    {mainWindow, WM_USER, 3},
                                    {otherWindow, WM_USER, 2},
                                    {mainWindow, WM_USER, 1},
                                    {otherWindow, WM_USER, 0}}));
}

// The way a thread waits for a worker that reports to its controls: wait in
// slices and peek for the dialog's messages between them. Messages sent to
// the child controls must get through although the filter names the dialog.
TEST_F(MessageTest, PeekMessageRunsMessagesSentFromAnotherThreadWhateverTheFilter)
{
    MessageLog log;
    Behaviour dialogBehaviour;
    Behaviour controlBehaviour{&log, nullptr};
    WindowGuard dialog{MakeWindow(&dialogBehaviour)};
    HWND control = MakeWindow(&controlBehaviour, dialog.hwnd, 0, 1001);
    log.Take();
    HANDLE workerDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(workerDone, nullptr);

    LRESULT setTextResult = 0;
    std::thread worker([&] {
        setTextResult = SendMessageW(control, WM_SETTEXT, 0, LPARAM(u"copying"));
        SendMessageW(control, WM_USER, 7, 0);
        SetEvent(workerDone);
    });
    while (WaitForSingleObject(workerDone, 10) == WAIT_TIMEOUT) {
        MSG msg;
        if (PeekMessageW(&msg, dialog.hwnd, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    worker.join();
    CloseHandle(workerDone);

    EXPECT_EQ(setTextResult, TRUE);
    EXPECT_EQ(log.Take(), (Sequence{{control, WM_SETTEXT, 0}, {control, WM_USER, 7}}));
    EXPECT_EQ(TextOf(control), u"copying");
}

// ---- Senders are never left waiting.

TEST_F(MessageTest, DestroyingTheWindowReleasesItsWaitingSenderWithZero)
{
    MessageLog log;
    Behaviour behaviour{&log, Answer(WM_USER, 77)};
    std::promise<HWND> made;
    std::future<HWND> madeWindow = made.get_future();
    std::thread owner([&] {
        HWND hwnd = MakeWindow(&behaviour);
        made.set_value(hwnd);
        platform::WaitForQueueInput(INFINITE);  // the send has arrived, unhandled
        DestroyWindow(hwnd);
    });
    HWND hwnd = madeWindow.get();

    EXPECT_EQ(SendMessageW(hwnd, WM_USER, 1, 0), 0);
    owner.join();
    EXPECT_EQ(log.Take(), (Sequence{{hwnd, WM_NCCREATE, 0},
                                    {hwnd, WM_CREATE, 0},
                                    {hwnd, WM_DESTROY, 0},
                                    {hwnd, WM_NCDESTROY, 0}}));
}

TEST_F(MessageTest, TheOwnerThreadExitingReleasesItsWaitingSenderAndItsWindows)
{
    MessageLog log;
    Behaviour behaviour{&log, Answer(WM_USER, 77)};
    std::promise<HWND> made;
    std::future<HWND> madeWindow = made.get_future();
    std::thread owner([&] {
        made.set_value(MakeWindow(&behaviour));
        platform::WaitForQueueInput(INFINITE);  // the send has arrived; leave it
    });
    HWND hwnd = madeWindow.get();

    EXPECT_EQ(SendMessageW(hwnd, WM_USER, 1, 0), 0);
    owner.join();
    EXPECT_FALSE(IsWindow(hwnd));
    // The window went with its thread, its procedure no longer called.
    EXPECT_EQ(log.Take(), (Sequence{{hwnd, WM_NCCREATE, 0}, {hwnd, WM_CREATE, 0}}));
}

// ---- Posting, filters and retrieval.

enum Target { ThreadMessage, Parent, Child, Grandchild, Other, ThreadMessagesOnly };

struct Post {
    Target target;
    UINT message;
};

const Post kPosts[] = {
    {Parent, WM_USER},     {Other, WM_USER + 1}, {Child, WM_USER + 2},
    {ThreadMessage, WM_USER + 3}, {Grandchild, WM_APP}, {Parent, WM_APP + 1},
};

struct FilterCase {
    const char* name;
    Target window;
    UINT first;
    UINT last;
    std::vector<size_t> expectedPosts;  // indexes into kPosts, in order
};

const FilterCase kFilterCases[] = {
    {"everything", ThreadMessage, 0, 0, {0, 1, 2, 3, 4, 5}},
    {"a window and its descendants", Parent, 0, 0, {0, 2, 4, 5}},
    {"a child and its own child", Child, 0, 0, {2, 4}},
    {"a window without children", Other, 0, 0, {1}},
    {"thread messages only", ThreadMessagesOnly, 0, 0, {3}},
    {"a range", ThreadMessage, WM_USER + 1, WM_USER + 2, {1, 2}},
    {"one message number", ThreadMessage, WM_APP, WM_APP, {4}},
    {"a window and a range", Parent, WM_USER + 2, WM_APP, {2, 4}},
    {"a range nothing is in", ThreadMessage, WM_TIMER, WM_TIMER, {}},
};

Sequence TakeAll(HWND filter, UINT first, UINT last)
{
    Sequence taken;
    MSG msg;
    while (PeekMessageW(&msg, filter, first, last, PM_REMOVE))
        taken.push_back({msg.hwnd, msg.message, msg.wParam});
    return taken;
}

TEST_F(MessageTest, PeekMessageTakesPostedMessagesInOrderThroughItsFilter)
{
    Behaviour behaviour;
    WindowGuard parent{MakeWindow(&behaviour)};
    WindowGuard other{MakeWindow(&behaviour)};
    HWND child = MakeWindow(&behaviour, parent.hwnd);
    HWND grandchild = MakeWindow(&behaviour, child);
    const std::map<Target, HWND> windows = {
        {ThreadMessage, nullptr},
        {Parent, parent.hwnd},
        {Child, child},
        {Grandchild, grandchild},
        {Other, other.hwnd},
        {ThreadMessagesOnly, reinterpret_cast<HWND>(LONG_PTR(-1))},
    };

    for (const FilterCase& c : kFilterCases) {
        SCOPED_TRACE(c.name);
        Sequence expected;
        Sequence left;
        for (size_t i = 0; i < std::size(kPosts); ++i) {
            HWND hwnd = windows.at(kPosts[i].target);
            ASSERT_TRUE(PostMessageW(hwnd, kPosts[i].message, i, 0));
            bool picked = std::find(c.expectedPosts.begin(), c.expectedPosts.end(), i) !=
                          c.expectedPosts.end();
            (picked ? expected : left).push_back({hwnd, kPosts[i].message, i});
        }
        EXPECT_EQ(TakeAll(windows.at(c.window), c.first, c.last), expected);
        EXPECT_EQ(TakeAll(nullptr, 0, 0), left) << "what the filter left, in order";
    }
}

TEST_F(MessageTest, PeekMessageWithoutRemoveLeavesTheMessageInPlace)
{
    Behaviour behaviour;
    WindowGuard window{MakeWindow(&behaviour)};
    ASSERT_TRUE(PostMessageW(window.hwnd, WM_USER, 5, 6));

    MSG msg = {};
    for (UINT flags : {PM_NOREMOVE, PM_NOREMOVE, PM_REMOVE}) {
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, flags));
        EXPECT_EQ(msg.hwnd, window.hwnd);
        EXPECT_EQ(msg.message, UINT(WM_USER));
        EXPECT_EQ(msg.wParam, WPARAM(5));
        EXPECT_EQ(msg.lParam, LPARAM(6));
    }
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, PostedMessagesOfADestroyedWindowAreDropped)
{
    Behaviour behaviour;
    WindowGuard parent{MakeWindow(&behaviour)};
    HWND child = MakeWindow(&behaviour, parent.hwnd);
    PostMessageW(child, WM_USER, 0, 0);
    PostMessageW(parent.hwnd, WM_USER + 1, 0, 0);

    DestroyWindow(parent.hwnd);
    EXPECT_EQ(TakeAll(nullptr, 0, 0), Sequence{});
}

TEST_F(MessageTest, GetMessageReturnsFalseForQuitOnceThePostedMessagesAreTaken)
{
    Behaviour behaviour;
    WindowGuard window{MakeWindow(&behaviour)};
    PostMessageW(window.hwnd, WM_USER, 0, 0);
    PostQuitMessage(3);
    PostMessageW(window.hwnd, WM_USER + 1, 0, 0);

    MSG msg;
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_USER));
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, UINT(WM_USER + 1));
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, WPARAM(3));
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "the quit was taken";

    PostQuitMessage(0);
    EXPECT_EQ(GetMessageW(&msg, nullptr, WM_USER, WM_USER), FALSE) << "whatever the range";
}

TEST_F(MessageTest, GetMessageWaitsForAMatchingPostFromAnotherThread)
{
    Behaviour behaviour;
    WindowGuard window{MakeWindow(&behaviour)};
    PostMessageW(window.hwnd, WM_USER + 1, 0, 0);  // outside the filter below

    std::thread poster([&] { PostMessageW(window.hwnd, WM_USER, 9, 0); });
    MSG msg;
    EXPECT_EQ(GetMessageW(&msg, window.hwnd, WM_USER, WM_USER), TRUE);
    poster.join();
    EXPECT_EQ(msg.message, UINT(WM_USER));
    EXPECT_EQ(msg.wParam, WPARAM(9));
    EXPECT_EQ(TakeAll(nullptr, 0, 0), (Sequence{{window.hwnd, WM_USER + 1, 0}}));
}

TEST_F(MessageTest, PostMessageWithoutAWindowPostsToTheCallingThread)
{
    EXPECT_TRUE(PostMessageW(nullptr, WM_USER, 1, 0));
    EXPECT_EQ(TakeAll(nullptr, 0, 0), (Sequence{{nullptr, WM_USER, 1}}));
}

// ---- Dispatching.

LRESULT CALLBACK ReplacementProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_USER ? 2000 : 0;
}

TEST_F(MessageTest, DispatchMessageCallsTheProcedureOfTheMessagesWindow)
{
    MessageLog log;
    Behaviour first{&log, Answer(WM_USER, 100)};
    Behaviour second{&log, Answer(WM_USER, 200)};
    WindowGuard a{MakeWindow(&first)};
    WindowGuard b{MakeWindow(&second)};
    log.Take();

    PostMessageW(b.hwnd, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(TranslateMessage(&msg), FALSE);
    EXPECT_EQ(DispatchMessageW(&msg), 200);
    EXPECT_EQ(log.Take(), (Sequence{{b.hwnd, WM_USER, 0}}));

    EXPECT_EQ(SetWindowLongPtrW(b.hwnd, GWLP_WNDPROC, LONG_PTR(ReplacementProc)),
              LONG_PTR(BehaviourProc));
    EXPECT_EQ(DispatchMessageW(&msg), 2000);
    EXPECT_EQ(log.Take(), Sequence{});
    SetWindowLongPtrW(b.hwnd, GWLP_WNDPROC, LONG_PTR(BehaviourProc));

    MSG threadMessage = {nullptr, WM_USER, 0, 0, 0, {0, 0}};
    EXPECT_EQ(DispatchMessageW(&threadMessage), 0);
}

// ---- Creating and destroying.

TEST_F(MessageTest, CreationSendsNcCreateAndCreateWithTheCreationParameters)
{
    MessageLog log;
    const void* createParams = nullptr;
    std::u16string nameSeen;
    Behaviour behaviour{&log, [&](HWND hwnd, UINT m, WPARAM wParam, LPARAM lParam) -> LRESULT {
                            if (m == WM_CREATE) {
                                auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
                                createParams = cs->lpCreateParams;
                                nameSeen = cs->lpszName;
                            }
                            return DefWindowProcW(hwnd, m, wParam, lParam);
                        }};
    WindowGuard parent{MakeWindow(&behaviour, nullptr, 0, 0, u"Backup")};
    HWND child = MakeWindow(&behaviour, parent.hwnd, WS_DISABLED, 1005);

    EXPECT_EQ(log.Take(), (Sequence{{parent.hwnd, WM_NCCREATE, 0},
                                    {parent.hwnd, WM_CREATE, 0},
                                    {child, WM_NCCREATE, 0},
                                    {child, WM_CREATE, 0}}));
    EXPECT_EQ(createParams, &behaviour);
    EXPECT_EQ(TextOf(parent.hwnd), u"Backup");
    EXPECT_EQ(GetWindowLongPtrW(child, GWLP_ID), 1005);
    EXPECT_EQ(GetWindowLongPtrW(child, GWL_STYLE), LONG_PTR(WS_CHILD | WS_DISABLED));
    DWORD processId = 0;
    EXPECT_EQ(GetWindowThreadProcessId(child, &processId), GetCurrentThreadId());
    EXPECT_NE(processId, 0u);
}

TEST_F(MessageTest, CreationFailsWhenTheProcedureRefusesIt)
{
    struct Case {
        const char* name;
        UINT refused;
        LRESULT refusal;
        std::vector<UINT> expected;
    };
    const Case cases[] = {
        {"WM_NCCREATE returns FALSE", WM_NCCREATE, FALSE, {WM_NCCREATE, WM_NCDESTROY}},
        {"WM_CREATE returns -1", WM_CREATE, -1, {WM_NCCREATE, WM_CREATE, WM_NCDESTROY}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<UINT> seen;
        Behaviour behaviour{nullptr, [&](HWND hwnd, UINT m, WPARAM wParam, LPARAM lParam) {
                                seen.push_back(m);
                                return m == c.refused ? c.refusal
                                                      : DefWindowProcW(hwnd, m, wParam, lParam);
                            }};
        EXPECT_EQ(MakeWindow(&behaviour), nullptr);
        EXPECT_EQ(seen, c.expected);
    }
}

TEST_F(MessageTest, DestroyWindowTellsTheWindowThenItsChildrenAndFreesChildrenFirst)
{
    MessageLog log;
    Behaviour behaviour{&log, nullptr};
    Behaviour ownedBehaviour{&log, nullptr};
    HWND parent = MakeWindow(&behaviour);
    HWND child = MakeWindow(&behaviour, parent);
    HWND grandchild = MakeWindow(&behaviour, child);
    HWND owned = MakeWindow(&ownedBehaviour, parent, WS_POPUP);
    log.Take();

    EXPECT_TRUE(DestroyWindow(parent));
    EXPECT_EQ(log.Take(), (Sequence{{owned, WM_DESTROY, 0},
                                    {owned, WM_NCDESTROY, 0},
                                    {parent, WM_DESTROY, 0},
                                    {child, WM_DESTROY, 0},
                                    {grandchild, WM_DESTROY, 0},
                                    {grandchild, WM_NCDESTROY, 0},
                                    {child, WM_NCDESTROY, 0},
                                    {parent, WM_NCDESTROY, 0}}));
    for (HWND gone : {parent, child, grandchild, owned})
        EXPECT_FALSE(IsWindow(gone));
}

TEST_F(MessageTest, DestroyWindowCalledAgainWhileDestroyingDoesNotRepeatTheMessages)
{
    MessageLog log;
    Behaviour behaviour{&log, [](HWND hwnd, UINT m, WPARAM wParam, LPARAM lParam) -> LRESULT {
                            if (m == WM_DESTROY || m == WM_NCDESTROY)
                                DestroyWindow(hwnd);
                            return DefWindowProcW(hwnd, m, wParam, lParam);
                        }};
    HWND hwnd = MakeWindow(&behaviour);
    log.Take();

    EXPECT_TRUE(DestroyWindow(hwnd));
    EXPECT_EQ(log.Take(), (Sequence{{hwnd, WM_DESTROY, 0}, {hwnd, WM_NCDESTROY, 0}}));
}

TEST_F(MessageTest, OnlyTheOwnerThreadMayDestroyAWindow)
{
    Behaviour behaviour;
    WindowGuard window{MakeWindow(&behaviour)};
    BOOL destroyed = TRUE;
    DWORD error = 0;
    std::thread other([&] {
        destroyed = DestroyWindow(window.hwnd);
        error = GetLastError();
    });
    other.join();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(error, DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(window.hwnd));
}

TEST_F(MessageTest, WindowClassesAreFoundByNameIgnoringAsciiCase)
{
    Behaviour behaviour;
    RegisterTestClass();
    WindowGuard window{CreateWindowExW(0, u"messagetestWINDOW", u"", 0, 0, 0, 0, 0, nullptr,
                                       nullptr, nullptr, &behaviour)};
    EXPECT_NE(window.hwnd, nullptr);

    WNDCLASSW again = {};
    again.lpfnWndProc = BehaviourProc;
    again.lpszClassName = u"MESSAGETESTWINDOW";
    EXPECT_EQ(RegisterClassW(&again), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));

    EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));

    EXPECT_EQ(CreateWindowExW(0, kClassName, u"", WS_CHILD, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                              &behaviour),
              nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_TLW_WITH_WSCHILD));
}

// ---- State kept by the window layer.

TEST_F(MessageTest, DefWindowProcKeepsTheTextAndDestroysOnClose)
{
    Behaviour behaviour;
    HWND hwnd = MakeWindow(&behaviour);

    EXPECT_EQ(SendMessageW(hwnd, WM_SETTEXT, 0, LPARAM(u"源路径")), TRUE);
    EXPECT_EQ(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0), 3);
    WCHAR small[3] = {u'x', u'x', u'x'};
    EXPECT_EQ(SendMessageW(hwnd, WM_GETTEXT, 3, LPARAM(small)), 2) << "truncated, terminated";
    EXPECT_EQ(std::u16string(small), u"源路");
    EXPECT_EQ(SendMessageW(hwnd, WM_GETTEXT, 0, LPARAM(small)), 0);
    EXPECT_EQ(SendMessageW(hwnd, WM_SETTEXT, 0, 0), TRUE);
    EXPECT_EQ(TextOf(hwnd), u"");

    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(MessageTest, WindowLongsKeepTheirValuesAndRefuseUnknownIndexes)
{
    Behaviour behaviour;
    WindowGuard window{MakeWindow(&behaviour)};
    Behaviour replacement;

    EXPECT_EQ(SetWindowLongPtrW(window.hwnd, GWLP_USERDATA, LONG_PTR(&replacement)),
              LONG_PTR(&behaviour));
    EXPECT_EQ(GetWindowLongPtrW(window.hwnd, GWLP_USERDATA), LONG_PTR(&replacement));
    EXPECT_EQ(SetWindowLongPtrW(window.hwnd, GWLP_ID, 12), 0);
    EXPECT_EQ(GetWindowLongPtrW(window.hwnd, GWLP_ID), 12);

    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(window.hwnd, 0), 0) << "the class has no extra bytes";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_INDEX));
}

// ---- Handles that name no window.

struct BadHandleCall {
    const char* name;
    std::function<LONG_PTR(HWND)> call;
    LONG_PTR failure;
};

const BadHandleCall kBadHandleCalls[] = {
    {"SendMessageW", [](HWND h) { return SendMessageW(h, WM_USER, 0, 0); }, 0},
    {"PostMessageW", [](HWND h) { return LONG_PTR(PostMessageW(h, WM_USER, 0, 0)); }, FALSE},
    {"DestroyWindow", [](HWND h) { return LONG_PTR(DestroyWindow(h)); }, FALSE},
    {"GetWindowLongPtrW", [](HWND h) { return GetWindowLongPtrW(h, GWLP_USERDATA); }, 0},
    {"SetWindowLongPtrW", [](HWND h) { return SetWindowLongPtrW(h, GWLP_USERDATA, 1); }, 0},
    {"GetWindowThreadProcessId",
     [](HWND h) { return LONG_PTR(GetWindowThreadProcessId(h, nullptr)); }, 0},
    {"PeekMessageW filter",
     [](HWND h) {
         MSG msg;
         return LONG_PTR(PeekMessageW(&msg, h, 0, 0, PM_REMOVE));
     },
     FALSE},
    {"GetMessageW filter",
     [](HWND h) {
         MSG msg;
         return LONG_PTR(GetMessageW(&msg, h, 0, 0));
     },
     -1},
    {"DispatchMessageW",
     [](HWND h) {
         MSG msg = {h, WM_USER, 0, 0, 0, {0, 0}};
         return DispatchMessageW(&msg);
     },
     0},
    {"CreateWindowExW parent",
     [](HWND h) {
         Behaviour behaviour;
         return LONG_PTR(MakeWindow(&behaviour, h));
     },
     0},
};

TEST_F(MessageTest, CallsOnADestroyedOrUnknownWindowFailWithInvalidWindowHandle)
{
    Behaviour behaviour;
    HWND destroyed = MakeWindow(&behaviour);
    DestroyWindow(destroyed);
    const std::pair<const char*, HWND> handles[] = {
        {"destroyed", destroyed},
        {"never made", reinterpret_cast<HWND>(uintptr_t(0x7fff1234))},
    };
    PostMessageW(nullptr, WM_USER, 0, 0);  // a waiting message must not hide the error

    for (const auto& handle : handles) {
        SCOPED_TRACE(handle.first);
        EXPECT_FALSE(IsWindow(handle.second));
        for (const BadHandleCall& c : kBadHandleCalls) {
            SCOPED_TRACE(c.name);
            SetLastError(0);
            EXPECT_EQ(c.call(handle.second), c.failure);
            EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
        }
    }
    EXPECT_EQ(TakeAll(nullptr, 0, 0), (Sequence{{nullptr, WM_USER, 0}}));
}

}  // namespace
