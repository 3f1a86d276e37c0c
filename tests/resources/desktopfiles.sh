#!/usr/bin/env bash
# desktopfiles.sh DIR: validates DIR's .desktop and metainfo files of both editions; any
# finding fails, hints too.
set -euo pipefail
dir=$1

for entry in com.quillmark.Folioset:folioset2 com.quillmark.FoliosetClassic:folioset1; do
    id=${entry%%:*}
    program=${entry#*:}

    # desktop-file-validate exits 0 on warnings and hints: what it prints is what counts.
    findings=$(desktop-file-validate "$dir/$id.desktop" 2>&1) || true
    if [ -n "$findings" ]; then
        echo "$findings"
        exit 1
    fi

    # --strict fails on anything above pedantic. The one pedantic hint is kept on purpose: the
    # component id has capitals because it is the desktop file's and the icon's name.
    appstreamcli validate --no-net --pedantic --strict "$dir/$id.metainfo.xml"

    # The three must name each other alike, or software centres show the entry without its
    # icon; and each entry starts its own edition.
    test -s "$dir/$id.svg"
    grep -qx "Icon=$id" "$dir/$id.desktop"
    grep -q "^Exec=$program " "$dir/$id.desktop"
    grep -qx "StartupWMClass=$program" "$dir/$id.desktop"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$dir/$id.metainfo.xml"
    grep -q "<id>$id</id>" "$dir/$id.metainfo.xml"
    grep -q "<binary>$program</binary>" "$dir/$id.metainfo.xml"
done
echo "desktop entries and metainfo valid"
