#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The Debian packaging (debian/) agrees with the build, without building a
package: every file `cmake --install` installs goes to exactly one binary
package (or is listed in debian/not-installed), every line of a *.install
file matches something, each manual page belongs to a program of its
package, the versions agree, debian/copyright holds LICENSE's text, and
make deb refuses to build without a maintainer.
Usage: debian_files_test.py BUILD_DIR SOURCE_DIR"""
import fnmatch
import os
import pathlib
import re
import subprocess
import sys
import tempfile


def lines(path):
    if not path.exists():
        return []
    return [l.strip() for l in path.read_text().splitlines() if l.strip() and not l.startswith('#')]


def main():
    build, source = map(pathlib.Path, sys.argv[1:3])
    debian = source / 'debian'
    problems = []

    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(['cmake', '--install', str(build), '--prefix', '/usr'], check=True, capture_output=True,
                       env=dict(os.environ, DESTDIR=tmp))
        installed = sorted(str(p.relative_to(tmp)) for p in pathlib.Path(tmp).rglob('*') if not p.is_dir())

    control = (debian / 'control.in').read_text()
    packages = re.findall(r'^Package: (\S+)$', control, re.M)
    claims = {pkg: lines(debian / f'{pkg}.install') for pkg in packages}
    claims['(not installed)'] = lines(debian / 'not-installed')
    owners = {f: [] for f in installed}
    for pkg, patterns in claims.items():
        for pattern in patterns:
            pattern = pattern.split()[0]
            hits = [f for f in installed if fnmatch.fnmatch(f, pattern) or f.startswith(pattern.rstrip('/') + '/')]
            if not hits:
                problems.append(f'{pkg}: "{pattern}" matches nothing the build installs')
            for f in hits:
                owners[f].append(pkg)
    for f, pkgs in owners.items():
        if len(pkgs) != 1:
            problems.append(f'{f}: installed by {pkgs or "no package"}')
    if 'usr/libexec/zan/zan-play' not in owners:
        problems.append('the player program is not installed as usr/libexec/zan/zan-play')
    for pkg in packages:
        if not claims[pkg]:
            problems.append(f'{pkg}: no debian/{pkg}.install')
        for page in lines(debian / f'{pkg}.manpages'):
            program = f'usr/bin/{pathlib.Path(page).stem}'
            if not (source / page).is_file():
                problems.append(f'{pkg}.manpages: {page} does not exist')
            elif owners.get(program) != [pkg]:
                problems.append(f'{pkg}.manpages: {page} documents {program}, which {pkg} does not install')

    stanza = {m.group(1): m.group(0) for m in re.finditer(r'^Package: (\S+)\n(?:.+\n?)*', control, re.M)}
    zan = stanza.get('zan', '')
    for lib in ('qt6', 'fluidsynth', 'soundfont', 'asound', 'pulse', 'jack', 'pipewire'):
        if lib in zan.split('Description:')[0]:
            problems.append(f'zan depends on {lib}: the compiler must install without audio or GUI libraries')
    if not re.search(r'^Depends:.*\bzan \(= \$\{binary:Version\}\)', stanza.get('zanpad', ''), re.M):
        problems.append('zanpad does not depend on zan of its own version')

    version = re.match(r'zan \(([^)]+)\)', (debian / 'changelog.in').read_text()).group(1)
    project = re.search(r'project\(zan VERSION (\S+)', (source / 'CMakeLists.txt').read_text()).group(1)
    if version != project:
        problems.append(f'debian/changelog.in is version {version}, the project {project}')

    licence = (source / 'LICENSE').read_text().split('\n\n', 2)[2].strip()
    copyright = (debian / 'copyright').read_text()
    text = re.search(r'^License: MIT\n((?: .*\n)+)', copyright, re.M)
    body = '\n'.join('' if l == ' .' else l[1:] for l in text.group(1).splitlines()) if text else ''
    if body.strip() != licence:
        problems.append('debian/copyright: the MIT licence text differs from LICENSE')
    if not os.access(debian / 'rules', os.X_OK):
        problems.append('debian/rules is not executable')

    # The maintainer is a setting without a default: make deb refuses in one
    # line without it, and the build refuses an address mail cannot reach.
    env = {k: v for k, v in os.environ.items() if k not in ('MAINTAINER', 'MAKEFLAGS', 'MFLAGS', 'MAKELEVEL')}
    with tempfile.TemporaryDirectory() as tmp:
        for command, said in [
            (['make', '-C', str(source), '--no-print-directory', '-n', 'deb'], 'MAINTAINER'),
            (['make', '-C', str(source), '--no-print-directory', '-n', 'deb', 'MAINTAINER= '], 'MAINTAINER'),
            ([str(source / 'scripts/build-deb'), 'zan developers <zan@localhost>', tmp], 'address'),
            ([str(source / 'scripts/build-deb'), 'Someone', tmp], "'Name <address>'"),
        ]:
            run = subprocess.run(command, env=env, capture_output=True, text=True)
            said_lines = (run.stdout + run.stderr).strip().splitlines()
            if run.returncode == 0 or len(said_lines) != 1 or said not in said_lines[0] or os.listdir(tmp):
                problems.append(f'{command[-2:]}: exit {run.returncode}, said {said_lines}, expected one line on {said}')

    for p in problems:
        print('FAIL:', p)
    print(f'{len(installed)} installed files in {len(packages)} packages, {len(problems)} problem(s)')
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
