#!/bin/sh
# SPDX-License-Identifier: MIT
# The options zan --help lists and the ones its manual page describes are the
# same, each with the same argument name.
# Usage: manual_options_test.sh ZAN MANUAL_PAGE
set -eu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# "  -o OUT      write ..." and "  --soundfont SF2" give "-o OUT" and "--soundfont SF2";
# "  --diagnostics=gcc" gives itself, "  --loop A:B" gives "--loop A:B".
"$1" --help | sed -n 's/^  \(--*[a-z][a-z=-]*\)\( [A-Z][A-Z0-9:]*\)\{0,1\}\( .*\)\{0,1\}$/\1\2/p' | sort >"$tmp/help"
# In the OPTIONS section, the line after each .TP: ".BI \-o " OUT"" gives "-o OUT".
sed -n '/^\.SH OPTIONS/,/^\.SH [^O]/p' "$2" | sed -n '/^\.TP/{n;p;}' |
  sed 's/^\.[BIR]* //; s/\\-/-/g; s/"//g; s/  */ /g; s/ $//' | sort >"$tmp/manual"

[ -s "$tmp/help" ] || { echo "FAIL: no options read from zan --help" >&2; exit 1; }
if ! diff -u "$tmp/help" "$tmp/manual"; then
  echo "FAIL: zan --help (-) and the manual page (+) list different options" >&2
  exit 1
fi
echo "$(wc -l <"$tmp/help") options agree"
