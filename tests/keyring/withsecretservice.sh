#!/bin/sh
# withsecretservice.sh private|none TEST [ARGS...]
#
# Runs TEST in a home of its own with FOLIOSET_SECRET_SERVICE set to the mode:
#   private  inside a D-Bus session of its own (dbus-run-session) whose Secret Service is a
#            gnome-keyring-daemon unlocked for it: no user's keyring is ever read or written;
#   none     with a session bus address that leads nowhere: no Secret Service answers.
# No display is passed on, so an unlock prompt can never be answered: it is declined at once.
# Exits with 77 (skipped) and says why where the private Secret Service cannot start.
set -u
mode="$1"
shift

skip() {
    echo "SKIP: $*: the tests with a real Secret Service did not run"
    exit 77
}

home="$(mktemp -d "${TMPDIR:-/tmp}/folioset-secrets.XXXXXX")" || exit 1
trap 'rm -rf "$home"' EXIT INT TERM
export HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
export XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY
export FOLIOSET_SECRET_SERVICE="$mode"

case "$mode" in
none)
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus"
    "$@"
    ;;
private)
    for tool in dbus-run-session dbus-daemon dbus-send gnome-keyring-daemon secret-tool; do
        command -v "$tool" >/dev/null 2>&1 ||
            skip "$tool is missing (Debian packages dbus, gnome-keyring, libsecret-tools)"
    done
    # The login keyring is made with this password and left unlocked; the daemon ends with the
    # session's bus.
    dbus-run-session -- sh -c '
        printf %s folioset-test | gnome-keyring-daemon --unlock --components=secrets >/dev/null ||
            { echo "SKIP: gnome-keyring-daemon did not start"; exit 77; }
        # It forks before it takes its bus name; asking before then would start a second one.
        tries=0
        until dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
                org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
                grep -q "boolean true"; do
            tries=$((tries + 1))
            [ "$tries" -lt 100 ] || { echo "SKIP: no Secret Service on the private bus"; exit 77; }
            sleep 0.05
        done
        exec "$@"' sh "$@"
    ;;
*)
    echo "usage: $0 private|none TEST [ARGS...]" >&2
    exit 2
    ;;
esac
