#!/usr/bin/env bash
# corvane.exe under Wine, on a desktop with a window manager (run it through
# tests/e2e/on_virtual_desktop.sh): the window appears with its title; Start
# with both fields empty shows "请输入源路径!" in a box captioned with the
# program's name; Enter and Escape do nothing; closing the idle window ends
# the program.
#   wine_smoke.sh PATH/TO/corvane.exe
set -euo pipefail
exe=$(realpath "$1")
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix" WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all,+msgbox
title="个人磁盘备份工具"
caption=$(basename "$exe" .exe)  # message boxes carry the program's name
# Wine's trace of a message box's text: 请输入源路径!
asked_for_source='L"\8bf7\8f93\5165\6e90\8def\5f84!"'

fail() {
    echo "wine smoke test: $*" >&2
    exit 1
}
boxes_shown() {
    grep -cF "MSGBOX_OnInit $asked_for_source" "$work/wine.log" || true
}

wineboot --init >/dev/null 2>&1 || true
wine "$exe" >"$work/wine.log" 2>&1 &
program=$!

window=$(timeout 120 xdotool search --sync --onlyvisible --name "^$title\$" | head -1) ||
    fail "no window titled $title appeared"
xdotool windowactivate --sync "$window"

# The source field has the focus; Start is the fourth tab stop after it.
xdotool key Tab Tab Tab Tab space
box=$(timeout 30 xdotool search --sync --onlyvisible --name "^$caption\$" | head -1) ||
    fail "Start with empty fields showed no box captioned $caption"
[ "$(boxes_shown)" -ge 1 ] || fail "the box does not say 请输入源路径!"
xdotool windowactivate --sync "$box" key Return
sleep 1
xdotool search --onlyvisible --name "^$caption\$" >/dev/null && fail "OK did not close the box"

xdotool windowactivate --sync "$window" key Return
sleep 0.5
xdotool windowactivate --sync "$window" key Escape
sleep 1
xdotool search --onlyvisible --name "^$title\$" >/dev/null || fail "Enter or Escape closed the window"
xdotool search --onlyvisible --name "^$caption\$" >/dev/null && fail "Enter or Escape showed a box"

xdotool windowactivate --sync "$window" key alt+F4
for _ in $(seq 100); do
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$program" 2>/dev/null && fail "closing the idle window did not end the program"
wait "$program" || fail "the program ended with status $?"
echo "wine smoke test: passed ($exe)"
