#!/usr/bin/env bash
# Runs a command on a desktop of its own: a virtual X server with a window
# manager, so windows get title bars and Alt+F4 closes them.
#   on_virtual_desktop.sh COMMAND [ARGUMENTS...]
set -euo pipefail
# No session bus here: settings stay in memory, and no accessibility bridge.
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
inner=$(cat <<'SCRIPT'
openbox >/dev/null 2>&1 &
wm=$!
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done
status=0
"$@" || status=$?
kill "$wm" 2>/dev/null || true
exit "$status"
SCRIPT
)
exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c "$inner" on_virtual_desktop "$@"
