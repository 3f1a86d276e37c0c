#!/usr/bin/env bash
# Sets everything up on a Debian machine, builds, and starts folioset2 (or the edition named by
# EDITION, for example EDITION=folioset1).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
edition="${EDITION:-folioset2}"
case "$edition" in
folioset1 | folioset2) ;;
*)
    echo "EDITION must be folioset1 or folioset2, not $edition" >&2
    exit 2
    ;;
esac
app="${BUILD_DIR:-$root/build}/app/$edition"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: starting $edition under a virtual display (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$app" "$@"
fi
exec "$app" "$@"
