#include "tests/support/wide.h"

#include "platform/linux/paths.h"

namespace test {

std::u16string W(const std::string& text)
{
    return platform::TextFromNative(text);
}

std::string U8(const WCHAR* text)
{
    return platform::TextToNative(text);
}

}  // namespace test
