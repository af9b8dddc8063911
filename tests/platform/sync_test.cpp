// Events and WaitForSingleObject, with real threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/winapi.h"

namespace {

class ScopedEvent {
public:
    ScopedEvent(BOOL manualReset, BOOL initialState) : m_handle(CreateEventW(NULL, manualReset, initialState, NULL))
    {
        EXPECT_NE(m_handle, (HANDLE)NULL) << "error " << GetLastError();
    }
    ~ScopedEvent() { CloseHandle(m_handle); }
    ScopedEvent(const ScopedEvent&) = delete;
    ScopedEvent& operator=(const ScopedEvent&) = delete;

    HANDLE get() const { return m_handle; }

private:
    HANDLE m_handle;
};

bool IsSignalled(HANDLE event)
{
    return WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

TEST(Event, ManualResetStaysSignalledUntilReset)
{
    ScopedEvent event(TRUE, FALSE);
    EXPECT_FALSE(IsSignalled(event.get()));
    ASSERT_TRUE(SetEvent(event.get()));
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(WaitForSingleObject(event.get(), INFINITE), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event.get()));
    EXPECT_FALSE(IsSignalled(event.get()));
}

TEST(Event, InitialStateCounts)
{
    ScopedEvent manual(TRUE, TRUE);
    ScopedEvent automatic(FALSE, TRUE);
    EXPECT_TRUE(IsSignalled(manual.get()));
    EXPECT_TRUE(IsSignalled(automatic.get()));
    EXPECT_FALSE(IsSignalled(automatic.get()));
}

TEST(Event, AutoResetIsConsumedByOneWait)
{
    ScopedEvent event(FALSE, FALSE);
    ASSERT_TRUE(SetEvent(event.get()));
    ASSERT_TRUE(SetEvent(event.get()));  // a second set while signalled adds nothing
    EXPECT_EQ(WaitForSingleObject(event.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT);
}

TEST(Event, ManualResetReleasesEveryWaitingThread)
{
    ScopedEvent gate(TRUE, FALSE);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; i++) {
        waiters.emplace_back([&] {
            EXPECT_EQ(WaitForSingleObject(gate.get(), INFINITE), WAIT_OBJECT_0);
            released++;
        });
    }
    ASSERT_TRUE(SetEvent(gate.get()));
    for (std::thread& waiter : waiters)
        waiter.join();
    EXPECT_EQ(released.load(), 4);
}

TEST(Event, AutoResetReleasesOneWaitingThreadPerSet)
{
    ScopedEvent gate(FALSE, FALSE);
    ScopedEvent woke(FALSE, FALSE);
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; i++) {
        waiters.emplace_back([&] {
            EXPECT_EQ(WaitForSingleObject(gate.get(), INFINITE), WAIT_OBJECT_0);
            released++;
            SetEvent(woke.get());
        });
    }
    for (int expected = 1; expected <= 2; expected++) {
        ASSERT_TRUE(SetEvent(gate.get()));
        ASSERT_EQ(WaitForSingleObject(woke.get(), INFINITE), WAIT_OBJECT_0);
        // The waiter that woke took the signal with it.
        EXPECT_FALSE(IsSignalled(gate.get()));
        EXPECT_LE(released.load(), expected);
    }
    for (std::thread& waiter : waiters)
        waiter.join();
    EXPECT_EQ(released.load(), 2);
}

TEST(Event, SetFromAnotherThreadEndsAnInfiniteWait)
{
    ScopedEvent event(FALSE, FALSE);
    std::thread setter([&] { SetEvent(event.get()); });
    EXPECT_EQ(WaitForSingleObject(event.get(), INFINITE), WAIT_OBJECT_0);
    setter.join();
}

TEST(WaitForSingleObject, TimesOutOnAnUnsignalledEvent)
{
    ScopedEvent event(TRUE, FALSE);
    for (DWORD timeout : {0u, 20u})
        EXPECT_EQ(WaitForSingleObject(event.get(), timeout), WAIT_TIMEOUT);
}

TEST(WaitForSingleObject, FailsOnWhatCannotBeWaitedFor)
{
    HANDLE closed = CreateEventW(NULL, TRUE, TRUE, NULL);
    ASSERT_TRUE(CloseHandle(closed));
    for (HANDLE handle : {closed, (HANDLE)NULL, INVALID_HANDLE_VALUE, (HANDLE)(uintptr_t)0x7FFFFFF0}) {
        SetLastError(NO_ERROR);
        EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    }
}

TEST(CreateEventW, RefusesANamedEvent)
{
    SetLastError(NO_ERROR);
    EXPECT_EQ(CreateEventW(NULL, TRUE, FALSE, u"Local\\corvane"), (HANDLE)NULL);
    EXPECT_NE(GetLastError(), (DWORD)NO_ERROR);
}

TEST(Event, CallsRefuseAClosedHandle)
{
    HANDLE event = CreateEventW(NULL, TRUE, FALSE, NULL);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ResetEvent(event));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

}  // namespace
