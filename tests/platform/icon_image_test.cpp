// Decoding icon images of every depth the program's icons may come in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/linux/icon_image.h"

namespace {

// An icon image to encode as an RT_ICON resource holds it. Rows and mask
// are given top to bottom, as the decoder gives them back.
struct Bitmap {
    int width;
    int height;
    WORD bitCount;
    std::vector<uint32_t> palette;            // 0xRRGGBB
    std::vector<std::vector<uint32_t>> rows;  // palette indices, or 0xAARRGGBB at 24 and 32 bits
    std::vector<std::string> mask;            // '1': transparent
    DWORD compression = 0;
    LONG storedHeight = 0;                    // 0: twice the height, as it must be
};

void Put(std::string* out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out->push_back((char)(value >> (8 * i)));
}

void PadRow(std::string* out, size_t rowStart)
{
    while ((out->size() - rowStart) % 4 != 0)
        out->push_back(0);
}

// Packs values of bits (1, 4 or 8) each into a row, most significant first.
void PutPackedRow(std::string* out, const std::vector<uint32_t>& values, int bits)
{
    size_t start = out->size();
    std::string row((values.size() * bits + 7) / 8, '\0');
    for (size_t x = 0; x < values.size(); ++x)
        row[x * bits / 8] = (char)(row[x * bits / 8] | values[x] << (8 - bits - x * bits % 8));
    *out += row;
    PadRow(out, start);
}

std::string Encode(const Bitmap& bitmap)
{
    std::string out;
    Put(&out, 40, 4);
    Put(&out, bitmap.width, 4);
    Put(&out, bitmap.storedHeight != 0 ? bitmap.storedHeight : bitmap.height * 2, 4);
    Put(&out, 1, 2);
    Put(&out, bitmap.bitCount, 2);
    Put(&out, bitmap.compression, 4);
    for (int unused = 0; unused < 3; ++unused)  // image size, resolution
        Put(&out, 0, 4);
    Put(&out, (uint32_t)bitmap.palette.size(), 4);
    Put(&out, 0, 4);
    for (uint32_t colour : bitmap.palette)
        Put(&out, colour, 4);
    for (auto row = bitmap.rows.rbegin(); row != bitmap.rows.rend(); ++row) {
        if (bitmap.bitCount <= 8) {
            PutPackedRow(&out, *row, bitmap.bitCount);
            continue;
        }
        size_t start = out.size();
        for (uint32_t pixel : *row)
            Put(&out, pixel, bitmap.bitCount / 8);
        PadRow(&out, start);
    }
    for (auto row = bitmap.mask.rbegin(); row != bitmap.mask.rend(); ++row) {
        std::vector<uint32_t> bits;
        for (char c : *row)
            bits.push_back(c == '1');
        PutPackedRow(&out, bits, 1);
    }
    return out;
}

DWORD Decode(const std::string& bytes, platform::IconImage* image)
{
    std::vector<BYTE> exact(bytes.begin(), bytes.end());  // a read past the end is a sanitizer error
    return platform::DecodeIconImage(exact.data(), exact.size(), image);
}

const uint32_t kClear = 0;

TEST(IconImage, DecodesEveryDepthTopToBottom)
{
    struct Case {
        const char* what;
        Bitmap bitmap;
        std::vector<uint32_t> argb;
    };
    std::vector<uint32_t> grey16;
    for (uint32_t i = 0; i < 16; ++i)
        grey16.push_back(i * 0x111111);
    const Case cases[] = {
        {"32 bits with alpha, which outweighs the mask",
         {2, 2, 32, {}, {{0x80FF0000, 0xFF00FF00}, {0x00000000, 0x7F0000FF}}, {"11", "11"}},
         {0x80FF0000, 0xFF00FF00, 0x00000000, 0x7F0000FF}},
        {"32 bits whose alpha is all zero, as in old icons: the mask decides",
         {2, 2, 32, {}, {{0x112233, 0x445566}, {0x778899, 0xAABBCC}}, {"01", "10"}},
         {0xFF112233, kClear, kClear, 0xFFAABBCC}},
        {"24 bits, rows padded to four bytes",
         {3, 2, 24, {}, {{0x112233, 0x445566, 0x778899}, {0xAABBCC, 0xDDEEFF, 0x010203}}, {"010", "000"}},
         {0xFF112233, kClear, 0xFF778899, 0xFFAABBCC, 0xFFDDEEFF, 0xFF010203}},
        {"8 bits with a colour table",
         {3, 2, 8, {0x000000, 0xFF0000, 0x00FF00}, {{1, 2, 0}, {2, 1, 1}}, {"000", "001"}},
         {0xFFFF0000, 0xFF00FF00, 0xFF000000, 0xFF00FF00, 0xFFFF0000, kClear}},
        {"4 bits, two pixels a byte",
         {3, 1, 4, grey16, {{15, 1, 8}}, {"000"}},
         {0xFFFFFFFF, 0xFF111111, 0xFF888888}},
        {"1 bit, across a byte",
         {9, 1, 1, {0x000000, 0xFFFFFF}, {{1, 0, 0, 0, 0, 0, 0, 0, 1}}, {"000000010"}},
         {0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000, kClear, 0xFFFFFFFF}},
    };
    for (const Case& c : cases) {
        platform::IconImage image;
        ASSERT_EQ(Decode(Encode(c.bitmap), &image), (DWORD)NO_ERROR) << c.what;
        EXPECT_EQ(image.width, c.bitmap.width) << c.what;
        EXPECT_EQ(image.height, c.bitmap.height) << c.what;
        EXPECT_EQ(image.argb, c.argb) << c.what;
    }
}

TEST(IconImage, RefusesWhatItCannotShow)
{
    const Bitmap plain = {2, 1, 24, {}, {{0x111111, 0x222222}}, {"00"}};
    struct Case {
        const char* what;
        std::string bytes;
        DWORD error;
    };
    auto with = [&](auto change) {
        Bitmap bitmap = plain;
        change(bitmap);
        return Encode(bitmap);
    };
    const Case cases[] = {
        {"PNG-compressed", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(64, '\0'), ERROR_NOT_SUPPORTED},
        {"bit fields", with([](Bitmap& b) { b.compression = 3; }), ERROR_NOT_SUPPORTED},
        {"16 bits", with([](Bitmap& b) { b.bitCount = 16; }), ERROR_NOT_SUPPORTED},
        {"no mask rows in the height", with([](Bitmap& b) { b.storedHeight = 1; }), ERROR_INVALID_DATA},
        {"no width", with([](Bitmap& b) { b.width = 0; }), ERROR_INVALID_DATA},
        {"wider than an icon can be", with([](Bitmap& b) { b.width = 257; }), ERROR_INVALID_DATA},
        {"upside down (negative height)", with([](Bitmap& b) { b.storedHeight = -2; }), ERROR_INVALID_DATA},
    };
    for (const Case& c : cases) {
        platform::IconImage image;
        EXPECT_EQ(Decode(c.bytes, &image), c.error) << c.what;
    }
}

TEST(IconImage, CutShortAtAnyLengthIsRefused)
{
    const Bitmap bitmaps[] = {
        {3, 2, 24, {}, {{1, 2, 3}, {4, 5, 6}}, {"000", "000"}},
        {3, 2, 8, {0x000000, 0xFFFFFF}, {{0, 1, 0}, {1, 0, 1}}, {"000", "000"}},
    };
    for (const Bitmap& bitmap : bitmaps) {
        const std::string whole = Encode(bitmap);
        for (size_t length = 0; length < whole.size(); ++length) {
            platform::IconImage image;
            EXPECT_EQ(Decode(whole.substr(0, length), &image), (DWORD)ERROR_INVALID_DATA)
                << bitmap.bitCount << " bits cut at " << length;
        }
    }
}

}  // namespace
