// LoadIconW: an icon group of the program's resources, and the best of its
// images decoded once and kept for the program's life.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/api/kernel.h"
#include "platform/linux/byte_reader.h"
#include "platform/linux/errors.h"
#include "platform/linux/icon_image.h"
#include "platform/linux/resources.h"

namespace platform {
namespace {

const WORD kIconGroupType = 1;  // as opposed to 2, cursors

// One image an icon group lists.
struct GroupMember {
    int side;  // the larger of width and height, in pixels
    WORD bitCount;
    WORD id;   // of its RT_ICON resource
};

bool ReadMember(ByteReader& reader, GroupMember* member)
{
    BYTE width, height, colorCount, reserved;
    WORD planes;
    DWORD bytesInResource;
    if (!(reader.Read(&width) && reader.Read(&height) && reader.Read(&colorCount) && reader.Read(&reserved) &&
          reader.Read(&planes) && reader.Read(&member->bitCount) && reader.Read(&bytesInResource) &&
          reader.Read(&member->id)))
        return false;
    member->side = std::max(width == 0 ? 256 : width, height == 0 ? 256 : height);
    return true;
}

// Reads an RT_GROUP_ICON resource into its members, best first: the most
// bits per pixel, then the largest.
bool ReadIconGroup(const void* data, size_t size, std::vector<GroupMember>* members)
{
    ByteReader reader(data, size);
    WORD reserved, type, count;
    if (!(reader.Read(&reserved) && reader.Read(&type) && reader.Read(&count)) || type != kIconGroupType)
        return false;
    members->resize(count);
    for (GroupMember& member : *members) {
        if (!ReadMember(reader, &member))
            return false;
    }
    std::stable_sort(members->begin(), members->end(), [](const GroupMember& a, const GroupMember& b) {
        return a.bitCount != b.bitCount ? a.bitCount > b.bitCount : a.side > b.side;
    });
    return true;
}

// Every icon handed out, by the bytes it was decoded from, so that loading
// the same icon again gives the same handle.
struct IconTable {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<IconImage>> byImageBytes;
};

IconTable& Icons()
{
    static IconTable* table = new IconTable;  // never destroyed: icons outlive every static
    return *table;
}

HICON HandleOf(const IconImage* image)
{
    return reinterpret_cast<HICON>(const_cast<IconImage*>(image));
}

// Returns the icon of an RT_ICON resource's bytes, decoding them the first
// time; NULL with the last error set when they cannot be decoded.
HICON IconFromImageBytes(const BYTE* data, size_t size)
{
    std::string key(reinterpret_cast<const char*>(data), size);
    IconTable& icons = Icons();
    {
        std::lock_guard<std::mutex> lock(icons.mutex);
        auto known = icons.byImageBytes.find(key);
        if (known != icons.byImageBytes.end())
            return HandleOf(known->second.get());
    }
    auto image = std::make_unique<IconImage>();
    if (DWORD error = DecodeIconImage(data, size, image.get())) {
        Fail(error);
        return NULL;
    }
    std::lock_guard<std::mutex> lock(icons.mutex);
    auto entry = icons.byImageBytes.emplace(std::move(key), std::move(image)).first;
    return HandleOf(entry->second.get());
}

}  // namespace

const IconImage* IconImageOf(HICON icon)
{
    IconTable& icons = Icons();
    std::lock_guard<std::mutex> lock(icons.mutex);
    for (const auto& entry : icons.byImageBytes) {
        if (HandleOf(entry.second.get()) == icon)
            return entry.second.get();
    }
    return nullptr;
}

}  // namespace platform

using namespace platform;

HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName)
{
    HRSRC group = FindResourceW(hInstance, lpIconName, RT_GROUP_ICON);
    if (group == NULL)
        return NULL;
    std::vector<GroupMember> members;
    if (!ReadIconGroup(LockResource(LoadResource(hInstance, group)), SizeofResource(hInstance, group), &members) ||
        members.empty()) {
        Fail(ERROR_INVALID_DATA);
        return NULL;
    }
    // The best image that can be shown; the error is that of the best one.
    DWORD firstError = NO_ERROR;
    for (const GroupMember& member : members) {
        HRSRC image = FindResourceW(hInstance, MAKEINTRESOURCEW(member.id), RT_ICON);
        HICON icon = image ? IconFromImageBytes(static_cast<const BYTE*>(LockResource(LoadResource(hInstance, image))),
                                                SizeofResource(hInstance, image))
                           : NULL;
        if (icon != NULL)
            return icon;
        if (firstError == NO_ERROR)
            firstError = GetLastError();
    }
    Fail(firstError);
    return NULL;
}
