#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# zanpad killed (SIGKILL) with unsaved text, then started again on a virtual
# display: it offers the recovery copy, and Yes brings the typed text back.
#   crash_recovery_e2e.sh ZANPAD FAULT_INJECTOR
# Then it is killed again, in the middle of a save: the score stays as it was.
set -euo pipefail
zanpad=$1
work=$(mktemp -d)
pad=
xvfb=
cleanup() {
  [ -n "$pad" ] && kill -9 "$pad" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A display of our own, its number free.
for n in $(seq 140 199); do
  [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || { display=:$n; break; }
done
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display HOME=$work ZANPAD_DATA_DIR=$work/data QT_QPA_PLATFORM=xcb
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
printf 'c\r\n' >"$work/song.zan"

# Waits for a window whose name matches $1 and gives it the keyboard.
focus() {
  local win
  win=$(timeout 20 xdotool search --sync --onlyvisible --name "$1" | head -1) || fail "no window \"$1\""
  xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
  sleep 0.3
}

"$zanpad" "$work/song.zan" >/dev/null 2>&1 &
pad=$!
focus 'song.zan'
xdotool type --delay 30 'd e f g '
for _ in $(seq 100); do compgen -G "$work/data/recovery/*.recovery" >/dev/null && break; sleep 0.1; done
compgen -G "$work/data/recovery/*.recovery" >/dev/null || fail "no recovery copy was written"
kill -9 "$pad"
wait "$pad" 2>/dev/null || true
pad=
grep -q 'd e f g' "$work/song.zan" && fail "the typed text reached the score without a save"

"$zanpad" "$work/song.zan" >/dev/null 2>&1 &
pad=$!
focus 'Restore unsaved changes'
xdotool key Return
focus '\*zan - '
xdotool key ctrl+s
for _ in $(seq 100); do grep -q 'd e f g' "$work/song.zan" && break; sleep 0.1; done
grep -q 'd e f g' "$work/song.zan" || fail "the restored text was not saved: $(cat "$work/song.zan")"
compgen -G "$work/data/recovery/*.recovery" >/dev/null && fail "the copy outlived the save"
echo "restored and saved: $(tr -d '\r' <"$work/song.zan")"

# Killed in the middle of a save: the score on disk stays as it was. The
# fault injector kills the editor at its first write into the score's folder.
kill "$pad"
wait "$pad" 2>/dev/null || true
pad=
mkdir "$work/scores"
printf 'c\r\n' >"$work/scores/tune.zan"
ZAN_FAIL=write:KILL:1 ZAN_FAIL_PATH=$work/scores LD_PRELOAD=$2 "$zanpad" "$work/scores/tune.zan" >/dev/null 2>&1 &
pad=$!
focus 'tune.zan'
kill -0 "$pad" 2>/dev/null || fail "the editor wrote into the score's folder before the save"
xdotool type --delay 10 'a b '
xdotool key ctrl+s
for _ in $(seq 100); do kill -0 "$pad" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pad" 2>/dev/null && fail "the editor was not killed by its save"
pad=
[ "$(cat "$work/scores/tune.zan")" = $'c\r' ] || fail "a save killed midway changed the score: $(od -c "$work/scores/tune.zan")"
[ "$(ls -A "$work/scores")" = tune.zan ] || fail "a save killed midway left: $(ls -A "$work/scores")"
echo "a save killed midway left the score as it was"
