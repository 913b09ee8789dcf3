#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks the examples of the language reference against the compiler.

    docs/tools/check_reference.py [--zan build/bin/zan] [--fill] [FILE.md ...]

Every ```zan block of docs/reference/*.md is compiled with `zan --listing`.
An HTML comment on the line just before a fence controls it:

    <!-- zan: errors -->      the score must compile with errors (exit status 1);
                              without it, it must compile cleanly (status 0)
    <!-- zan: silent -->      the score compiles cleanly and is meant to write
                              notes that do not sound (velocity 0)
    <!-- zan: skip -->        the block is not compiled
    <!-- zan: file NAME -->   the block is written to NAME in the work
                              directory (for #include examples)
    <!-- out: events -->      the ```text block that follows shows the events
    <!-- out: messages -->    ... the message lines
    <!-- out: listing -->     ... the listing
                              of the last score compiled above it

With --fill, empty ```text blocks after an <!-- out: ... --> comment are
filled in from the compiler instead of compared (review them before
committing). Every score is also played back in the mind of a MIDI player:
a note-off (or a note-on of velocity 0) ends the oldest sounding note of its
channel and key, so no note may be left sounding at the end, and a score that
writes notes must sound at least one of them (velocity above 0) unless it is
marked silent. Also checks that every relative link and #anchor resolves, with
GitHub's heading anchors. Exit status 0 when everything matches.
"""
import argparse
import difflib
import os
import re
import subprocess
import sys
import tempfile
import unicodedata

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))

# ---- the event dump the reference shows --------------------------------------

NOTE_NAMES = ['c', 'c+', 'd', 'd+', 'e', 'f', 'f+', 'g', 'g+', 'a', 'a+', 'b']
CONTROLLERS = {0: 'bank select', 1: 'modulation', 5: 'portamento time', 6: 'data entry', 7: 'volume',
               10: 'pan', 11: 'expression', 32: 'bank select LSB', 38: 'data entry LSB',
               65: 'portamento', 91: 'reverb', 93: 'chorus', 98: 'NRPN LSB', 99: 'NRPN MSB',
               100: 'RPN LSB', 101: 'RPN MSB', 121: 'reset all controllers'}
META = {1: 'text', 2: 'copyright', 3: 'title', 4: 'instrument name'}


def varlen(b, i):
    v = 0
    while True:
        c = b[i]
        i += 1
        v = (v << 7) | (c & 0x7F)
        if not c & 0x80:
            return v, i


def note(n):
    return f"{n} (o{n // 12}{NOTE_NAMES[n % 12]})"


def describe(ev):
    st = ev[0]
    if st == 0xFF:
        n, r = varlen(ev, 2)
        data = ev[r:r + n]
        if ev[1] == 0x2F:
            return None
        if ev[1] == 0x51:
            us = int.from_bytes(data, 'big')
            bpm = 60000000 / us
            if abs(bpm - round(bpm)) > 1e-9:
                return f"tempo {us} µs per quarter (about {bpm:.4g} bpm)"
            return f"tempo {round(bpm)} bpm ({us} µs per quarter)"
        return f"{META.get(ev[1], 'meta %02X' % ev[1])} \"{data.decode('cp932', 'replace')}\""
    if st in (0xF0, 0xF7):
        n, r = varlen(ev, 1)
        return "system exclusive " + (bytes([st]) + ev[r:r + n]).hex(' ').upper()
    pre = f"ch{(st & 0x0F) + 1:<3}"
    kind = st & 0xF0
    if kind == 0x90:
        return f"{pre}note on  {note(ev[1])} velocity {ev[2]}"
    if kind == 0x80:
        return f"{pre}note off {note(ev[1])}"
    if kind == 0xB0:
        name = CONTROLLERS.get(ev[1])
        return f"{pre}control {ev[1]}" + (f" ({name})" if name else "") + f" = {ev[2]}"
    if kind == 0xC0:
        return f"{pre}program {ev[1]}"
    if kind == 0xE0:
        v = (ev[1] | ev[2] << 7) - 8192
        return f"{pre}pitch bend {v:+d}" if v else f"{pre}pitch bend 0 (centre)"
    return ev.hex(' ')


def events(b):
    """Yields (track, tick, event bytes) of a file as zan writes it."""
    chunks = int.from_bytes(b[10:12], 'big')
    p = 14
    for t in range(chunks):
        q = p + 8
        end = q + int.from_bytes(b[p + 4:p + 8], 'big')
        tick = 0
        while q < end:
            d, q = varlen(b, q)
            tick += d
            st = b[q]
            if st == 0xFF:
                n, r = varlen(b, q + 2)
                size = r + n - q
            elif st in (0xF0, 0xF7):
                n, r = varlen(b, q + 1)
                size = r + n - q
            else:  # zan writes no running status
                size = 2 if st & 0xF0 in (0xC0, 0xD0) else 3
            yield t, tick, b[q:q + size]
            q += size
        p = end


def sounding_faults(b):
    """What a player would make of the notes: ([faults], notes, audible notes)."""
    faults, waiting, notes, audible = [], {}, 0, 0
    for t, tick, ev in events(b):
        kind = ev[0] & 0xF0
        if kind not in (0x80, 0x90):
            continue
        key = (t, ev[0] & 0x0F, ev[1])
        if kind == 0x90:
            notes += 1
        if kind == 0x90 and ev[2] > 0:
            audible += 1
            waiting.setdefault(key, []).append(tick)
        elif waiting.get(key):
            waiting[key].pop(0)
        elif kind == 0x80:
            faults.append(f"a note-off of {note(ev[1])} at tick {tick} ends no note")
    for (t, _, n), ticks in waiting.items():
        faults.extend(f"{note(n)} from tick {tick} of track chunk {t + 1} never ends" for tick in ticks)
    return faults, notes, audible


def dump(path):
    b = open(path, 'rb').read()
    chunks = int.from_bytes(b[10:12], 'big')
    out, track = [], None
    for t, tick, ev in events(b):
        if chunks > 1 and t != track:
            out.append(f"-- track chunk {t + 1} --")
        track = t
        s = describe(ev)
        if s is not None:
            out.append(f"{tick:>5}  {s}")
    return out

# ---- compiling the examples ------------------------------------------------------


def compile_score(zan, text, work):
    midi = os.path.join(work, 'out.mid')
    if os.path.exists(midi):
        os.remove(midi)
    r = subprocess.run([zan, '--listing', '-o', midi, '-'], input=(text + '\n').encode(), cwd=work,
                       capture_output=True)
    messages, listing = [], []
    for line in r.stdout.decode().split('\n'):
        if re.match(r'^\s*\d+:', line) and (listing or (messages and messages[-1] == 'ok')):
            listing.append(line)
        elif line:
            messages.append(line)
    sound = sounding_faults(open(midi, 'rb').read()) if os.path.exists(midi) else ([], 0, 0)
    return r.returncode, {'messages': messages, 'listing': listing, 'sound': sound,
                          'events': dump(midi) if os.path.exists(midi) else []}, r.stdout.decode() + r.stderr.decode()


def check_file(path, zan, fill):
    lines = open(path, encoding='utf-8').read().split('\n')
    name = os.path.basename(path)
    work = tempfile.mkdtemp(prefix='zanref')
    out, failures, scores, results = [], 0, 0, 0
    last = None
    i = 0
    while i < len(lines):
        m = re.match(r'^```(\S*)\s*$', lines[i])
        if not m:
            out.append(lines[i])
            i += 1
            continue
        d = re.match(r'^<!--\s*(.*?)\s*-->\s*$', lines[i - 1]) if i else None
        directive = d.group(1) if d else ''
        j = i + 1
        while not lines[j].startswith('```'):
            j += 1
        body = lines[i + 1:j]
        where = f"{name}:{i + 1}"
        if directive.startswith('zan: file '):
            with open(os.path.join(work, directive[10:].strip()), 'w', encoding='utf-8') as f:
                f.write('\n'.join(body) + '\n')
        elif m.group(1) == 'zan' and directive != 'zan: skip':
            scores += 1
            status, last, raw = compile_score(zan, '\n'.join(body), work)
            wanted = 1 if directive == 'zan: errors' else 0
            if status != wanted:
                failures += 1
                print(f"FAIL {where}: exit status {status}, wanted {wanted}\n{raw}")
            faults, notes, audible = last['sound']
            if notes and not audible and directive != 'zan: silent':
                faults = faults + [f"none of its {notes} note(s) sounds (velocity 0): mark it silent if that is meant"]
            if audible and directive == 'zan: silent':
                faults = faults + [f"it is marked silent but {audible} note(s) sound"]
            for fault in faults:
                failures += 1
                print(f"FAIL {where}: {fault}")
        elif directive.startswith('out: '):
            kind = directive[5:].strip()
            results += 1
            if last is None:
                failures += 1
                print(f"FAIL {where}: no score before this {kind} block")
            elif fill and not body:
                out.append(lines[i])
                out.extend(last[kind])
                out.append(lines[j])
                i = j + 1
                continue
            else:
                got = [s.rstrip() for s in last[kind]]
                want = [s.rstrip() for s in body]
                if got != want:
                    failures += 1
                    print(f"FAIL {where}: the {kind} differ")
                    print('\n'.join(difflib.unified_diff(want, got, 'reference', 'zan', lineterm='')))
        out.extend(lines[i:j + 1])
        i = j + 1
    if fill:
        with open(path, 'w', encoding='utf-8') as f:
            f.write('\n'.join(out))
    return failures, scores, results

# ---- links -----------------------------------------------------------------------


def slug(heading):
    h = heading.replace('`', '').strip().lower()
    return ''.join(c for c in h if c.isalnum() or c in ' -_' or unicodedata.category(c).startswith('L')).replace(' ', '-')


def anchors(path):
    seen, found, fence = {}, set(), False
    for line in open(path, encoding='utf-8'):
        if line.startswith('```'):
            fence = not fence
        m = None if fence else re.match(r'^#{1,6}\s+(.*)$', line.rstrip())
        if m:
            s = slug(m.group(1))
            seen[s] = seen.get(s, -1) + 1
            found.add(s if seen[s] == 0 else f"{s}-{seen[s]}")
    return found


def check_links(paths):
    known = {os.path.basename(p): anchors(p) for p in paths}
    bad = 0
    for p in paths:
        text = re.sub(r'```.*?```', '', open(p, encoding='utf-8').read(), flags=re.S)
        for m in re.finditer(r'\]\(([^)\s]+)\)', text):
            target = m.group(1)
            if re.match(r'^[a-z]+:', target):
                continue
            file, _, anchor = target.partition('#')
            file = file or os.path.basename(p)
            if file not in known or (anchor and anchor not in known[file]):
                bad += 1
                print(f"FAIL {os.path.basename(p)}: broken link {target}")
    return bad


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[1])
    ap.add_argument('--zan', default=os.path.join(ROOT, 'build', 'bin', 'zan'))
    ap.add_argument('--fill', action='store_true')
    ap.add_argument('files', nargs='*')
    a = ap.parse_args()
    ref = os.path.join(ROOT, 'docs', 'reference')
    every = sorted(os.path.join(ref, f) for f in os.listdir(ref) if f.endswith('.md'))
    paths = a.files or every
    failures = scores = results = 0
    for p in paths:
        f, s, r = check_file(p, a.zan, a.fill)
        failures, scores, results = failures + f, scores + s, results + r
    failures += check_links(every)
    print(f"{scores} scores compiled, {results} results compared, {failures} failure(s)")
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
