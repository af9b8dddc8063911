#include "platform/linux/paths.h"

namespace platform {
namespace {

const char16_t kMappedBackslash = 0xF05C;
const char16_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF carry bytes 0x80..0xFF

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Decodes the UTF-8 sequence at bytes[i]. Returns its length, or 0 when it
// is not a valid, shortest-form sequence of a scalar value.
size_t DecodeSequence(const std::string& bytes, size_t i, char32_t* cp)
{
    unsigned char lead = (unsigned char)bytes[i];
    size_t length;
    char32_t value;
    char32_t minimum;
    if (lead < 0x80) {
        *cp = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (size_t k = 1; k < length; k++) {
        unsigned char next = (unsigned char)bytes[i + k];
        if (!IsContinuation(next))
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *cp = value;
    return length;
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out.push_back((char16_t)cp);
    } else {
        cp -= 0x10000;
        out.push_back((char16_t)(0xD800 + (cp >> 10)));
        out.push_back((char16_t)(0xDC00 + (cp & 0x3FF)));
    }
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back((char)cp);
    } else if (cp < 0x800) {
        out.push_back((char)(0xC0 | (cp >> 6)));
        out.push_back((char)(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back((char)(0xE0 | (cp >> 12)));
        out.push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back((char)(0x80 | (cp & 0x3F)));
    } else {
        out.push_back((char)(0xF0 | (cp >> 18)));
        out.push_back((char)(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back((char)(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back((char)(0x80 | (cp & 0x3F)));
    }
}

bool IsEscapedByte(char16_t unit)
{
    return unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF;
}

// Encodes UTF-16 text; separators are handled by the caller's choice of
// what a backslash and a slash become.
bool Encode(const char16_t* text, bool isPath, std::string& out)
{
    out.clear();
    for (size_t i = 0; text[i] != 0; i++) {
        char16_t unit = text[i];
        if (isPath && (unit == u'\\' || unit == u'/')) {
            out.push_back('/');
        } else if (isPath && unit == kMappedBackslash) {
            out.push_back('\\');
        } else if (IsEscapedByte(unit)) {
            out.push_back((char)(unit - kEscapeBase));
        } else if (unit >= 0xD800 && unit <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            char32_t cp = 0x10000 + (((char32_t)unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            AppendUtf8(out, cp);
            i++;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            if (isPath)
                return false;
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, unit);
        }
    }
    return true;
}

std::u16string Decode(const std::string& bytes, bool isName)
{
    std::u16string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        char32_t cp;
        size_t length = DecodeSequence(bytes, i, &cp);
        if (length == 0 || cp == kMappedBackslash) {
            out.push_back((char16_t)(kEscapeBase + (unsigned char)bytes[i]));
            i++;
            continue;
        }
        AppendUtf16(out, isName && cp == u'\\' ? kMappedBackslash : cp);
        i += length;
    }
    return out;
}

}  // namespace

std::u16string NameFromNative(const std::string& bytes)
{
    return Decode(bytes, true);
}

std::u16string TextFromNative(const std::string& bytes)
{
    return Decode(bytes, false);
}

bool PathToNative(LPCWSTR path, std::string& bytes)
{
    return Encode(path, true, bytes);
}

std::string TextToNative(const std::u16string& text)
{
    std::string bytes;
    Encode(text.c_str(), false, bytes);
    return bytes;
}

}  // namespace platform
