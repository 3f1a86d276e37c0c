#!/usr/bin/env bash
# install.sh CMAKE BUILD VERSION: installs BUILD into a scratch prefix and checks what arrived.
set -euo pipefail
cmake=$1
build=$2
version=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >/dev/null

failed=0
expect() { # expect TEST PATH
    if ! test "$1" "$prefix/$2"; then
        echo "not installed as expected ($1): $2"
        failed=1
    fi
}
for program in folioset2 folioset1 folioset-cli; do
    expect -x "bin/$program"
done
for id in com.quillmark.Folioset com.quillmark.FoliosetClassic; do
    expect -s "share/applications/$id.desktop"
    expect -s "share/metainfo/$id.metainfo.xml"
    expect -s "share/icons/hicolor/scalable/apps/$id.svg"
done
for manual in MACFolioset2 MACFolioset1; do
    expect -s "share/doc/folioset/$manual.pdf"
    if [ "$(head -c 5 "$prefix/share/doc/folioset/$manual.pdf" 2>/dev/null)" != "%PDF-" ]; then
        echo "not a PDF: share/doc/folioset/$manual.pdf"
        failed=1
    fi
done
[ "$failed" -eq 0 ] || exit 1

# Each menu entry starts a program that was installed.
for entry in "$prefix"/share/applications/*.desktop; do
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    expect -x "bin/$exec_name"
done
[ "$failed" -eq 0 ] || exit 1

# The installed programs run from where they were put, without the build tree.
"$prefix/bin/folioset-cli" --version | grep -qx "folioset-cli $version"

# The installed tree as a software centre reads it: metainfo, desktop entry and icon together.
appstreamcli validate-tree --no-net "$prefix"
echo "installed tree complete"
