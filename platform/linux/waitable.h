// Kernel objects that a wait can be satisfied by: events and threads.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/linux/handles.h"

namespace platform {

struct WaitableObject : KernelObject {
    explicit WaitableObject(HandleKind k) : KernelObject(k) {}

    // Sets the signalled state and wakes every waiter.
    void Signal()
    {
        std::lock_guard<std::mutex> lock(mutex);
        signalled = true;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;     // guarded by mutex
    bool resetOnWait = false;   // an auto-reset event wakes one waiter
};

}  // namespace platform
