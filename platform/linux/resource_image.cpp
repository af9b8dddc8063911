#include "platform/linux/resource_image.h"

#include "platform/linux/byte_reader.h"

namespace platform {
namespace {

bool ReadName(ByteReader& reader, ResourceName* name)
{
    return reader.ReadStringOrOrdinal(&name->text, &name->isOrdinal, &name->ordinal) &&
           (name->isOrdinal || !name->text.empty());
}

// Reads the entry at the reader's position, which is DWORD-aligned, and
// moves past its data and the padding that aligns the next entry.
bool ReadEntry(ByteReader& reader, ResourceEntry* entry)
{
    const size_t start = reader.Position();
    DWORD headerSize;
    if (!(reader.Read(&entry->dataSize) && reader.Read(&headerSize) && ReadName(reader, &entry->type) &&
          ReadName(reader, &entry->name) && reader.AlignToDword()))
        return false;
    // DataVersion and MemoryFlags, the language, then Version and
    // Characteristics; only the language matters here.
    if (!(reader.Skip(sizeof(DWORD) + sizeof(WORD)) && reader.Read(&entry->language) &&
          reader.Skip(2 * sizeof(DWORD))))
        return false;
    const size_t fieldsSize = reader.Position() - start;
    if (headerSize < fieldsSize || headerSize % 4 != 0 || !reader.Skip(headerSize - fieldsSize))
        return false;
    entry->dataOffset = reader.Position();
    return reader.Skip(entry->dataSize) && reader.AlignToDword();
}

bool IsMarkerEntry(const ResourceEntry& entry)
{
    return entry.type.isOrdinal && entry.type.ordinal == 0 && entry.dataSize == 0;
}

}  // namespace

bool ParseResourceImage(const BYTE* data, size_t size, std::vector<ResourceEntry>* entries)
{
    entries->clear();
    ByteReader reader(data, size);
    ResourceEntry entry;
    if (!ReadEntry(reader, &entry) || !IsMarkerEntry(entry))
        return false;
    while (reader.Remaining() > 0) {
        if (!ReadEntry(reader, &entry))
            return false;
        entries->push_back(entry);
    }
    return true;
}

}  // namespace platform
