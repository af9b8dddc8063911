#include "platform/linux/dialog_template.h"

#include "platform/linux/byte_reader.h"

namespace platform {
namespace {

const WORD kExtendedVersion = 1;
const WORD kExtendedSignature = 0xFFFF;
const DWORD kSetFont = 0x40;  // DS_SETFONT, also part of DS_SHELLFONT

std::u16string OrdinalText(WORD ordinal)
{
    std::u16string digits;
    do {
        digits.insert(digits.begin(), (char16_t)(u'0' + ordinal % 10));
        ordinal /= 10;
    } while (ordinal != 0);
    return u"#" + digits;
}

// The classes an item may name by ordinal.
std::u16string ItemClassName(WORD ordinal)
{
    switch (ordinal) {
    case 0x80: return u"Button";
    case 0x81: return u"Edit";
    case 0x82: return u"Static";
    case 0x83: return u"ListBox";
    case 0x84: return u"ScrollBar";
    case 0x85: return u"ComboBox";
    default: return OrdinalText(ordinal);
    }
}

// A menu or class name of the dialog: none, a string, or an ordinal.
bool ReadDialogName(ByteReader& reader, std::u16string* name)
{
    bool isOrdinal;
    WORD ordinal;
    if (!reader.ReadStringOrOrdinal(name, &isOrdinal, &ordinal))
        return false;
    if (isOrdinal)
        *name = OrdinalText(ordinal);
    return true;
}

bool ReadItemClass(ByteReader& reader, DialogItemTemplate* item)
{
    bool isOrdinal;
    WORD ordinal;
    if (!reader.ReadStringOrOrdinal(&item->className, &isOrdinal, &ordinal))
        return false;
    if (isOrdinal)
        item->className = ItemClassName(ordinal);
    return true;
}

bool ReadItemTitleAndData(ByteReader& reader, DialogItemTemplate* item)
{
    WORD dataSize;
    return reader.ReadStringOrOrdinal(&item->title, &item->titleIsOrdinal, &item->titleOrdinal) &&
           reader.Read(&dataSize) && reader.ReadBytes(dataSize, &item->creationData);
}

bool ReadRect(ByteReader& reader, short* x, short* y, short* cx, short* cy)
{
    return reader.Read(x) && reader.Read(y) && reader.Read(cx) && reader.Read(cy);
}

// DLGITEMTEMPLATEEX: helpID, exStyle, style, rect, DWORD id, class, title,
// extraCount and creation data.
bool ReadExtendedItem(ByteReader& reader, DialogItemTemplate* item)
{
    int32_t id;
    if (!(reader.AlignToDword() && reader.Read(&item->helpId) && reader.Read(&item->exStyle) &&
          reader.Read(&item->style) && ReadRect(reader, &item->x, &item->y, &item->cx, &item->cy) &&
          reader.Read(&id)))
        return false;
    item->id = id;
    return ReadItemClass(reader, item) && ReadItemTitleAndData(reader, item);
}

// DLGITEMTEMPLATE: style, exStyle, rect, WORD id, class, title, the size of
// the creation data and the data.
bool ReadClassicItem(ByteReader& reader, DialogItemTemplate* item)
{
    int16_t id;
    if (!(reader.AlignToDword() && reader.Read(&item->style) && reader.Read(&item->exStyle) &&
          ReadRect(reader, &item->x, &item->y, &item->cx, &item->cy) && reader.Read(&id)))
        return false;
    item->id = id;
    return ReadItemClass(reader, item) && ReadItemTitleAndData(reader, item);
}

// DLGTEMPLATEEX up to its items: the signature, helpID, exStyle, style,
// item count, rect, menu, class, title, and the font with DS_SETFONT.
bool ReadExtendedHeader(ByteReader& reader, DialogTemplate* dialog, WORD* itemCount)
{
    WORD version, signature;
    if (!(reader.Read(&version) && reader.Read(&signature) && reader.Read(&dialog->helpId) &&
          reader.Read(&dialog->exStyle) && reader.Read(&dialog->style) && reader.Read(itemCount) &&
          ReadRect(reader, &dialog->x, &dialog->y, &dialog->cx, &dialog->cy) &&
          ReadDialogName(reader, &dialog->menu) && ReadDialogName(reader, &dialog->className) &&
          reader.ReadString(&dialog->title)))
        return false;
    dialog->hasFont = (dialog->style & kSetFont) != 0;
    return !dialog->hasFont || (reader.Read(&dialog->pointSize) && reader.Read(&dialog->weight) &&
                                reader.Read(&dialog->italic) && reader.Read(&dialog->charset) &&
                                reader.ReadString(&dialog->typeface));
}

// DLGTEMPLATE up to its items: style, exStyle, item count, rect, menu,
// class, title, and with DS_SETFONT the point size and typeface.
bool ReadClassicHeader(ByteReader& reader, DialogTemplate* dialog, WORD* itemCount)
{
    if (!(reader.Read(&dialog->style) && reader.Read(&dialog->exStyle) && reader.Read(itemCount) &&
          ReadRect(reader, &dialog->x, &dialog->y, &dialog->cx, &dialog->cy) &&
          ReadDialogName(reader, &dialog->menu) && ReadDialogName(reader, &dialog->className) &&
          reader.ReadString(&dialog->title)))
        return false;
    dialog->hasFont = (dialog->style & kSetFont) != 0;
    return !dialog->hasFont || (reader.Read(&dialog->pointSize) && reader.ReadString(&dialog->typeface));
}

// Tells the two forms apart by the extended form's version and signature.
bool ReadForm(const void* data, size_t size, bool* extended)
{
    ByteReader reader(data, size);
    WORD version, signature;
    if (!(reader.Read(&version) && reader.Read(&signature)))
        return false;
    *extended = signature == kExtendedSignature;
    return !*extended || version == kExtendedVersion;
}

}  // namespace

bool ParseDialogTemplate(const void* data, size_t size, DialogTemplate* out)
{
    *out = DialogTemplate();
    if (!ReadForm(data, size, &out->extended))
        return false;
    ByteReader reader(data, size);
    WORD itemCount;
    if (!(out->extended ? ReadExtendedHeader(reader, out, &itemCount) : ReadClassicHeader(reader, out, &itemCount)))
        return false;
    for (WORD i = 0; i < itemCount; ++i) {
        DialogItemTemplate item;
        if (!(out->extended ? ReadExtendedItem(reader, &item) : ReadClassicItem(reader, &item)))
            return false;
        out->items.push_back(std::move(item));
    }
    return true;
}

}  // namespace platform
