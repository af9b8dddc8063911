// The framework's UTF-16 string: a growable text with printf-style
// formatting through the program's one formatter.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/winapi.h"

class CString {
public:
    CString() = default;
    CString(LPCWSTR psz);  // implicit, like the framework's own
    // The first nLength units of pch.
    CString(LPCWSTR pch, int nLength);

    int GetLength() const { return int(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    LPCWSTR GetString() const { return reinterpret_cast<LPCWSTR>(m_text.c_str()); }
    operator LPCWSTR() const { return GetString(); }
    WCHAR GetAt(int index) const { return WCHAR(m_text.at(size_t(index))); }

    CString& operator=(LPCWSTR psz);
    CString& operator+=(LPCWSTR psz);
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator!=(const CString& a, const CString& b) { return a.m_text != b.m_text; }

    // Room for nMinBufferLength units and a terminator, to be written
    // directly; ReleaseBuffer then takes the text up to its terminator
    // (nNewLength -1) or of nNewLength units.
    LPWSTR GetBuffer(int nMinBufferLength);
    void ReleaseBuffer(int nNewLength = -1);

    // Replaces the text with the formatted one, of whatever length.
    void Format(LPCWSTR pszFormat, ...);
    void FormatV(LPCWSTR pszFormat, va_list args);

    // Replaces the text with string nID of the program's string table.
    // FALSE, leaving the text empty, when there is none.
    BOOL LoadString(UINT nID);

private:
    std::basic_string<WCHAR> m_text;
};
