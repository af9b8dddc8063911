// The program's one formatter: printf-style formatting into UTF-16 text.
#include "platform/api/strsafe.h"

#include <string>

namespace {

// Collects output up to the destination's capacity and remembers whether
// anything was cut.
class BoundedWriter {
public:
    BoundedWriter(LPWSTR dest, size_t cch) : m_dest(dest), m_room(cch - 1) {}

    void Put(char16_t unit)
    {
        if (m_used < m_room)
            m_dest[m_used++] = unit;
        else
            m_truncated = true;
    }
    void Put(const char16_t* text, size_t length)
    {
        for (size_t i = 0; i < length; i++)
            Put(text[i]);
    }
    void Pad(char16_t fill, size_t count)
    {
        for (size_t i = 0; i < count; i++)
            Put(fill);
    }
    HRESULT Finish()
    {
        m_dest[m_used] = 0;
        return m_truncated ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
    }

private:
    LPWSTR m_dest;
    size_t m_room;
    size_t m_used = 0;
    bool m_truncated = false;
};

struct FieldFormat {
    bool leftAlign = false;
    bool zeroPad = false;
    size_t width = 0;
};

std::u16string Digits(unsigned long long value, unsigned base)
{
    std::u16string digits;
    do {
        unsigned digit = (unsigned)(value % base);
        digits.insert(digits.begin(), (char16_t)(digit < 10 ? u'0' + digit : u'a' + digit - 10));
        value /= base;
    } while (value != 0);
    return digits;
}

void PutField(BoundedWriter& out, const FieldFormat& field, const char16_t* sign, const char16_t* text,
              size_t length)
{
    size_t signLength = sign[0] ? 1 : 0;
    size_t padding = field.width > length + signLength ? field.width - length - signLength : 0;
    if (!field.leftAlign && !field.zeroPad)
        out.Pad(u' ', padding);
    out.Put(sign, signLength);
    if (!field.leftAlign && field.zeroPad)
        out.Pad(u'0', padding);
    out.Put(text, length);
    if (field.leftAlign)
        out.Pad(u' ', padding);
}

size_t Length(const char16_t* text)
{
    size_t length = 0;
    while (text[length])
        length++;
    return length;
}

}  // namespace

HRESULT StringCchVPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, va_list argList)
{
    if (pszDest == nullptr || cchDest == 0 || cchDest > STRSAFE_MAX_CCH)
        return STRSAFE_E_INVALID_PARAMETER;
    BoundedWriter out(pszDest, cchDest);
    for (const char16_t* p = pszFormat; *p; p++) {
        if (*p != u'%') {
            out.Put(*p);
            continue;
        }
        FieldFormat field;
        for (p++; *p == u'-' || *p == u'0'; p++)
            (*p == u'-' ? field.leftAlign : field.zeroPad) = true;
        for (; *p >= u'0' && *p <= u'9'; p++)
            field.width = field.width * 10 + (*p - u'0');
        switch (*p) {
        case u'%':
            out.Put(u'%');
            break;
        case u'c': {
            char16_t unit = (char16_t)va_arg(argList, int);
            PutField(out, field, u"", &unit, 1);
            break;
        }
        case u's': {
            const char16_t* text = va_arg(argList, const char16_t*);
            if (text == nullptr)
                text = u"(null)";
            PutField(out, field, u"", text, Length(text));
            break;
        }
        case u'd':
        case u'i': {
            long long value = va_arg(argList, int);
            std::u16string digits = Digits(value < 0 ? 0ull - (unsigned long long)value : value, 10);
            PutField(out, field, value < 0 ? u"-" : u"", digits.c_str(), digits.size());
            break;
        }
        case u'u':
        case u'x': {
            std::u16string digits = Digits(va_arg(argList, unsigned), *p == u'u' ? 10 : 16);
            PutField(out, field, u"", digits.c_str(), digits.size());
            break;
        }
        default:
            out.Finish();
            return STRSAFE_E_INVALID_PARAMETER;
        }
    }
    return out.Finish();
}

HRESULT StringCchPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    HRESULT result = StringCchVPrintfW(pszDest, cchDest, pszFormat, args);
    va_end(args);
    return result;
}

HRESULT StringCchCopyW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc)
{
    if (pszDest == nullptr || cchDest == 0 || cchDest > STRSAFE_MAX_CCH)
        return STRSAFE_E_INVALID_PARAMETER;
    BoundedWriter out(pszDest, cchDest);
    for (; *pszSrc; pszSrc++)
        out.Put(*pszSrc);
    return out.Finish();
}

HRESULT StringCchLengthW(LPCWSTR psz, size_t cchMax, size_t* pcchLength)
{
    if (psz == nullptr || cchMax > STRSAFE_MAX_CCH)
        return STRSAFE_E_INVALID_PARAMETER;
    size_t length = 0;
    while (length < cchMax && psz[length])
        length++;
    if (length == cchMax)
        return STRSAFE_E_INVALID_PARAMETER;
    if (pcchLength)
        *pcchLength = length;
    return S_OK;
}
