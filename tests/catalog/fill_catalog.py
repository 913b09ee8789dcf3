#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Makes a catalog of a made-up language from the template, as a translator
would start one: po/zan.pot copied to LANG.po with every msgstr written, here
"[LANG]" and the original.

  fill_catalog.py TEMPLATE.pot OUT/LANG.po"""
import pathlib
import sys

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent))
from check_catalog import quote, read_po  # noqa: E402


def main():
    template, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
    language = out.stem
    entries = read_po(template.read_text(encoding='utf-8'))
    blocks = ['msgid ""\nmsgstr "Content-Type: text/plain; charset=UTF-8\\n"\n']
    for original in sorted(entries):
        blocks.append(f'msgid {quote(original)}\nmsgstr {quote(f"[{language}]" + original)}\n')
    out.write_text('\n'.join(blocks), encoding='utf-8')
    return 0


if __name__ == '__main__':
    sys.exit(main())
