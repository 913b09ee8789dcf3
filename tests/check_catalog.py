#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The message catalogs (po/*.po) and their template (po/zan.pot) hold every
text of the programs, and every English text of the sources is marked for
translation.

The texts are what xgettext extracts from the sources: the string literals
with Japanese characters (the user's texts written in the original
language, which a table hands to the translation layer), and the literals
marked with tr, trIn, UiText or N_ (the texts written in English). Checked:
  - po/zan.pot names exactly those texts (--write-template writes it anew);
  - every catalog translates every Japanese text, and a catalog of a third
    language every text (English is the msgid of the English-marked ones);
    no catalog keeps a text the programs no longer hold;
  - no literal that reads as English words (two words or more) is left
    unmarked, unless NOT_TEXTS says why it is no user's text."""
import argparse
import collections
import pathlib
import re
import subprocess
import sys

JAPANESE = re.compile('[\u3000-\u30ff\u3400-\u9fff\uff00-\uffef]')
# Two words of letters with a space between: the shape of a sentence or a
# caption, which a file name, a settings key or an object name never has.
WORDS = re.compile(r"[A-Za-z]{2,}[,:;.!?)'\"]* +[(\"]?[A-Za-z]{2,}")
KEYWORDS = ['tr', 'trIn:2', 'UiText', 'N_']

# Literals of words that are no user's text, by why.
NOT_TEXTS = {
    # The compiler's message lines, which the editor and the tests read.
    'Compile Start',
    # JSON-RPC's own error texts, answered to the client's program.
    'Invalid request: not a JSON object', 'Invalid request: no method', 'Method not found: ', 'Invalid params: ',
    'Parse error: the message is not JSON', 'Parse error: ', 'The server is not initialized',
    'The server is initialized already', 'The server is shutting down',
    # Font families, a file's magic line, the sequencer port's name, program prefixes.
    'IPA Gothic', 'Noto Sans CJK JP', 'Noto Sans Mono CJK JP', 'VL Gothic', 'zanpad recovery copy 1', 'zan out',
    'zan lsp: ', 'zan: warning: ',
    # Score text the programs compile, and markup.
    'ACCUT ACRES ACE ACV ACM ACREV ACCHO ACD ACP ACB',
    '|LAST_PTR|_tr(0)|~1=ptr _print(TimePointer=,~1)~2=bas ~3=~1/~2 ~5=~3*~2 ~4=~1-~5 _print(#timebase=,~2)',
    "<p style='white-space:pre'>",
    'QToolButton:checked { background-color: %1; color: white; font-weight: bold; border-radius: 3px; }',
    # Messages of static_assert, for the developer.
    'one handler for every command number', 'one row per text', 'the library has 83 entries',
    'the payload word is stored status byte first',
}

TEMPLATE_HEADER = '''# The texts of zan, zan lsp, the player and zanpad, for translators: copy
# this file to po/LANG.po (LANG as the locale names the language: de, pt_BR),
# write each msgstr and rebuild. Made by `make pot`; not to be edited.
msgid ""
msgstr ""
"Project-Id-Version: zan\\n"
"Content-Type: text/plain; charset=UTF-8\\n"
"Content-Transfer-Encoding: 8bit\\n"
'''


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


def quote(s):
    return '"' + s.replace('\\', '\\\\').replace('"', '\\"').replace('\n', '\\n').replace('\t', '\\t').replace(
        '\r', '\\r') + '"'


def read_po(text, places=None):
    """{msgid: (msgstr, fuzzy)} of a .po text; `places`, when given, gets
    each msgid's references ("file:line")."""
    entries, msgid, msgstr, field, fuzzy, pending_fuzzy = {}, None, None, None, False, False
    refs, pending_refs = [], []

    def finish():
        if msgid is not None:
            entries[msgid] = (msgstr or '', fuzzy)
            if places is not None:
                places[msgid].extend(refs)

    for line in text.splitlines():
        if line.startswith('#,') and 'fuzzy' in line:
            pending_fuzzy = True
        elif line.startswith('#:'):
            pending_refs.extend(line[2:].split())
        elif line.startswith('#') or not line.strip():
            continue
        elif line.startswith('msgid '):
            finish()
            msgid, msgstr, field, fuzzy, pending_fuzzy = unquote(line[6:]), None, 'id', pending_fuzzy, False
            refs, pending_refs = pending_refs, []
        elif line.startswith('msgstr '):
            msgstr, field = unquote(line[7:]), 'str'
        elif line.startswith('"'):
            if field == 'id':
                msgid += unquote(line)
            else:
                msgstr += unquote(line)
    finish()
    entries.pop('', None)
    if places is not None:
        places.pop('', None)
    return entries


def extract(xgettext, root, sources, options):
    out = subprocess.run(
        [xgettext, '--language=C++', '--from-code=UTF-8', '--no-wrap', '--sort-output', '--output=-'] + options +
        [str(p.relative_to(root)) for p in sources],
        check=True, capture_output=True, text=True, cwd=root).stdout
    places = collections.defaultdict(list)
    return read_po(out, places), places


def template(texts, places):
    blocks = [TEMPLATE_HEADER]
    for t in sorted(texts):
        files = sorted({p.rsplit(':', 1)[0] for p in places[t]})
        lines = t.splitlines(keepends=True)
        msgid = quote(t) if len(lines) <= 1 else '""\n' + '\n'.join(quote(l) for l in lines)
        blocks.append(f'#: {" ".join(files)}\nmsgid {msgid}\nmsgstr ""\n')
    return '\n'.join(blocks)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--source-dir', required=True)
    parser.add_argument('--xgettext', default='xgettext')
    parser.add_argument('--write-template', action='store_true', help='write po/zan.pot from the sources')
    args = parser.parse_args()
    root = pathlib.Path(args.source_dir).resolve()
    sources = sorted(p for d in ('src', 'include') for p in (root / d).rglob('*')
                     if p.suffix in ('.cpp', '.h') and 'tools' not in p.relative_to(root).parts)
    literals, literal_places = extract(args.xgettext, root, sources, ['--extract-all'])
    marked, marked_places = extract(args.xgettext, root, sources, ['-k'] + [f'--keyword={k}' for k in KEYWORDS])
    japanese = {t for t in literals if JAPANESE.search(t)}
    texts = japanese | set(marked)
    places = collections.defaultdict(list)
    for t in texts:
        places[t] = literal_places[t] + marked_places[t]
    pot = root / 'po' / 'zan.pot'
    if args.write_template:
        pot.write_text(template(texts, places), encoding='utf-8')
        print(f'{pot.relative_to(root)}: {len(texts)} texts')
        return 0

    problems = []
    for t in sorted(literals):
        if t in marked or t in japanese or t in NOT_TEXTS or not WORDS.search(t):
            continue
        for place in literal_places[t]:
            problems.append(f'{place}: {t!r} is not marked for translation (zan::tr, UiText or zan::N_)')
    if not pot.exists():
        problems.append('po/zan.pot is missing (make pot writes it)')
    else:
        listed = set(read_po(pot.read_text(encoding='utf-8')))
        for t in sorted(texts - listed):
            problems.append(f'po/zan.pot: {t!r} is missing (make pot writes it anew)')
        for t in sorted(listed - texts):
            problems.append(f'po/zan.pot: {t!r} is no longer a text of the sources (make pot writes it anew)')
    catalogs = sorted((root / 'po').glob('*.po'))
    if not catalogs:
        problems.append('no catalogs in po/')
    for po in catalogs:
        entries = read_po(po.read_text(encoding='utf-8'))
        # In English an English text is its own translation.
        needed = japanese if po.stem == 'en' or po.stem.startswith('en_') else texts
        for t in sorted(needed):
            translation, fuzzy = entries.get(t, ('', False))
            if not translation or fuzzy:
                problems.append(f'{po.name}: no translation of {t!r}')
        for t in sorted(set(entries) - texts):
            problems.append(f'{po.name}: {t!r} is no longer a text of the sources')
    for p in problems:
        print(p)
    print(f'{len(texts)} texts ({len(japanese)} in Japanese), {len(catalogs)} catalog(s), {len(problems)} problem(s)')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
