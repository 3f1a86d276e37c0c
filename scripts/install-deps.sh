#!/usr/bin/env bash
# Installs the Debian packages Folioset needs to build, run and test; only what is missing.
set -euo pipefail

packages=(cmake g++ make pkg-config qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libqpdf-dev
          libxml2-dev libicu-dev libjpeg-dev libpng-dev libtiff-dev libgif-dev zlib1g-dev libdeflate-dev libgl-dev
          libsecret-1-dev
          fonts-dejavu-core xvfb xauth qpdf poppler-utils desktop-file-utils appstream
          # The Debian package: its library dependencies (dpkg-shlibdeps), Debian's check of it,
          # and man, which the test renders the manual pages with.
          dpkg-dev lintian man-db
          # The tests render written PDFs with other readers and compare them with the sources,
          # and keep passwords in a real desktop keyring of their own.
          mupdf-tools ghostscript dbus gnome-keyring libsecret-tools)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
