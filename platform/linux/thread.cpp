// Threads: _beginthreadex, GetExitCodeThread, GetCurrentThreadId.
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

#include "platform/api/kernel.h"
#include "platform/linux/errors.h"
#include "platform/linux/syscalls.h"
#include "platform/linux/waitable.h"
#include "platform/linux/window_internal.h"

namespace platform {
namespace {

struct ThreadObject : WaitableObject {
    static const HandleKind kKind = HandleKind::Thread;
    ThreadObject() : WaitableObject(kKind) {}
    DWORD exitCode = STILL_ACTIVE;  // guarded by mutex
};

struct ThreadStart {
    std::shared_ptr<ThreadObject> thread;
    unsigned(__stdcall* proc)(void*);
    void* arg;
};

void* RunThread(void* raw)
{
    ThreadStart* start = static_cast<ThreadStart*>(raw);
    unsigned exitCode = start->proc(start->arg);
    {
        std::lock_guard<std::mutex> lock(start->thread->mutex);
        start->thread->exitCode = exitCode;
    }
    // A thread's windows and its queue go before the thread counts as ended,
    // so whoever waited for it never meets them.
    CloseCurrentThreadQueue();
    start->thread->Signal();
    delete start;
    return nullptr;
}

uintptr_t FailThreadStart(int err)
{
    errno = err;
    FailWithErrno(err);
    return 0;
}

}  // namespace
}  // namespace platform

using namespace platform;

uintptr_t _beginthreadex(void* security, unsigned stack_size, unsigned(__stdcall* start_address)(void*),
                         void* arglist, unsigned initflag, unsigned* thrdaddr)
{
    // Only what the program asks for: default security and stack, running at once.
    if (security != nullptr || stack_size != 0 || initflag != 0 || start_address == nullptr)
        return FailThreadStart(EINVAL);

    auto thread = std::make_shared<ThreadObject>();
    HANDLE handle = NewHandle(thread);
    if (handle == NULL)
        return FailThreadStart(ENOMEM);

    ThreadStart* start = new ThreadStart{thread, start_address, arglist};
    pthread_t id;
    int err = sys::pthread_create(&id, RunThread, start);
    if (err != 0) {
        delete start;
        ReleaseHandle(handle);
        return FailThreadStart(err);
    }
    pthread_detach(id);
    if (thrdaddr)
        *thrdaddr = 0;  // thread ids are not handed out; nothing in the program asks
    return (uintptr_t)handle;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode)
{
    auto thread = Lookup<ThreadObject>(hThread);
    if (!thread)
        return FALSE;
    std::lock_guard<std::mutex> lock(thread->mutex);
    *lpExitCode = thread->exitCode;
    return TRUE;
}

DWORD WINAPI GetCurrentThreadId(void)
{
    thread_local DWORD id = (DWORD)syscall(SYS_gettid);
    return id;
}
