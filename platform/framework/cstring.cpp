#include "platform/framework/cstring.h"

#include <algorithm>

namespace {

// Formats that do not fit here double the room until they do.
const size_t kFirstFormatRoom = 256;
const size_t kMostFormatRoom = STRSAFE_MAX_CCH / 2;

size_t LengthOf(LPCWSTR psz)
{
    return psz ? std::char_traits<WCHAR>::length(psz) : 0;
}

}  // namespace

CString::CString(LPCWSTR psz)
{
    *this = psz;
}

CString::CString(LPCWSTR pch, int nLength) : m_text(pch, size_t(nLength > 0 ? nLength : 0))
{
}

CString& CString::operator=(LPCWSTR psz)
{
    if (psz)
        m_text.assign(psz, LengthOf(psz));
    else
        m_text.clear();
    return *this;
}

CString& CString::operator+=(LPCWSTR psz)
{
    if (psz)
        m_text.append(psz, LengthOf(psz));
    return *this;
}

LPWSTR CString::GetBuffer(int nMinBufferLength)
{
    m_text.resize(std::max(m_text.size(), size_t(std::max(nMinBufferLength, 0))));
    return &m_text[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    size_t length = nNewLength < 0 ? LengthOf(m_text.c_str()) : size_t(nNewLength);
    m_text.resize(std::min(length, m_text.size()));
}

void CString::Format(LPCWSTR pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

void CString::FormatV(LPCWSTR pszFormat, va_list args)
{
    for (size_t room = kFirstFormatRoom;; room *= 2) {
        std::basic_string<WCHAR> formatted(room, WCHAR(0));
        va_list attempt;
        va_copy(attempt, args);
        HRESULT result = StringCchVPrintfW(&formatted[0], room, pszFormat, attempt);
        va_end(attempt);
        if (SUCCEEDED(result)) {
            formatted.resize(LengthOf(formatted.c_str()));
            m_text.swap(formatted);
            return;
        }
        if (result != STRSAFE_E_INSUFFICIENT_BUFFER || room >= kMostFormatRoom) {
            m_text.clear();  // a format the formatter refuses gives no text
            return;
        }
    }
}

BOOL CString::LoadString(UINT nID)
{
    const WCHAR* text = nullptr;
    int length = ::LoadStringW(::GetModuleHandleW(nullptr), nID, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) {
        m_text.clear();
        return FALSE;
    }
    m_text.assign(text, size_t(length));
    return TRUE;
}
