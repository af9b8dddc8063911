// An open file behind a kernel handle.
#pragma once

#include <atomic>

#include "platform/linux/handles.h"
#include "platform/linux/share_modes.h"

namespace platform {

struct FileObject : KernelObject {
    static const HandleKind kKind = HandleKind::File;

    FileObject(int descriptor, DWORD accessRights)
        : KernelObject(kKind), fd(descriptor), access(accessRights)
    {
    }
    ~FileObject() override;

    const int fd;
    const DWORD access;
    // The file pointer belongs to the handle, as on Windows; reads and writes
    // go through pread and pwrite at it.
    std::atomic<int64_t> position{0};
    ShareRegistration share;
};

}  // namespace platform
