# Installs the Debian packages named in the arguments that are missing.
# Sourced by the other scripts.
ensure_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}

# The resource script is compiled with the Windows toolchain's windres,
# which preprocesses it with the mingw C compiler and its Windows headers.
# The window is drawn with GTK 3; its Chinese texts need a CJK font.
BUILD_PACKAGES=(cmake g++ make pkg-config libgtest-dev libgmock-dev
                binutils-mingw-w64-i686 gcc-mingw-w64-i686 mingw-w64-i686-dev
                libgtk-3-dev fonts-noto-cjk)

# The tests also drive the real window on a virtual X server, with a window
# manager for its title bar, check the desktop entry, and run the Windows
# program, built for x86_64, under Wine.
TEST_PACKAGES=(xvfb xauth x11-utils xdotool openbox desktop-file-utils
               g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine64 file)
