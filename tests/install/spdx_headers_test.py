#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""scripts/spdx-headers on a made-up tree: it finds each kind of source file
without its licence line, adds the line in the file's comment syntax below
any #! line, leaves data and files that have one alone, and then finds none.
Usage: spdx_headers_test.py SCRIPT"""
import pathlib
import subprocess
import sys
import tempfile

# file, content before, content after --fix (None: untouched)
CASES = [
    ('src/a.cpp', '// The first comment.\nint a;\n', '// SPDX-License-Identifier: MIT\n// The first comment.\nint a;\n'),
    ('include/b.h', '#pragma once\n', '// SPDX-License-Identifier: MIT\n#pragma once\n'),
    ('CMakeLists.txt', 'project(x)\n', '# SPDX-License-Identifier: MIT\nproject(x)\n'),
    ('cmake/c.cmake', '', '# SPDX-License-Identifier: MIT\n'),
    ('tool.py', '#!/usr/bin/env python3\n"""Doc."""\n',
     '#!/usr/bin/env python3\n# SPDX-License-Identifier: MIT\n"""Doc."""\n'),
    ('scripts/run', '#!/bin/sh', '#!/bin/sh\n# SPDX-License-Identifier: MIT\n'),
    ('debian/rules', '#!/usr/bin/make -f\n%:\n', '#!/usr/bin/make -f\n# SPDX-License-Identifier: MIT\n%:\n'),
    ('init.lua', 'vim.o.x = 1\n', '-- SPDX-License-Identifier: MIT\nvim.o.x = 1\n'),
    ('docs/zan.1', '.TH ZAN 1\n', '.\\" SPDX-License-Identifier: MIT\n.TH ZAN 1\n'),
    ('done.sh', '#!/bin/sh\n# SPDX-License-Identifier: MIT\necho\n', None),
    ('song.zan', 'cde\n', None),
    ('data/zanpad.desktop', '[Desktop Entry]\n', None),
    ('build/generated.cpp', 'int g;\n', None),
    ('.ci/run', '#!/bin/sh\nmake test\n', None),
]


def run(script, root, *options):
    return subprocess.run([sys.executable, script, '--source-dir', str(root), *options],
                          capture_output=True, text=True)


def main():
    script = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        root = pathlib.Path(tmp)
        for name, before, _ in CASES:
            (root / name).parent.mkdir(parents=True, exist_ok=True)
            (root / name).write_text(before)
        check = run(script, root)
        reported = {line.split(':')[0] for line in check.stdout.splitlines() if ': no ' in line}
        expected = {name for name, _, after in CASES if after is not None}
        if check.returncode != 1 or reported != expected:
            failures.append(f'check: exit {check.returncode}, reported {sorted(reported)}, expected {sorted(expected)}')
        fix = run(script, root, '--fix')
        if fix.returncode != 0:
            failures.append(f'--fix: exit {fix.returncode}: {fix.stdout}{fix.stderr}')
        for name, before, after in CASES:
            got = (root / name).read_text()
            want = before if after is None else after
            if got != want:
                failures.append(f'{name}: {got!r}, expected {want!r}')
        again = run(script, root)
        if again.returncode != 0:
            failures.append(f'after --fix: exit {again.returncode}: {again.stdout}')
    for f in failures:
        print('FAIL:', f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
