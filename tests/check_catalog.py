#!/usr/bin/env python3
"""Every text of the programs written in Japanese has its translation in
every catalog (po/*.po), and no catalog keeps a text the programs no longer
hold. The texts are what xgettext extracts from the sources: every string
literal, of which those with Japanese characters are the user's texts
written in the original language (the rest are English already)."""
import argparse
import pathlib
import re
import subprocess
import sys

JAPANESE = re.compile('[\u3000-\u30ff\u3400-\u9fff\uff00-\uffef]')


def unquote(s):
    s = s.strip()
    assert s.startswith('"') and s.endswith('"'), s
    out, i = [], 1
    while i < len(s) - 1:
        c = s[i]
        if c == '\\':
            i += 1
            out.append({'n': '\n', 't': '\t', 'r': '\r', '"': '"', '\\': '\\'}.get(s[i], '\\' + s[i]))
        else:
            out.append(c)
        i += 1
    return ''.join(out)


def read_po(text):
    """{msgid: (msgstr, fuzzy)} of a .po text."""
    entries, msgid, msgstr, field, fuzzy, pending_fuzzy = {}, None, None, None, False, False

    def finish():
        if msgid is not None:
            entries[msgid] = (msgstr or '', fuzzy)

    for line in text.splitlines():
        if line.startswith('#,') and 'fuzzy' in line:
            pending_fuzzy = True
        elif line.startswith('#') or not line.strip():
            continue
        elif line.startswith('msgid '):
            finish()
            msgid, msgstr, field, fuzzy, pending_fuzzy = unquote(line[6:]), None, 'id', pending_fuzzy, False
        elif line.startswith('msgstr '):
            msgstr, field = unquote(line[7:]), 'str'
        elif line.startswith('"'):
            if field == 'id':
                msgid += unquote(line)
            else:
                msgstr += unquote(line)
    finish()
    entries.pop('', None)
    return entries


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--source-dir', required=True)
    parser.add_argument('--xgettext', default='xgettext')
    args = parser.parse_args()
    root = pathlib.Path(args.source_dir)
    sources = sorted(p for d in ('src', 'include') for p in (root / d).rglob('*')
                     if p.suffix in ('.cpp', '.h') and 'tools' not in p.relative_to(root).parts)
    extracted = subprocess.run(
        [args.xgettext, '--extract-all', '--language=C++', '--from-code=UTF-8', '--no-wrap', '--sort-output',
         '--output=-'] + [str(p) for p in sources],
        check=True, capture_output=True, text=True).stdout
    texts = {t for t in read_po(extracted) if JAPANESE.search(t)}
    catalogs = sorted((root / 'po').glob('*.po'))
    if not catalogs:
        print('no catalogs in po/')
        return 1
    problems = []
    for po in catalogs:
        entries = read_po(po.read_text(encoding='utf-8'))
        for t in sorted(texts):
            translation, fuzzy = entries.get(t, ('', False))
            if not translation or fuzzy:
                problems.append(f'{po.name}: no translation of {t!r}')
        for t in sorted(set(entries) - texts):
            problems.append(f'{po.name}: {t!r} is no longer a text of the sources')
    for p in problems:
        print(p)
    print(f'{len(texts)} texts, {len(catalogs)} catalog(s), {len(problems)} problem(s)')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
