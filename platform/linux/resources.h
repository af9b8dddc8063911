// The program's resources on Linux: the image of the compiled resource
// script, which the build links into the program, and the icons decoded
// from it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/api/resource.h"

namespace platform {

// Makes the size bytes at data, the image of a compiled resource file, the
// program's resources in place of any before; the bytes are copied. An
// image that is not well formed leaves the program with no resources at
// all rather than some of them. Called at start-up, before any thread
// looks a resource up.
void SetProgramResources(const BYTE* data, size_t size);

// What an icon handle shows.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;  // 0xAARRGGBB, straight alpha, rows top to bottom
};

// The image of an icon that LoadIconW returned, or null for any other
// handle. Icons live as long as the program.
const IconImage* IconImageOf(HICON icon);

}  // namespace platform
