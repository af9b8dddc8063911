// The bounded formatter and copy into UTF-16 buffers.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "platform/winapi.h"
#include "tests/support/wide.h"

namespace {

const WCHAR kUntouched = u'#';

struct FormatCase {
    const char* what;
    size_t cch;
    std::function<HRESULT(WCHAR*, size_t)> call;
    HRESULT result;
    std::u16string text;  // what the buffer holds up to its terminator
};

const std::vector<FormatCase>& FormatCases()
{
    static const std::vector<FormatCase> cases = {
        {"plain text", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"no conversions"); },
         S_OK, u"no conversions"},
        {"utf-16 string", 32,
         [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"[%s]", u"\u62a5\u544a\U0001F600"); },
         S_OK, u"[\u62a5\u544a\U0001F600]"},
        {"null string", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%s", (const WCHAR*)NULL); },
         S_OK, u"(null)"},
        {"positive int", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%d", 1234); }, S_OK,
         u"1234"},
        {"negative int", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%d", -42); }, S_OK,
         u"-42"},
        {"INT_MIN", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%d", INT_MIN); }, S_OK,
         u"-2147483648"},
        {"%i", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%i", 0); }, S_OK, u"0"},
        {"UINT_MAX", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%u", UINT_MAX); }, S_OK,
         u"4294967295"},
        {"hex", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%x", 0xBEEFu); }, S_OK, u"beef"},
        {"char", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"<%c>", (int)u'\u00e9'); }, S_OK,
         u"<\u00e9>"},
        {"percent", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"100%%"); }, S_OK, u"100%"},
        {"width pads on the left", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"[%5d]", 42); },
         S_OK, u"[   42]"},
        {"'-' pads on the right", 32,
         [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"[%-5s]", u"ab"); }, S_OK, u"[ab   ]"},
        {"'0' pads after the sign", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%05d", -42); },
         S_OK, u"-0042"},
        {"zero-padded hex", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%08x", 0x1Fu); }, S_OK,
         u"0000001f"},
        {"width narrower than the value", 32,
         [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%2u", 12345u); }, S_OK, u"12345"},
        {"several conversions in order", 64,
         [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%s: %d of %u (%x)", u"file", -1, 7u, 255u); },
         S_OK, u"file: -1 of 7 (ff)"},
        {"exact fit", 6, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%d", 12345); }, S_OK,
         u"12345"},
        {"truncated by one", 5, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%d", 12345); },
         STRSAFE_E_INSUFFICIENT_BUFFER, u"1234"},
        {"truncated inside padding", 4, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%8s", u"x"); },
         STRSAFE_E_INSUFFICIENT_BUFFER, u"   "},
        {"room only for the terminator", 1,
         [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"abc"); }, STRSAFE_E_INSUFFICIENT_BUFFER, u""},
        {"unsupported %f", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"x%f", 1.0); },
         STRSAFE_E_INVALID_PARAMETER, u"x"},
        {"unsupported length modifier", 32,
         [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"%ld", 1L); }, STRSAFE_E_INVALID_PARAMETER, u""},
        {"format ending in %", 32, [](WCHAR* d, size_t n) { return StringCchPrintfW(d, n, u"ab%"); },
         STRSAFE_E_INVALID_PARAMETER, u"ab"},
        {"copy fits", 8, [](WCHAR* d, size_t n) { return StringCchCopyW(d, n, u"folder"); }, S_OK, u"folder"},
        {"copy truncated", 4, [](WCHAR* d, size_t n) { return StringCchCopyW(d, n, u"folder"); },
         STRSAFE_E_INSUFFICIENT_BUFFER, u"fol"},
        {"copy of empty text", 1, [](WCHAR* d, size_t n) { return StringCchCopyW(d, n, u""); }, S_OK, u""},
    };
    return cases;
}

TEST(StringCchPrintfW, FormatsCopiesAndTruncatesWithinTheBuffer)
{
    for (const FormatCase& c : FormatCases()) {
        SCOPED_TRACE(c.what);
        // One unit beyond cch shows that nothing is written past the buffer.
        std::vector<WCHAR> buffer(c.cch + 1, kUntouched);
        EXPECT_EQ(c.call(buffer.data(), c.cch), c.result);
        std::u16string written(buffer.data());
        EXPECT_EQ(written, c.text) << test::U8(written.c_str());
        EXPECT_EQ(buffer[c.cch], kUntouched);
    }
}

TEST(StringCchPrintfW, RefusesAnUnusableDestination)
{
    WCHAR buffer[4];
    EXPECT_EQ(StringCchPrintfW(buffer, 0, u"x"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchPrintfW(NULL, 4, u"x"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchCopyW(buffer, 0, u"x"), STRSAFE_E_INVALID_PARAMETER);
}

struct LengthCase {
    const char* what;
    std::u16string units;  // may lack a terminator within cchMax
    size_t cchMax;
    HRESULT result;
    size_t length;
};

TEST(StringCchLengthW, FindsTheTerminatorOnlyWithinCchMax)
{
    const LengthCase cases[] = {
        {"terminator well inside", std::u16string(u"abc\0zzz", 7), 7, S_OK, 3},
        {"terminator at the last allowed unit", std::u16string(u"abc\0", 4), 4, S_OK, 3},
        {"no terminator within cchMax", std::u16string(u"abcd\0", 5), 4, STRSAFE_E_INVALID_PARAMETER, 0},
        {"empty text", std::u16string(u"\0", 1), 1, S_OK, 0},
        {"cchMax of zero", std::u16string(u"\0", 1), 0, STRSAFE_E_INVALID_PARAMETER, 0},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(c.what);
        size_t length = 999;
        EXPECT_EQ(StringCchLengthW(c.units.data(), c.cchMax, &length), c.result);
        if (c.result == S_OK) {
            EXPECT_EQ(length, c.length);
        }
    }
}

}  // namespace
