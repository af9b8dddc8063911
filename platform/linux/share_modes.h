// Share modes among this process's open files, checked by file identity
// (device and inode) in both directions, as Windows checks them: an open
// fails when it wants an access that an earlier open does not share, or
// refuses to share an access that an earlier open holds.
#pragma once

#include <sys/types.h>

#include <map>
#include <utility>

#include "platform/api/kernel.h"

namespace platform {

// The access rights the layer knows; an open without either takes no part
// in sharing.
const DWORD kDataAccess = GENERIC_READ | GENERIC_WRITE;

struct FileIdentity {
    dev_t device;
    ino_t inode;
    bool operator<(const FileIdentity& other) const
    {
        return std::make_pair(device, inode) < std::make_pair(other.device, other.inode);
    }
};

// The rule for one pair of opens.
bool SharingConflicts(DWORD heldAccess, DWORD heldShare, DWORD wantedAccess, DWORD wantedShare);

// One open's place in the registry; releasing it (or destroying it) takes
// the open out.
class ShareRegistration {
public:
    ShareRegistration() = default;
    ShareRegistration(const ShareRegistration&) = delete;
    ShareRegistration& operator=(const ShareRegistration&) = delete;
    ~ShareRegistration() { Release(); }

    // Registers an open of file; false when it conflicts with one that is
    // already registered. Opens without read or write access take no part.
    bool Acquire(const FileIdentity& file, DWORD access, DWORD share);
    void Release();

private:
    struct Open {
        DWORD access;
        DWORD share;
    };
    using Registry = std::multimap<FileIdentity, Open>;
    friend bool SharingAllows(const FileIdentity& file, DWORD access, DWORD share);
    static Registry& Opens();

    bool m_registered = false;
    Registry::iterator m_entry;
};

// Whether an open of file with access and share would pass, without
// registering it.
bool SharingAllows(const FileIdentity& file, DWORD access, DWORD share);

}  // namespace platform
