// UTF-8 test text to and from the program's UTF-16, through the platform's
// own conversion.
#pragma once

#include <string>

#include "platform/api/types.h"

namespace test {

std::u16string W(const std::string& text);
std::string U8(const WCHAR* text);

}  // namespace test
