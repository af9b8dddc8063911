// Decoding one icon image as an RT_ICON resource or an .ico file holds it:
// a BITMAPINFOHEADER of twice the icon's height, the colour table of the
// palette depths, the colour pixels, then the 1-bit transparency mask, both
// bottom-up with rows padded to four bytes.
#pragma once

#include "platform/linux/resources.h"

namespace platform {

// Decodes the size bytes at data into *image. Takes 32 bits per pixel with
// alpha (falling back to the mask when every alpha is zero), 24 bits, and
// 1, 4 or 8 bits with a colour table. Returns NO_ERROR, ERROR_NOT_SUPPORTED
// for PNG-compressed images and other encodings, or ERROR_INVALID_DATA for
// bytes that are not an icon image; never reads past size.
DWORD DecodeIconImage(const BYTE* data, size_t size, IconImage* image);

}  // namespace platform
