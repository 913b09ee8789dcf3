#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs each built Debian package with dpkg into a temporary root, with
# the packages it needs of its own, checks what a user meets there, purges
# them and checks that nothing is left: zan alone (it compiles, serves as a
# language server, and names the package to install for --play), zan with
# zan-player (it renders a WAV file), and zanpad (its desktop entry, file
# type, icons, AppStream data and manual page).
# Usage: package_test.sh DEB_DIR
set -eu
debs=$(cd "$1" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
unset ZAN_PLAYER
deb() { ls "$debs/$1"_*.deb 2>/dev/null | head -n 1; }
for p in zan zan-player zanpad; do [ -n "$(deb $p)" ] || fail "no $p package in $debs"; done
version=$(dpkg-deb -f "$(deb zan)" Version)

root=$tmp/root
usr=$root/usr
admin=$root/var/lib/dpkg
mkdir -p "$admin/info" "$admin/updates" "$admin/triggers" "$root/var/log"
touch "$admin/status"
dpkg_root() {
  dpkg --root="$root" --log="$root/var/log/dpkg.log" --force-not-root --force-depends \
    --force-script-chrootless --path-include='/usr/share/doc/*' "$@" >>"$tmp/dpkg.log" 2>&1 ||
    { cat "$tmp/dpkg.log"; fail "dpkg $*"; }
}
# Purges the packages and checks that the root is as empty as before.
purge() {
  dpkg_root -P "$@"
  left=$(cd "$root" && find . -path ./var -prune -o -print | grep -v '^\.$' || true)
  [ -z "$left" ] || fail "left behind after purging $*: $left"
  for p in "$@"; do
    [ -z "$(ls "$admin/info" | grep "^$p[.:]" || true)" ] || fail "dpkg still lists $p"
  done
}

# zan alone.
dpkg_root -i "$(deb zan)"
[ "$("$usr/bin/zan" --version)" = "zan $version" ] || fail "zan --version"
"$usr/bin/zan" -o "$tmp/demo.mid" "$usr/share/doc/zan/examples/demo.zan" >/dev/null || fail "compiling the installed demo"
[ "$(head -c 4 "$tmp/demo.mid")" = MThd ] || fail "the demo's MIDI file"
request='{"jsonrpc":"2.0","id":1,"method":"shutdown","params":null}'
printf 'Content-Length: %d\r\n\r\n%s' ${#request} "$request" | "$usr/bin/zan" lsp >"$tmp/lsp.out" 2>&1 || true
grep -q '"id":1' "$tmp/lsp.out" || fail "zan lsp does not answer: $(cat "$tmp/lsp.out")"
status=0
LC_ALL=C "$usr/bin/zan" --tail 0 --wav "$tmp/demo.wav" "$usr/share/doc/zan/examples/demo.zan" >/dev/null 2>"$tmp/err" || status=$?
[ $status -eq 2 ] && grep -q 'package zan-player' "$tmp/err" || fail "zan --wav without the player: $(cat "$tmp/err")"
[ -f "$usr/share/doc/zan/copyright" ] && [ -f "$usr/share/doc/zan/changelog.gz" ] || fail "zan's copyright and changelog"
[ -f "$usr/share/man/man1/zan.1.gz" ] || fail "zan's manual page"
purge zan

# zan with its player.
dpkg_root -i "$(deb zan)" "$(deb zan-player)"
[ -x "$usr/libexec/zan/zan-play" ] || fail "zan-play is not in /usr/libexec/zan"
"$usr/bin/zan" --tail 0 --wav "$tmp/demo.wav" "$usr/share/doc/zan/examples/demo.zan" >/dev/null || fail "rendering the demo"
[ "$(head -c 4 "$tmp/demo.wav")" = RIFF ] || fail "the demo's WAV file"
purge zan-player zan

# The editor.
dpkg_root -i "$(deb zan)" "$(deb zanpad)"
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
purge zanpad zan
echo "packages zan, zan-player and zanpad $version: installed, checked and purged"
