#include "platform/linux/icon_image.h"

#include <algorithm>
#include <cstring>

#include "platform/linux/byte_reader.h"

namespace platform {
namespace {

const LONG kMaxIconSide = 256;
const DWORD kUncompressed = 0;  // BI_RGB
const BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct BitmapHeader {
    DWORD size = 0;
    LONG width = 0, height = 0;  // height counts the colour rows and the mask rows
    WORD planes = 0, bitCount = 0;
    DWORD compression = 0, colorsUsed = 0;
};

bool ReadHeader(ByteReader& reader, BitmapHeader* header)
{
    DWORD imageSize, colorsImportant;
    LONG xPixelsPerMeter, yPixelsPerMeter;
    return reader.Read(&header->size) && reader.Read(&header->width) && reader.Read(&header->height) &&
           reader.Read(&header->planes) && reader.Read(&header->bitCount) && reader.Read(&header->compression) &&
           reader.Read(&imageSize) && reader.Read(&xPixelsPerMeter) && reader.Read(&yPixelsPerMeter) &&
           reader.Read(&header->colorsUsed) && reader.Read(&colorsImportant) && header->size >= 40 &&
           reader.Skip(header->size - 40);
}

bool IsSupportedDepth(WORD bitCount)
{
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24 || bitCount == 32;
}

size_t RowStride(LONG width, WORD bitCount)
{
    return ((size_t)width * bitCount + 31) / 32 * 4;
}

// Where the parts of the image lie, once the header has been checked.
struct Layout {
    int width = 0, height = 0;
    WORD bitCount = 0;
    const BYTE* palette = nullptr;  // BGRX entries
    DWORD paletteCount = 0;
    const BYTE* pixels = nullptr;
    const BYTE* mask = nullptr;
};

DWORD ReadLayout(const BYTE* data, size_t size, Layout* layout)
{
    ByteReader reader(data, size);
    BitmapHeader header;
    if (!ReadHeader(reader, &header))
        return ERROR_INVALID_DATA;
    if (header.compression != kUncompressed || !IsSupportedDepth(header.bitCount))
        return ERROR_NOT_SUPPORTED;
    if (header.planes != 1 || header.width <= 0 || header.width > kMaxIconSide || header.height <= 0 ||
        header.height % 2 != 0 || header.height / 2 > kMaxIconSide)
        return ERROR_INVALID_DATA;
    layout->width = header.width;
    layout->height = header.height / 2;
    layout->bitCount = header.bitCount;

    if (header.bitCount <= 8) {
        layout->paletteCount = header.colorsUsed != 0 ? header.colorsUsed : 1u << header.bitCount;
        if (layout->paletteCount > 256)
            return ERROR_INVALID_DATA;
        layout->palette = data + reader.Position();
        if (!reader.Skip(layout->paletteCount * 4))
            return ERROR_INVALID_DATA;
    }
    layout->pixels = data + reader.Position();
    if (!reader.Skip(RowStride(layout->width, layout->bitCount) * layout->height))
        return ERROR_INVALID_DATA;
    layout->mask = data + reader.Position();
    if (!reader.Skip(RowStride(layout->width, 1) * layout->height))
        return ERROR_INVALID_DATA;
    return NO_ERROR;
}

uint32_t Argb(BYTE alpha, BYTE red, BYTE green, BYTE blue)
{
    return (uint32_t)alpha << 24 | (uint32_t)red << 16 | (uint32_t)green << 8 | blue;
}

// The index of a pixel in a row of 1, 4 or 8 bits per pixel, most
// significant bits first.
unsigned PaletteIndex(const BYTE* row, int x, WORD bitCount)
{
    size_t bit = (size_t)x * bitCount;
    unsigned shift = 8 - bitCount - bit % 8;
    return (row[bit / 8] >> shift) & ((1u << bitCount) - 1);
}

// The colour of pixel x of a colour row, opaque.
uint32_t ColourAt(const Layout& layout, const BYTE* row, int x)
{
    if (layout.bitCount >= 24) {
        const BYTE* bgr = row + (size_t)x * (layout.bitCount / 8);
        BYTE alpha = layout.bitCount == 32 ? bgr[3] : 0xFF;
        return Argb(alpha, bgr[2], bgr[1], bgr[0]);
    }
    unsigned index = PaletteIndex(row, x, layout.bitCount);
    if (index >= layout.paletteCount)
        return Argb(0xFF, 0, 0, 0);
    const BYTE* bgr = layout.palette + index * 4;
    return Argb(0xFF, bgr[2], bgr[1], bgr[0]);
}

bool MaskedOut(const Layout& layout, int x, int rowFromBottom)
{
    const BYTE* row = layout.mask + RowStride(layout.width, 1) * rowFromBottom;
    return PaletteIndex(row, x, 1) != 0;
}

}  // namespace

DWORD DecodeIconImage(const BYTE* data, size_t size, IconImage* image)
{
    if (size >= sizeof(kPngSignature) && memcmp(data, kPngSignature, sizeof(kPngSignature)) == 0)
        return ERROR_NOT_SUPPORTED;
    Layout layout;
    DWORD error = ReadLayout(data, size, &layout);
    if (error != NO_ERROR)
        return error;

    image->width = layout.width;
    image->height = layout.height;
    image->argb.assign((size_t)layout.width * layout.height, 0);
    const size_t stride = RowStride(layout.width, layout.bitCount);
    for (int y = 0; y < layout.height; ++y) {
        const int fromBottom = layout.height - 1 - y;
        const BYTE* row = layout.pixels + stride * fromBottom;
        for (int x = 0; x < layout.width; ++x)
            image->argb[(size_t)y * layout.width + x] = ColourAt(layout, row, x);
    }

    // Without an alpha channel of its own (or with one that is all zero, as
    // old 32-bit icons have), the mask says which pixels are transparent.
    bool hasAlpha = layout.bitCount == 32 &&
                    std::any_of(image->argb.begin(), image->argb.end(), [](uint32_t p) { return (p >> 24) != 0; });
    if (!hasAlpha) {
        for (int y = 0; y < layout.height; ++y) {
            for (int x = 0; x < layout.width; ++x) {
                uint32_t& pixel = image->argb[(size_t)y * layout.width + x];
                pixel = MaskedOut(layout, x, layout.height - 1 - y) ? 0 : (pixel | 0xFF000000u);
            }
        }
    }
    return NO_ERROR;
}

}  // namespace platform
