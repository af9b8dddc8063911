#include "platform/linux/handles.h"

#include <mutex>
#include <vector>

#include "platform/api/kernel.h"
#include "platform/linux/errors.h"
#include "platform/linux/syscalls.h"

namespace platform {
namespace {

// Handle values are multiples of four, as on Windows, starting at 4.
const uintptr_t kHandleStep = 4;

struct HandleTable {
    std::mutex mutex;
    std::vector<std::shared_ptr<KernelObject>> slots;
    std::vector<size_t> free;
};

HandleTable& Table()
{
    static HandleTable table;
    return table;
}

bool SlotOf(HANDLE handle, size_t* slot)
{
    uintptr_t value = (uintptr_t)handle;
    if (value == 0 || value % kHandleStep != 0)
        return false;
    *slot = value / kHandleStep - 1;
    return true;
}

}  // namespace

HANDLE NewHandle(std::shared_ptr<KernelObject> object)
{
    if (int err = sys::CheckFault(sys::Call::NewHandle)) {
        FailWithErrno(err);
        return NULL;
    }
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    size_t slot;
    if (!table.free.empty()) {
        slot = table.free.back();
        table.free.pop_back();
        table.slots[slot] = std::move(object);
    } else {
        slot = table.slots.size();
        table.slots.push_back(std::move(object));
    }
    return (HANDLE)((slot + 1) * kHandleStep);
}

std::shared_ptr<KernelObject> LookupAnyHandle(HANDLE handle)
{
    HandleTable& table = Table();
    size_t slot;
    std::shared_ptr<KernelObject> object;
    if (SlotOf(handle, &slot)) {
        std::lock_guard<std::mutex> lock(table.mutex);
        if (slot < table.slots.size())
            object = table.slots[slot];
    }
    if (!object)
        Fail(ERROR_INVALID_HANDLE);
    return object;
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle, HandleKind kind)
{
    std::shared_ptr<KernelObject> object = LookupAnyHandle(handle);
    if (object && object->kind != kind) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

bool ReleaseHandle(HANDLE handle)
{
    HandleTable& table = Table();
    size_t slot;
    std::shared_ptr<KernelObject> object;
    if (SlotOf(handle, &slot)) {
        std::lock_guard<std::mutex> lock(table.mutex);
        if (slot < table.slots.size() && table.slots[slot]) {
            object = std::move(table.slots[slot]);
            table.free.push_back(slot);
        }
    }
    // The object's own clean-up (closing a descriptor) runs outside the lock.
    return object != nullptr;
}

}  // namespace platform

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (!platform::ReleaseHandle(hObject))
        return platform::Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}
