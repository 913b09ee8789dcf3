#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Vim and Neovim as a new user meets them, with what zan installs and the
snippets of docs/editors.md taken from the page itself (so that the page and
this test cannot drift apart), nothing else:

- the editors' files installed as the package installs them (prefix /usr),
  as make install does (prefix /usr/local, with the page's vimrc line), and
  copied into a home folder as the page says;
- in Vim: a .zan file has the file type and colours, and :make fills the
  quickfix list for a score whose name has a space;
- in Neovim 0.7 with the page's init.lua: three scores, one including
  another, share one server; the includer shows the included file's error;
  fixing it clears the error; :make works as in Vim;
- the page's Neovim 0.8 snippet is valid Lua;
- Vim's colours stand for the lexer's classes on at least 99% of the
  characters of the demos and of every example of the reference (the lines
  where they differ are listed).

    editor_support_test.py --build-dir BUILD --source-dir SRC --zan ZAN --lexer MAKE_EDITOR_FILES
                           --cmake CMAKE --vim VIM --nvim NVIM
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))

SPACED = 'my song.zan'
SCORES = {
    SPACED: '; a score whose name has a space\n_m(LEAD, c?1 e)\nt120 LEAD(4) x\nv100 EX=$F0,$7E,$F7 Q\n',
    'main.zan': '#include "inc.zan"\nc d e\n',
    'inc.zan': 'c x\n',
    'other.zan': 'o4 l8 c d e f g\n',
}

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAILED: ' + what)


def snippets(page):
    """The fenced blocks of the page, each named by the comment before it."""
    text = open(page, encoding='utf-8').read()
    found = dict(re.findall(r'<!-- snippet: (\S+) -->\n```\w*\n(.*?)```', text, re.S))
    for name in ('vimrc', 'vimrc-local', 'user-install', 'init.lua', 'init.lua-0.8'):
        if name not in found:
            sys.exit(f'docs/editors.md has no snippet {name}')
    return found


def install(args, prefix, root):
    env = dict(os.environ, DESTDIR=root)
    subprocess.run([args.cmake, '--install', args.build_dir, '--component', 'editors', '--prefix', prefix],
                   env=env, check=True, stdout=subprocess.DEVNULL)


def environment(args, home):
    env = dict(os.environ)
    env.update(HOME=home, PATH=os.path.dirname(os.path.abspath(args.zan)) + os.pathsep + env.get('PATH', ''),
               XDG_CONFIG_HOME=os.path.join(home, '.config'), XDG_DATA_HOME=os.path.join(home, '.local/share'),
               XDG_STATE_HOME=os.path.join(home, '.local/state'), XDG_CACHE_HOME=os.path.join(home, '.cache'),
               LC_ALL='C.UTF-8')
    env.pop('VIMINIT', None)
    env.pop('MYVIMRC', None)
    return env


def run(command, env, cwd, result):
    env = dict(env, ZAN_RESULT=result)
    if os.path.exists(result):
        os.remove(result)
    proc = subprocess.run(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, timeout=90)
    if not os.path.exists(result):
        sys.exit(f'{command[0]} wrote no result (status {proc.returncode}): {proc.stderr.decode(errors="replace")}')
    with open(result, encoding='utf-8') as f:
        return json.load(f)


def system_folder(option, system, installed):
    """A command that puts the installed tree where the editor's system folder is."""
    return ['--cmd', f"let &{option} = substitute(&{option}, '{system}', '{installed}', 'g')"]


def check_quickfix(editor, quickfix):
    places = sorted((e['file'], e['line'], e['col'], e['type']) for e in quickfix)
    check(places == [(SPACED, 3, 14, 'e'), (SPACED, 4, 21, 'e')], f'{editor}: :make gives the two errors: {places}')


def check_vim(args, label, home, work, extra):
    env = environment(args, home)
    got = run([args.vim, '--not-a-term', '-X', '-n', '-i', 'NONE'] + extra +
              ['-S', os.path.join(HERE, 'vim_check.vim'), SPACED], env, work, os.path.join(work, 'vim.json'))
    check(got['filetype'] == 'zan', f'Vim ({label}): file type {got["filetype"]!r}')
    check(got['syntax'] == 'zan', f'Vim ({label}): syntax {got["syntax"]!r}')
    # As the default colours show them: a comment, _m, an undecipherable x, v100.
    want = {'1:1': 'Comment', '2:1': 'Statement', '3:14': 'Error', '4:1': 'Identifier'}
    check(got['colours'] == want, f'Vim ({label}): colours {got["colours"]}')
    check_quickfix(f'Vim ({label})', got['quickfix'])


def examples(source_dir):
    """The demos, then each ```zan block of the reference, as (name, text)."""
    found = []
    for name in ('demo.zan', 'demo_ja.zan'):
        data = open(os.path.join(source_dir, 'examples', name), 'rb').read()
        try:
            found.append((f'examples/{name}', data.decode('utf-8')))
        except UnicodeDecodeError:  # a score in CP932, as zan reads it too
            found.append((f'examples/{name}', data.decode('cp932')))
    reference = os.path.join(source_dir, 'docs', 'reference')
    for page in sorted(f for f in os.listdir(reference) if f.endswith('.md')):
        lines = open(os.path.join(reference, page), encoding='utf-8').read().split('\n')
        i = 0
        while i < len(lines):
            if lines[i].strip() == '```zan':
                end = i + 1
                while end < len(lines) and lines[end].strip() != '```':
                    end += 1
                found.append((f'docs/reference/{page}:{i + 2}', '\n'.join(lines[i + 1:end])))
                i = end
            i += 1
    return found


def check_vim_colours(args, home, tmp, extra):
    folder = os.path.join(tmp, 'examples')
    os.makedirs(folder)
    names, texts = [], {}
    for n, (name, text) in enumerate(examples(args.source_dir)):
        path = os.path.join(folder, f'{n}.zan')
        text = text.replace('\r', '')
        with open(path, 'w', encoding='utf-8') as f:
            f.write(text)
        names.append(path)
        texts[path] = (name, text)
    got = {}
    result = os.path.join(tmp, 'classes.txt')
    env = dict(environment(args, home), ZAN_RESULT=result)
    subprocess.run([args.vim, '--not-a-term', '-X', '-n', '-i', 'NONE'] + extra +
                   ['-S', os.path.join(HERE, 'vim_classes.vim')] + names,
                   env=env, cwd=folder, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, timeout=120, check=True)
    current = None
    for line in open(result, encoding='utf-8').read().split('\n'):
        if line.startswith('== '):
            current = got.setdefault(os.path.join(folder, line[3:]), [])
        elif current is not None:
            current.append(line)
    total = agree = 0
    for path in names:
        name, text = texts[path]
        want = subprocess.run([args.lexer, '--classes'], input=text.encode(), capture_output=True,
                              check=True).stdout.decode().split('\n')
        for n, line in enumerate(text.split('\n')):
            colours = got.get(path, [])[n] if n < len(got.get(path, [])) else ''
            lexer = want[n] if n < len(want) else ''
            same = sum(1 for a, b in zip(colours, lexer) if a == b)
            total += len(line)
            agree += same
            if same != len(line):
                print(f'{name} line {n + 1}\n  text   {line}\n  lexer  {lexer}\n  vim    {colours}')
    share = agree / total if total else 1
    print(f'Vim: {agree} of {total} characters agree with the lexer ({share:.2%})')
    check(share >= 0.99, 'Vim: its colours agree with the lexer on less than 99% of the characters')


def main():
    parser = argparse.ArgumentParser()
    for name in ('--build-dir', '--source-dir', '--zan', '--lexer', '--cmake', '--vim', '--nvim'):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    page = snippets(os.path.join(args.source_dir, 'docs', 'editors.md'))

    tmp = tempfile.mkdtemp(prefix='zan-editors-')
    try:
        work = os.path.join(tmp, 'work')
        os.makedirs(work)
        for name, text in SCORES.items():
            with open(os.path.join(work, name), 'w', encoding='utf-8') as f:
                f.write(text)

        # Installed as the package installs it: Vim's and Neovim's system folders.
        usr = os.path.join(tmp, 'usr-root')
        install(args, '/usr', usr)
        home = os.path.join(tmp, 'home')
        os.makedirs(os.path.join(home, '.config', 'nvim'))
        with open(os.path.join(home, '.vimrc'), 'w') as f:
            f.write(page['vimrc'])
        with open(os.path.join(home, '.config', 'nvim', 'init.lua'), 'w') as f:
            f.write(page['init.lua'])
        vim_system = system_folder('rtp', '/usr/share/vim/vimfiles', usr + '/usr/share/vim/vimfiles')
        check_vim(args, 'package', home, work, vim_system)
        check_vim_colours(args, home, tmp, vim_system)

        got = run([args.nvim, '--headless', '-n', '-i', 'NONE'] +
                  system_folder('rtp', '/usr/share/nvim/site', usr + '/usr/share/nvim/site') +
                  ['-c', 'luafile ' + os.path.join(HERE, 'neovim_check.lua')],
                  environment(args, home), work, os.path.join(work, 'nvim.json'))
        for name, score in sorted(got['scores'].items()):
            check(score['filetype'] == 'zan' and score['syntax'] == 'zan', f'Neovim: {name} is {score}')
            check(len(score['servers']) == 1, f'Neovim: {name} has {len(score["servers"])} servers')
        check(got['servers'] == 1 and got['running'] == 1,
              f'Neovim: three scores, {got["servers"]} servers attached, {got["running"]} running')
        check(got['scores']['inc.zan']['diagnostics'] == 1, 'Neovim: inc.zan shows its error')
        check(got['scores']['main.zan']['diagnostics'] >= 1, 'Neovim: main.zan shows the error it includes')
        check(got['scores']['other.zan']['diagnostics'] == 0, 'Neovim: other.zan has no errors')
        check(got['fixed'], 'Neovim: the fixed inc.zan keeps its error')
        check(got.get('includerFixed'), 'Neovim: main.zan keeps the error of the fixed inc.zan')
        check_quickfix('Neovim', got['quickfix'])

        # make install's /usr/local, with the page's line for Vim.
        local = os.path.join(tmp, 'local-root')
        install(args, '/usr/local', local)
        home_local = os.path.join(tmp, 'home-local')
        os.makedirs(home_local)
        with open(os.path.join(home_local, '.vimrc'), 'w') as f:
            f.write(page['vimrc-local'].replace('/usr/local', local + '/usr/local') + page['vimrc'])
        check_vim(args, '/usr/local', home_local, work, [])

        # Copied into a home folder as the page says, from a tree whose build is BUILD.
        home_own = os.path.join(tmp, 'home-own')
        tree = os.path.join(tmp, 'tree')
        os.makedirs(home_own)
        os.makedirs(tree)
        os.symlink(os.path.abspath(args.build_dir), os.path.join(tree, 'build'))
        subprocess.run(['sh', '-e', '-c', page['user-install']], env=environment(args, home_own), cwd=tree, check=True)
        with open(os.path.join(home_own, '.vimrc'), 'w') as f:
            f.write(page['vimrc'])
        check_vim(args, 'in the home folder', home_own, work, [])
        check(os.path.exists(os.path.join(home_own, '.local/share/nvim/site/ftdetect/zan.vim')),
              "Neovim: the copy in the home folder")

        # The 0.8 snippet cannot run on 0.7; it must at least be Lua.
        snippet = os.path.join(tmp, 'init-0.8.lua')
        with open(snippet, 'w') as f:
            f.write(page['init.lua-0.8'])
        parsed = subprocess.run([args.nvim, '--headless', '-u', 'NONE', '-i', 'NONE', '-c',
                                 f"lua local ok, err = loadfile('{snippet}') if not ok then io.stderr:write(err) vim.cmd('cquit 1') end",
                                 '-c', 'qall!'], stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
        check(parsed.returncode == 0, 'the Neovim 0.8 snippet is not Lua: ' + parsed.stderr.decode(errors='replace'))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    if failures:
        sys.exit(1)
    print('ok')


if __name__ == '__main__':
    main()
