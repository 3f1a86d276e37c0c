#!/usr/bin/env bash
# Sets everything up on a Debian machine, builds, and starts folioset2.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
app="${BUILD_DIR:-$root/build}/app/folioset2"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting folioset2 under a virtual display (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$app" "$@"
fi
exec "$app" "$@"
