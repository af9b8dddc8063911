#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks what a Linux desktop
# needs from it: both programs in bin/, the desktop entry that names the
# program and the icon, and the icon in the hicolor theme at each size.
#
#     install_test.sh CMAKE BUILD_DIR
set -euo pipefail

cmake=$1
build=$2

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# DESTDIR would put the files below another root than the prefix.
env -u DESTDIR "$cmake" --install "$build" --prefix "$prefix" >/dev/null

# --- Everything that lands in the prefix, and nothing else. ---------------

expected="bin/corvane
bin/corvane-cli
share/applications/corvane.desktop
share/icons/hicolor/16x16/apps/corvane.png
share/icons/hicolor/32x32/apps/corvane.png
share/icons/hicolor/48x48/apps/corvane.png"
installed=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
if [ "$installed" != "$expected" ]; then
    fail "installed files differ from the expected ones:"
    diff <(echo "$expected") <(echo "$installed") >&2 || true
fi

# --- The programs. ---------------------------------------------------------

for program in corvane corvane-cli; do
    path=$prefix/bin/$program
    if [ ! -f "$path" ] || [ ! -x "$path" ]; then
        fail "$path is not an executable file"
    fi
done
# The installed copy runs on its own, away from the build tree.
if version=$("$prefix/bin/corvane-cli" --version 2>&1); then
    case $version in
        "corvane-cli "[0-9]*) ;;
        *) fail "corvane-cli --version printed: $version" ;;
    esac
else
    fail "the installed corvane-cli --version failed: $version"
fi

# --- The desktop entry. ----------------------------------------------------

entry=$prefix/share/applications/corvane.desktop

# The value of key in the [Desktop Entry] group, or nothing with status 1.
entry_value() {
    awk -v key="$1" '
        /^\[/ { in_group = ($0 == "[Desktop Entry]"); next }
        in_group && index($0, key "=") == 1 { print substr($0, length(key) + 2); found = 1; exit }
        END { exit !found }' "$entry"
}

if [ -f "$entry" ]; then
    if ! iconv -f UTF-8 -t UTF-8 "$entry" >/dev/null 2>&1; then
        fail "$entry is not UTF-8"
    fi
    if [ "$(head -n 1 "$entry")" != "[Desktop Entry]" ]; then
        fail "$entry does not start with the [Desktop Entry] group"
    fi

    # key, the value it must have
    while IFS='|' read -r key want; do
        if ! got=$(entry_value "$key"); then
            fail "$key is missing from the desktop entry"
        elif [ "$got" != "$want" ]; then
            fail "$key is '$got', expected '$want'"
        fi
    done <<'EOF'
Type|Application
Name|个人磁盘备份工具
Name[zh_CN]|个人磁盘备份工具
Exec|corvane
Icon|corvane
Terminal|false
EOF

    # Categories: a list, in which Utility must be; each item ends with ';'.
    if categories=$(entry_value Categories); then
        case ";$categories" in
            *";Utility;"*) ;;
            *) fail "Categories '$categories' does not list Utility;" ;;
        esac
        case $categories in
            *";") ;;
            *) fail "Categories '$categories' does not end with ';'" ;;
        esac
    else
        fail "Categories is missing from the desktop entry"
    fi

    # What the entry names is what was installed.
    exec_program=$(entry_value Exec | cut -d' ' -f1 || true)
    [ -x "$prefix/bin/$exec_program" ] || fail "Exec names '$exec_program', which is not in bin/"
    icon=$(entry_value Icon || true)
    [ -f "$prefix/share/icons/hicolor/48x48/apps/$icon.png" ] ||
        fail "Icon names '$icon', which is not in the hicolor theme at 48x48"

    if command -v desktop-file-validate >/dev/null; then
        # Errors make it fail; warnings are reported with success, and fail
        # here too. Hints are only shown.
        if ! report=$(desktop-file-validate "$entry" 2>&1) || grep -q 'warning:' <<<"$report"; then
            fail "desktop-file-validate: $report"
        elif [ -n "$report" ]; then
            echo "$report"
        fi
    else
        echo "desktop-file-validate is not installed (Debian package desktop-file-utils); not validating the desktop entry"
    fi
else
    fail "no desktop entry at $entry"
fi

# --- The icons. ------------------------------------------------------------

# Prints "WIDTH HEIGHT" from the IHDR chunk of a PNG, after checking the
# signature and that IHDR is the first chunk with its 13 bytes.
png_size() {
    local head
    head=$(od -An -tx1 -N24 -v "$1" | tr -d ' \n')
    [ "${#head}" -eq 48 ] || return 1
    [ "${head:0:16}" = 89504e470d0a1a0a ] || return 1
    [ "${head:16:16}" = 0000000d49484452 ] || return 1
    echo "$((16#${head:32:8})) $((16#${head:40:8}))"
}

for size in 16 32 48; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/corvane.png
    if [ ! -f "$png" ]; then
        fail "no icon at $png"
    elif ! dimensions=$(png_size "$png"); then
        fail "$png does not start with a PNG signature and IHDR chunk"
    elif [ "$dimensions" != "$size $size" ]; then
        fail "$png is $dimensions pixels, expected $size $size"
    fi
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed; the install tree was:" >&2
    (cd "$prefix" && find . | LC_ALL=C sort) >&2
    exit 1
fi
echo "install layout in order"
