#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the Debian package from a release build, installs it with dpkg into
# a temporary root, checks what a user meets there, and removes it again.
# Usage: package_test.sh BUILD_DIR
set -eu
build=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
unset ZAN_PLAYER

cpack --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 || { cat "$tmp/cpack.log"; fail "cpack"; }
deb=$(ls "$tmp"/out/zan_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libfluidsynth libqt6widgets6; do
  case "$depends" in *"$lib"*) ;; *) fail "Depends lacks $lib: $depends" ;; esac
done

root=$tmp/root
admin=$root/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates" "$admin/triggers" "$root/var/log"
touch "$admin/status"
dpkg_root() {
  dpkg --root="$root" --log="$root/var/log/dpkg.log" --force-not-root --force-depends \
    --force-script-chrootless --path-include='/usr/share/doc/*' "$@" >>"$tmp/dpkg.log" 2>&1 ||
    { cat "$tmp/dpkg.log"; fail "dpkg $*"; }
}
dpkg_root -i "$deb"
usr=$root/usr

[ "$("$usr/bin/zan" --version)" = "zan $(dpkg-deb -f "$deb" Version)" ] || fail "zan --version"
"$usr/bin/zan" -o "$tmp/demo.mid" "$usr/share/doc/zan/examples/demo.zan" >/dev/null || fail "compiling the installed demo"
[ "$(head -c 4 "$tmp/demo.mid")" = MThd ] || fail "the demo's MIDI file"
# The player program is found beside the installed zan.
"$usr/bin/zan" --tail 0 --wav "$tmp/demo.wav" "$usr/share/doc/zan/examples/demo.zan" >/dev/null || fail "rendering the demo"
[ "$(head -c 4 "$tmp/demo.wav")" = RIFF ] || fail "the demo's WAV file"
[ -x "$usr/bin/zanpad" ] || fail "zanpad is not installed"
for icon in scalable/apps/zanpad.svg 16x16/apps/zanpad.png 48x48/apps/zanpad.png 256x256/apps/zanpad.png; do
  [ -s "$usr/share/icons/hicolor/$icon" ] || fail "icon $icon"
done

desktop-file-validate "$usr/share/applications/zanpad.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml >/dev/null || fail "appstreamcli validate"

# The file type, as a desktop without its own database sees it. The database
# is built beside the root, where the shared-mime-info trigger would build it.
mkdir -p "$tmp/home/mime"
cp -r "$usr/share/mime/packages" "$tmp/home/mime/"
update-mime-database "$tmp/home/mime" >/dev/null 2>&1 || fail "update-mime-database"
printf 't120 o4 c d e\r\n' >"$tmp/song.zan"
type=$(env -i PATH="$PATH" HOME="$tmp/home" XDG_DATA_HOME="$tmp/home" XDG_DATA_DIRS="$usr/share" \
  xdg-mime query filetype "$tmp/song.zan")
[ "$type" = text/x-zan ] || fail "xdg-mime query filetype gives '$type'"

for page in zan zanpad; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1.gz" 2>&1 >"$tmp/$page.txt") ||
    fail "man -l $page"
  [ -z "$warnings" ] || fail "man $page: $warnings"
  grep -q "^NAME" "$tmp/$page.txt" || fail "man $page renders no NAME section"
done

dpkg_root -P zan
left=$(cd "$root" && find . -path ./var -prune -o -print | grep -v '^\.$' || true)
[ -z "$left" ] || fail "left behind after removal: $left"
[ -z "$(ls "$admin/info" | grep '^zan\.' || true)" ] || fail "dpkg still lists zan"
echo "package $(basename "$deb"): installed, checked and removed"
