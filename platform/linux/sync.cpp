// Events and waits.
#include <chrono>
#include <thread>

#include "platform/api/kernel.h"
#include "platform/linux/errors.h"
#include "platform/linux/waitable.h"

namespace platform {
namespace {

struct EventObject : WaitableObject {
    static const HandleKind kKind = HandleKind::Event;
    EventObject(bool manualReset, bool initialState) : WaitableObject(kKind)
    {
        resetOnWait = !manualReset;
        signalled = initialState;
    }
};

std::shared_ptr<WaitableObject> LookupWaitable(HANDLE handle)
{
    std::shared_ptr<KernelObject> object = LookupAnyHandle(handle);
    if (!object)
        return nullptr;
    if (object->kind != HandleKind::Event && object->kind != HandleKind::Thread) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::static_pointer_cast<WaitableObject>(object);
}

}  // namespace
}  // namespace platform

using namespace platform;

HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                           LPCWSTR lpName)
{
    if (lpName != NULL) {
        Fail(ERROR_NOT_SUPPORTED);  // named events are shared between processes
        return NULL;
    }
    return NewHandle(std::make_shared<EventObject>(bManualReset != FALSE, bInitialState != FALSE));
}

BOOL WINAPI SetEvent(HANDLE hEvent)
{
    auto event = Lookup<EventObject>(hEvent);
    if (!event)
        return FALSE;
    event->Signal();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent)
{
    auto event = Lookup<EventObject>(hEvent);
    if (!event)
        return FALSE;
    std::lock_guard<std::mutex> lock(event->mutex);
    event->signalled = false;
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    auto object = LookupWaitable(hHandle);
    if (!object)
        return WAIT_FAILED;
    std::unique_lock<std::mutex> lock(object->mutex);
    auto isSignalled = [&] { return object->signalled; };
    // A zero time-out is a poll (the worker's stop test after every range):
    // it must not go to the kernel.
    if (dwMilliseconds == 0) {
        if (!isSignalled())
            return WAIT_TIMEOUT;
    } else if (dwMilliseconds == INFINITE) {
        object->changed.wait(lock, isSignalled);
    } else if (!object->changed.wait_for(lock, std::chrono::milliseconds(dwMilliseconds), isSignalled)) {
        return WAIT_TIMEOUT;
    }
    if (object->resetOnWait)
        object->signalled = false;
    return WAIT_OBJECT_0;
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
