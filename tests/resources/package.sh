#!/usr/bin/env bash
# package.sh CPACK BUILD VERSION: makes the Debian package of BUILD with cpack, unpacks it into a
# scratch root and checks it as a user would get it: every file in its place and nothing else,
# the control fields, the programs running from there, the manual pages and the completion.
# Exits 77 (skipped) where Debian's package tools are missing.
set -euo pipefail
cpack=$1
build=$2
version=$3

for tool in dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev; do
    if ! command -v "${tool%%:*}" >/dev/null; then
        echo "skipped: ${tool%%:*} is missing (Debian package ${tool#*:}), so no package is made"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
fail() {
    echo "$*"
    failed=1
}

# Into a folder of its own, so that the build tree is only read.
if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    exit 1
fi
deb=$work/out/folioset_${version}_$(dpkg --print-architecture).deb
if [ ! -s "$deb" ]; then
    echo "no package $(basename "$deb"); cpack made:"
    ls -R "$work/out"
    exit 1
fi

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = folioset ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Section)" = graphics ] || fail "Section: $(field Section)"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer: $(field Maintainer)"
description=$(field Description)
[ "$(printf '%s\n' "$description" | wc -l)" -gt 3 ] || fail "no long description: $description"
# The libraries the binaries link, found by dpkg-shlibdeps, and the Qt plugins they load.
depends=$(field Depends)
for package in libqt6core6 libqt6widgets6 libqpdf qt6-qpa-plugins qt6-image-formats-plugins; do
    [[ "$depends" == *"$package"* ]] || fail "Depends names no $package: $depends"
done

# Every file that belongs in the package, and nothing else (no tests, tools or libraries).
expected=(
    usr/bin/folioset2 usr/bin/folioset1 usr/bin/folioset-cli
    usr/share/applications/com.quillmark.Folioset.desktop
    usr/share/applications/com.quillmark.FoliosetClassic.desktop
    usr/share/metainfo/com.quillmark.Folioset.metainfo.xml
    usr/share/metainfo/com.quillmark.FoliosetClassic.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/com.quillmark.Folioset.svg
    usr/share/icons/hicolor/scalable/apps/com.quillmark.FoliosetClassic.svg
    usr/share/doc/folioset/MACFolioset2.pdf usr/share/doc/folioset/MACFolioset1.pdf
    usr/share/doc/folioset/changelog.gz usr/share/doc/folioset/copyright
    usr/share/man/man1/folioset2.1.gz usr/share/man/man1/folioset1.1.gz
    usr/share/man/man1/folioset-cli.1.gz
    usr/share/bash-completion/completions/folioset-cli
)
root=$work/root
dpkg-deb -x "$deb" "$root"
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$root" && find . -type f -printf '%P\n' | sort) ||
    fail "the package holds other files than these (< missing, > not expected)"
for file in "${expected[@]}"; do
    [ -s "$root/$file" ] || fail "empty: $file"
done
for program in folioset2 folioset1 folioset-cli; do
    [ -x "$root/usr/bin/$program" ] || fail "not executable: usr/bin/$program"
done
for entry in "$root"/usr/share/applications/*.desktop; do
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    [ -x "$root/usr/bin/$exec_name" ] || fail "$(basename "$entry") starts $exec_name, not in the package"
done
zcat "$root/usr/share/doc/folioset/changelog.gz" | head -n 1 | grep -q "^folioset ($version) " ||
    fail "the changelog does not start with $version"
[ "$failed" -eq 0 ] || exit 1

# The programs run from where the package puts them, with the libraries of the system.
cli=$root/usr/bin/folioset-cli
[ "$("$cli" --version)" = "folioset-cli $version" ] || fail "--version says: $("$cli" --version)"
# A 2 x 2 BMP at 72 dpi (2835 dots per metre), 24 bits, rows padded to 4 bytes.
printf 'BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0\0\0\0\0\x10\0\0\0\x13\x0b\0\0\x13\x0b\0\0\0\0\0\0\0\0\0\0' >"$work/dot.bmp"
printf '\x00\x00\xff\xff\xff\xff\0\0\xff\x00\x00\x00\xff\x00\0\0' >>"$work/dot.bmp"
if ! HOME=$work/home "$cli" -q -o "$work/pdf" --log-dir "$work/logs" "$work/dot.bmp"; then
    fail "the packaged folioset-cli could not convert one BMP"
elif [ "$(head -c 5 "$work/pdf/dot.pdf")" != "%PDF-" ]; then
    fail "the packaged folioset-cli wrote no PDF"
elif command -v qpdf >/dev/null && [ "$(qpdf --show-npages "$work/pdf/dot.pdf")" != 1 ]; then
    fail "the PDF of one image does not have one page"
fi

# The manual pages as man shows them, with its warnings on, as lintian reads them.
if command -v man >/dev/null; then
    for page in "$root"/usr/share/man/man1/*.1.gz; do
        warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
            "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
    done
    shown=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$root/usr/share/man/man1/folioset-cli.1.gz" 2>/dev/null)
    for text in "--output DIR" "--key-bits 40|128|256" "EXIT STATUS" "EXAMPLES" "FILES"; do
        [[ "$shown" == *"$text"* ]] || fail "man folioset-cli does not show \"$text\""
    done
else
    echo "note: man is missing; the manual pages were not rendered"
fi

# The completion as bash-completion loads it: COMP_WORDS holds the words, COMP_CWORD the one
# being completed.
complete_words() { # complete_words WORD... : what completing the last word offers
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _folioset_cli
             printf "%s\n" "${COMPREPLY[@]}"' bash \
        "$root/usr/share/bash-completion/completions/folioset-cli" folioset-cli "$@"
}
[ "$(complete_words --key-bits '' | tr '\n' ' ')" = "40 128 256 " ] || fail "completing --key-bits"
[ "$(complete_words --mo | tr '\n' ' ')" = "--mode " ] || fail "completing --mo"
[ "$(complete_words --vers | tr '\n' ' ')" = "--version " ] || fail "completing --vers"

# Debian's own check of the package: an error fails, warnings and notes are shown.
if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" || fail "lintian found errors"
else
    echo "note: lintian is missing; the package was not checked by it"
fi
[ "$failed" -eq 0 ] || exit 1
echo "package $(basename "$deb") complete ($(stat -c %s "$deb") bytes)"
