// Finding the program's resources: the module handle that names the
// program, FindResourceW and the calls that read what it finds, and
// LoadStringW.
#include "platform/linux/resources.h"

#include <algorithm>
#include <cstring>

#include "platform/linux/byte_reader.h"
#include "platform/linux/errors.h"
#include "platform/linux/resource_image.h"

namespace platform {
namespace {

// The program is the only module; its handle is the address 32-bit Windows
// loads programs at.
const HMODULE kProgramModule = (HMODULE)(ULONG_PTR)0x00400000;

const WORD kAnyLanguage = 0;  // MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)

struct ProgramResources {
    // The image, kept in 8-byte units so that every resource's data, which
    // lies at a multiple of four in it, is aligned for the WORD and DWORD
    // fields inside.
    std::vector<uint64_t> image;
    std::vector<ResourceEntry> entries;

    const BYTE* DataOf(const ResourceEntry& entry) const
    {
        return reinterpret_cast<const BYTE*>(image.data()) + entry.dataOffset;
    }
};

ProgramResources& Resources()
{
    static ProgramResources resources;
    return resources;
}

bool CheckModule(HMODULE module)
{
    return module == NULL || module == kProgramModule || Fail(ERROR_INVALID_HANDLE);
}

char16_t FoldCase(char16_t unit)
{
    return unit >= u'a' && unit <= u'z' ? unit - u'a' + u'A' : unit;
}

bool SameText(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

// Reads "#123", the text form of an ordinal.
bool OrdinalFromText(const std::u16string& text, WORD* ordinal)
{
    if (text.size() < 2 || text[0] != u'#')
        return false;
    unsigned long value = 0;
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return false;
        value = value * 10 + (text[i] - u'0');
        if (value > 0xFFFF)
            return false;
    }
    *ordinal = (WORD)value;
    return true;
}

// A type or name as the calls take it: an ordinal in the pointer's low
// word, "#123" for the same ordinal, or a string.
ResourceName NameFromArgument(LPCWSTR argument)
{
    ResourceName name;
    if (IS_INTRESOURCE(argument)) {
        name.isOrdinal = true;
        name.ordinal = LOWORD(argument);
    } else if (OrdinalFromText(argument, &name.ordinal)) {
        name.isOrdinal = true;
    } else {
        name.text = argument;
    }
    return name;
}

bool NamesMatch(const ResourceName& stored, const ResourceName& wanted)
{
    if (stored.isOrdinal || wanted.isOrdinal)
        return stored.isOrdinal == wanted.isOrdinal && stored.ordinal == wanted.ordinal;
    return SameText(stored.text, wanted.text);
}

// A resource handle is the entry's index plus one, never NULL.
HRSRC HandleOfEntry(size_t index)
{
    return (HRSRC)(ULONG_PTR)(index + 1);
}

const ResourceEntry* EntryOfHandle(HRSRC handle)
{
    const std::vector<ResourceEntry>& entries = Resources().entries;
    ULONG_PTR value = (ULONG_PTR)handle;
    if (value == 0 || value > entries.size()) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &entries[value - 1];
}

// Returns the handle of the resource of type and name in language, or in
// the first language there is for kAnyLanguage; NULL with the last error
// saying what was missing.
HRSRC FindEntry(LPCWSTR type, LPCWSTR name, WORD language)
{
    const std::vector<ResourceEntry>& entries = Resources().entries;
    if (entries.empty()) {
        Fail(ERROR_RESOURCE_DATA_NOT_FOUND);
        return NULL;
    }
    const ResourceName wantedType = NameFromArgument(type);
    const ResourceName wantedName = NameFromArgument(name);
    bool typeSeen = false, nameSeen = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!NamesMatch(entries[i].type, wantedType))
            continue;
        typeSeen = true;
        if (!NamesMatch(entries[i].name, wantedName))
            continue;
        nameSeen = true;
        if (language == kAnyLanguage || entries[i].language == language)
            return HandleOfEntry(i);
    }
    Fail(nameSeen   ? ERROR_RESOURCE_LANG_NOT_FOUND
         : typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND
                    : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return NULL;
}

// Finds string id's text in its block of sixteen counted strings. Returns
// false when the block or the string is missing or empty.
bool FindString(HINSTANCE instance, UINT id, const WCHAR** text, int* length)
{
    HRSRC block = FindResourceW(instance, MAKEINTRESOURCEW((id >> 4) + 1), RT_STRING);
    if (block == NULL)
        return false;
    ByteReader reader(LockResource(LoadResource(instance, block)), SizeofResource(instance, block));
    WORD count = 0;
    for (UINT skipped = 0; skipped < (id & 15); ++skipped) {
        if (!reader.Read(&count) || !reader.Skip(count * sizeof(WCHAR)))
            return Fail(ERROR_RESOURCE_NAME_NOT_FOUND);
    }
    if (!reader.Read(&count) || count == 0 || count * sizeof(WCHAR) > reader.Remaining())
        return Fail(ERROR_RESOURCE_NAME_NOT_FOUND);
    *text = reinterpret_cast<const WCHAR*>(reader.Data() + reader.Position());
    *length = count;
    return true;
}

}  // namespace

void SetProgramResources(const BYTE* data, size_t size)
{
    ProgramResources& resources = Resources();
    if (data == nullptr || !ParseResourceImage(data, size, &resources.entries)) {
        resources.entries.clear();
        resources.image.clear();
        return;
    }
    resources.image.assign((size + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
    memcpy(resources.image.data(), data, size);
}

}  // namespace platform

using namespace platform;

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName)
{
    if (lpModuleName != NULL) {
        Fail(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    return kProgramModule;
}

HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType)
{
    return CheckModule(hModule) ? FindEntry(lpType, lpName, kAnyLanguage) : NULL;
}

HRSRC WINAPI FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage)
{
    return CheckModule(hModule) ? FindEntry(lpType, lpName, wLanguage) : NULL;
}

// The data of a resource is already in memory: loading it gives its
// address, and locking it gives the same address back.
HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo)
{
    if (!CheckModule(hModule))
        return NULL;
    const ResourceEntry* entry = EntryOfHandle(hResInfo);
    return entry ? (HGLOBAL)Resources().DataOf(*entry) : NULL;
}

LPVOID WINAPI LockResource(HGLOBAL hResData)
{
    return hResData;
}

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo)
{
    if (!CheckModule(hModule))
        return 0;
    const ResourceEntry* entry = EntryOfHandle(hResInfo);
    return entry ? entry->dataSize : 0;
}

int WINAPI LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax)
{
    if (lpBuffer == NULL || cchBufferMax < 0)
        return Fail(ERROR_INVALID_PARAMETER);
    const WCHAR* text = nullptr;
    int length = 0;
    if (!FindString(hInstance, LOWORD(uID), &text, &length)) {
        if (cchBufferMax > 0)
            lpBuffer[0] = 0;
        return 0;
    }
    // With no room given, the caller gets a read-only pointer to the text
    // itself, which is not terminated.
    if (cchBufferMax == 0) {
        memcpy(lpBuffer, &text, sizeof(text));
        return length;
    }
    int copied = std::min(length, cchBufferMax - 1);
    memcpy(lpBuffer, text, copied * sizeof(WCHAR));
    lpBuffer[copied] = 0;
    return copied;
}
