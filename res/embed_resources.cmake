# Writes OUTPUT, a C++ source holding the bytes of INPUT, a compiled
# resource file, that hands them to the platform layer during static
# initialisation. Run as: cmake -DINPUT=... -DOUTPUT=... -P embed_resources.cmake
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){16})" "\\1\n    " bytes "${bytes}")

file(WRITE "${OUTPUT}.new"
"// Generated from the compiled resource script by res/embed_resources.cmake.
#include \"platform/linux/resources.h\"

namespace {

const BYTE kProgramResources[] = {
    ${bytes}
};

struct Registration {
    Registration() { platform::SetProgramResources(kProgramResources, sizeof(kProgramResources)); }
} registration;

}  // namespace
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
