// Threads: _beginthreadex, GetExitCodeThread and waiting on a thread.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/linux/syscalls.h"
#include "platform/winapi.h"

namespace {

// A thread procedure that is held inside until released, so a test can
// look at the thread while it certainly runs.
struct HeldWork {
    HANDLE entered = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE release = CreateEventW(NULL, TRUE, FALSE, NULL);
    HANDLE left = CreateEventW(NULL, TRUE, FALSE, NULL);
    unsigned result = 0;
    int seen = 0;  // written by the thread, read after a wait on it

    ~HeldWork()
    {
        CloseHandle(entered);
        CloseHandle(release);
        CloseHandle(left);
    }
};

unsigned __stdcall RunHeld(void* arg)
{
    HeldWork* work = static_cast<HeldWork*>(arg);
    work->seen = 1;
    SetEvent(work->entered);
    WaitForSingleObject(work->release, INFINITE);
    unsigned result = work->result;
    SetEvent(work->left);  // the thread's last use of *work
    return result;
}

HANDLE StartThread(unsigned(__stdcall* proc)(void*), void* arg)
{
    return (HANDLE)_beginthreadex(NULL, 0, proc, arg, 0, NULL);
}

DWORD ExitCodeOf(HANDLE thread)
{
    DWORD code = 0xDEADBEEF;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    return code;
}

TEST(Thread, RunsTheProcedureWithItsArgumentAndKeepsItsResult)
{
    HeldWork work;
    work.result = 42;
    HANDLE thread = StartThread(RunHeld, &work);
    ASSERT_NE(thread, (HANDLE)NULL) << "error " << GetLastError();

    ASSERT_EQ(WaitForSingleObject(work.entered, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeOf(thread), STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);

    SetEvent(work.release);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(work.seen, 1);
    EXPECT_EQ(ExitCodeOf(thread), 42u);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(Thread, HandleOutlivesTheThreadUntilClosed)
{
    HeldWork work;
    work.result = 7;
    SetEvent(work.release);
    HANDLE thread = StartThread(RunHeld, &work);
    ASSERT_NE(thread, (HANDLE)NULL);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);

    // The thread has ended; its handle still answers, again and again.
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
        EXPECT_EQ(ExitCodeOf(thread), 7u);
    }
    ASSERT_TRUE(CloseHandle(thread));
    DWORD code;
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
}

TEST(Thread, ClosingTheHandleOfARunningThreadLetsItFinish)
{
    HeldWork work;
    HANDLE thread = StartThread(RunHeld, &work);
    ASSERT_NE(thread, (HANDLE)NULL);
    ASSERT_EQ(WaitForSingleObject(work.entered, INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(CloseHandle(thread));

    SetEvent(work.release);
    EXPECT_EQ(WaitForSingleObject(work.left, INFINITE), WAIT_OBJECT_0);
}

TEST(GetExitCodeThread, RefusesAHandleThatIsNoThread)
{
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    DWORD code;
    EXPECT_FALSE(GetExitCodeThread(event, &code));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    CloseHandle(event);
}

class ThreadFaults : public ::testing::Test {
protected:
    void TearDown() override { platform::faults::Clear(); }
};

TEST_F(ThreadFaults, AThreadThatCannotBeCreatedGivesZero)
{
    platform::faults::FailNth(platform::sys::Call::ThreadCreate, 1, EAGAIN);
    HeldWork work;
    SetEvent(work.release);
    EXPECT_EQ(_beginthreadex(NULL, 0, RunHeld, &work, 0, NULL), 0u);
    EXPECT_NE(GetLastError(), (DWORD)NO_ERROR);
    EXPECT_EQ(work.seen, 0);

    // The next start works again.
    HANDLE thread = StartThread(RunHeld, &work);
    ASSERT_NE(thread, (HANDLE)NULL);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
}

}  // namespace
