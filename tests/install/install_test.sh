#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary prefix and runs the installed programs from there, away from the
# checkout, with the databases and settings in a temporary folder: what a user gets from `make install`.
# With --package it builds the Debian package too and checks its control fields and contents.
# usage: install_test.sh BUILD_DIR VERSION [--package]
set -euo pipefail
build=$1
version=$2
package=${3:-}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/kelvora bin/kvimport bin/kvtool \
            share/applications/kelvora.desktop share/applications/kvimport.desktop \
            share/icons/hicolor/scalable/apps/kelvora.svg share/icons/hicolor/scalable/apps/kvimport.svg; do
    [ -e "$prefix/$file" ] || fail "$file is not installed"
done
# Every PNG size is there and is the size its folder says (the width and height of the PNG header).
for icon in kelvora kvimport; do
    for size in 16 24 32 48 64 128 256; do
        png=$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png
        [ -e "$png" ] || fail "$png is not installed"
        read -r w h < <(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4, $7*256+$8}')
        [ "$w $h" = "$size $size" ] || fail "$png is $w x $h"
    done
done
desktop-file-validate "$prefix"/share/applications/*.desktop || fail "desktop-file-validate refused an entry"
for entry in kelvora kvimport; do
    exec_line=$(grep '^Exec=' "$prefix/share/applications/$entry.desktop")
    [ "$exec_line" = "Exec=$entry" ] || fail "$entry.desktop starts '$exec_line'"
done

export KELVORA_DATA_DIR=$tmp/data KELVORA_CONFIG_DIR=$tmp/config
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
cd "$tmp"
for program in kelvora kvimport kvtool; do
    # No window system is needed to answer these.
    [ "$("$prefix/bin/$program" --version)" = "$program $version" ] || fail "$program --version"
    help=$("$prefix/bin/$program" --help) || fail "$program --help failed"
    grep -q "^usage: $program" <<<"$help" || fail "$program --help: $help"
done
"$prefix/bin/kvtool" demo > demo.txt || fail "kvtool demo: $(cat demo.txt)"
grep -Eq '^U-Pb date records: [1-9][0-9]* ' demo.txt || fail "kvtool demo stored no records: $(cat demo.txt)"
grep -Eq '^outline points: [1-9]' demo.txt || fail "kvtool demo stored no outlines: $(cat demo.txt)"
[ -f "$tmp/data/Results30/kelvora.sqlite" ] && [ -f "$tmp/data/tmpDB20/kelvora.sqlite" ] ||
    fail "kvtool demo did not create the databases in KELVORA_DATA_DIR"
"$prefix/bin/kvtool" query --area MDG > query.txt 2>&1 || fail "kvtool query on the demo: $(cat query.txt)"
grep -Eq '^# records = [1-9]' query.txt || fail "the demo holds no MDG records: $(cat query.txt)"

[ "$package" = "--package" ] || exit 0
cpack --config "$build/CPackConfig.cmake" -B "$tmp/package" >/dev/null
deb=$(ls "$tmp"/package/kelvora_"$version"_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6 libqt6svg6 libqt6sql6-sqlite libxlsxwriter \
              libqcustomplot2.1-qt6 libminizip1; do
    grep -Eq "(^|, )$needed[^,]*" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
! grep -q -- '-dev' <<<"$depends" || fail "Depends names a -dev package: $depends"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/kelvora ./usr/bin/kvimport ./usr/bin/kvtool ./usr/share/applications/kelvora.desktop \
            ./usr/share/applications/kvimport.desktop ./usr/share/icons/hicolor/48x48/apps/kelvora.png \
            ./usr/share/icons/hicolor/scalable/apps/kvimport.svg; do
    grep -qx -- "$file" <<<"$contents" || fail "the package lacks $file"
done
