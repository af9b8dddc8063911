// The image of a compiled resource file (.res): a run of entries, each a
// header that names the resource's type, name and language, then its data.
// The first entry is an empty one that marks the file as 32-bit resources.
#pragma once

#include <string>
#include <vector>

#include "platform/api/types.h"

namespace platform {

// A resource type or name: a 16-bit ordinal or a string.
struct ResourceName {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::u16string text;
};

struct ResourceEntry {
    ResourceName type;
    ResourceName name;
    WORD language = 0;
    size_t dataOffset = 0;  // from the start of the image; a multiple of four
    DWORD dataSize = 0;
};

// Reads the entries of the size bytes at data, leaving out the marker
// entry. Returns false, with *entries unspecified, when the bytes are not
// a well-formed image; never reads past size.
bool ParseResourceImage(const BYTE* data, size_t size, std::vector<ResourceEntry>* entries);

}  // namespace platform
