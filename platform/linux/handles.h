// The one table of kernel handles: files, find handles, events and threads.
// A handle is a small non-zero index; looking one up names the kind it must
// be, so a wrong or closed handle gives ERROR_INVALID_HANDLE, never a stray
// object.
#pragma once

#include <memory>

#include "platform/api/types.h"

namespace platform {

enum class HandleKind { File, Find, Event, Thread };

struct KernelObject {
    explicit KernelObject(HandleKind k) : kind(k) {}
    virtual ~KernelObject() = default;
    const HandleKind kind;
};

// Enters object in the table. Returns its handle, or NULL with the last
// error set when the table cannot take it.
HANDLE NewHandle(std::shared_ptr<KernelObject> object);

// Returns the object of handle if it is of kind, else null with
// ERROR_INVALID_HANDLE. The object stays alive while the caller holds it,
// even if another thread closes the handle meanwhile.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle, HandleKind kind);
std::shared_ptr<KernelObject> LookupAnyHandle(HANDLE handle);

template <typename T>
std::shared_ptr<T> Lookup(HANDLE handle)
{
    return std::static_pointer_cast<T>(LookupHandle(handle, T::kKind));
}

// Takes handle out of the table; the object ends with its last user.
bool ReleaseHandle(HANDLE handle);

}  // namespace platform
