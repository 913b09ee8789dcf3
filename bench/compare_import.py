#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Round trip of `zan import` over a folder of MIDI files.

For each file: zan import FILE -o X.zan, zan X.zan -o X.mid, then the music
of FILE and of X.mid compared, each read twice: with mido and, with --dump,
with the project's own reader (zan_dump_midi, built with the benchmarks). Music
means, per channel: every note's key, note-on tick, note-off tick and
velocity; the tempo map; every controller, program and pitch bend value
with its tick; system exclusive messages. Events of one tick are compared
as a set, never by their order in the file (the compiler sorts a tick's
events its own way). Ticks are compared at the score's timebase.

Prints one line a file and the totals: notes, notes written without %
ticks, the text's size against the MIDI file's.

  bench/compare_import.py --zan build/bin/zan --dump build/bin/zan_dump_midi \
      /usr/share/games/openttd/baseset/openmsx
"""
import argparse
import collections
import os
import re
import subprocess
import sys
import tempfile

import mido


def music(path, scale=1.0):
    """The music of a file, by mido: sorted lists, comparable."""
    m = mido.MidiFile(path, clip=True)
    notes, tempos, controls, sysex = [], [], [], []
    for track in m.tracks:
        tick = 0
        open_notes = collections.defaultdict(list)
        for e in track:
            tick += e.time
            t = round(tick * scale)
            if e.type == 'note_on' and e.velocity > 0:
                open_notes[(e.channel, e.note)].append((t, e.velocity))
            elif e.type in ('note_on', 'note_off'):
                starts = open_notes[(e.channel, e.note)]
                if starts:
                    s, v = starts.pop(0)
                    notes.append((e.channel, e.note, s, max(t, s + 1), v))
            elif e.type == 'set_tempo':
                tempos.append((t, e.tempo))
            elif e.type == 'control_change':
                controls.append((t, e.channel, 'cc', e.control, e.value))
            elif e.type == 'program_change':
                controls.append((t, e.channel, 'program', e.program))
            elif e.type == 'pitchwheel':
                controls.append((t, e.channel, 'bend', e.pitch))
            elif e.type == 'sysex':
                sysex.append((t, tuple(e.data)))
        for (ch, key), starts in open_notes.items():
            for s, v in starts:
                notes.append((ch, key, s, None, v))
    # Two notes of one key struck on one tick pair with their note-offs in
    # the order of the file, which the compiler's sort of a tick may change:
    # such notes compare by their ends and their velocities apart.
    same = collections.defaultdict(list)
    for n in notes:
        same[n[:3]].append(n)
    notes = []
    for key, group in same.items():
        ends = sorted((n[3] is None, n[3] or 0) for n in group)
        velocities = sorted(n[4] for n in group)
        notes += [key + (None if e[0] else e[1], v) for e, v in zip(ends, velocities)]
    return {
        'notes': sorted(notes, key=lambda n: (n[0], n[1], n[2], n[3] or -1, n[4])),
        'tempo': sorted(tempos),
        'controls': sorted(controls, key=repr),
        'sysex': sorted(sysex),
        'division': m.ticks_per_beat,
    }


def own_reader(dump, path, num=1, den=1):
    """The file's events as the project's reader sees them (zan_dump_midi)."""
    out = subprocess.run([dump, path, str(num), str(den)], capture_output=True, text=True, check=True).stdout
    return sorted(out.splitlines())


def diff(name, a, b):
    sa, sb = collections.Counter(a), collections.Counter(b)
    missing, extra = sa - sb, sb - sa
    if not missing and not extra:
        return []
    lines = [f'  {name}: {sum(missing.values())} missing, {sum(extra.values())} extra']
    for x in list(missing)[:3]:
        lines.append(f'    - {x}')
    for x in list(extra)[:3]:
        lines.append(f'    + {x}')
    return lines


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--zan', default='build/bin/zan')
    ap.add_argument('--dump', help='zan-dump-midi, the project reader dumper')
    ap.add_argument('folder')
    args = ap.parse_args()
    files = sorted(f for f in os.listdir(args.folder) if f.lower().endswith('.mid'))
    total_notes = total_plain = total_text = total_midi = 0
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        for f in files:
            src = os.path.join(args.folder, f)
            score = os.path.join(tmp, f + '.zan')
            back = os.path.join(tmp, f + '.back.mid')
            r = subprocess.run([args.zan, 'import', src, '-o', score], capture_output=True, text=True)
            if r.returncode != 0:
                print(f'{f}: import failed: {r.stderr.strip()}')
                failures += 1
                continue
            warnings = [w for w in r.stderr.splitlines() if w]
            c = subprocess.run([args.zan, score, '-o', back], capture_output=True, text=True)
            if c.returncode != 0:
                print(f'{f}: compile failed: {c.stdout.strip()[:300]}')
                failures += 1
                continue
            text = open(score, encoding='utf-8').read()
            timebase = int(re.search(r'#timebase (\d+)', text).group(1))
            a = music(src, timebase / mido.MidiFile(src).ticks_per_beat)
            b = music(back)
            problems = []
            for part in ('notes', 'tempo', 'controls', 'sysex'):
                problems += diff(part, a[part], b[part])
            if args.dump:
                division = mido.MidiFile(src).ticks_per_beat
                # Pressure and texts a score cannot hold are dropped with a
                # warning that counts them; the rest must match.
                def kept(lines):
                    return [l for l in lines if l.split()[1][0] not in 'AD' and
                            not (l.split()[1] == 'FF' and l.split()[2] in ('02', '03', '04'))]
                problems += diff('events (own reader)', kept(own_reader(args.dump, src, timebase, division)),
                                 kept(own_reader(args.dump, back)))
            notes = len(a['notes'])
            percent = len(re.findall(r'%\d', re.sub(r'^(l|Q)%\d+', '', text, flags=re.M)))
            size_text, size_midi = len(text.encode()), os.path.getsize(src)
            total_notes += notes
            total_plain += max(0, notes - percent)
            total_text += size_text
            total_midi += size_midi
            status = 'exact' if not problems else 'DIFFERS'
            print(f'{f}: {status}, {notes} notes, text {size_text} B / MIDI {size_midi} B'
                  + (f'; {"; ".join(w.split(": ", 2)[-1] for w in warnings)}' if warnings else ''))
            for p in problems:
                print(p)
            failures += bool(problems)
    if total_notes:
        print(f'total: {len(files)} files, {failures} not exact; {total_notes} notes, '
              f'{100.0 * total_plain / total_notes:.1f}% without % ticks (at most); '
              f'text/MIDI size {total_text / max(1, total_midi):.2f}')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
