#include "platform/linux/share_modes.h"

#include <mutex>

namespace platform {
namespace {

std::mutex& RegistryMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Caller holds the registry mutex.
template <typename Registry>
bool AllowedLocked(Registry& opens, const FileIdentity& file, DWORD access, DWORD share)
{
    if ((access & kDataAccess) == 0)
        return true;
    auto range = opens.equal_range(file);
    for (auto it = range.first; it != range.second; ++it) {
        if (SharingConflicts(it->second.access, it->second.share, access, share))
            return false;
    }
    return true;
}

}  // namespace

bool SharingConflicts(DWORD heldAccess, DWORD heldShare, DWORD wantedAccess, DWORD wantedShare)
{
    auto refuses = [](DWORD access, DWORD share) {
        return ((access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
               ((access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE));
    };
    return refuses(wantedAccess, heldShare) || refuses(heldAccess, wantedShare);
}

ShareRegistration::Registry& ShareRegistration::Opens()
{
    static Registry opens;
    return opens;
}

bool ShareRegistration::Acquire(const FileIdentity& file, DWORD access, DWORD share)
{
    Release();
    if ((access & kDataAccess) == 0)
        return true;
    std::lock_guard<std::mutex> lock(RegistryMutex());
    if (!AllowedLocked(Opens(), file, access, share))
        return false;
    m_entry = Opens().emplace(file, Open{access, share});
    m_registered = true;
    return true;
}

void ShareRegistration::Release()
{
    if (!m_registered)
        return;
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Opens().erase(m_entry);
    m_registered = false;
}

bool SharingAllows(const FileIdentity& file, DWORD access, DWORD share)
{
    std::lock_guard<std::mutex> lock(RegistryMutex());
    return AllowedLocked(ShareRegistration::Opens(), file, access, share);
}

}  // namespace platform
