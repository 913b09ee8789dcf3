#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Times zan against abc2midi on the same music, whole process, file written.

    bench/compare_abc2midi.py [--zan build/bin/zan] [--runs 20] [--sizes 1,10000,...]

For each size the same music is written in both languages: 8 voices, every
note written out (no repeats, no macros), one bar of eight eighth notes a
line, at 120 beats a minute. The two programs are run alternately, each run
a fresh process that reads its score and writes its MIDI file, and the
table shows the medians and the ratio. `spawn` is the cost of starting
/bin/true the same way, included in both columns.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
VOICES = 8
# One bar: eight eighth notes, the same pitches in both languages.
ZAN_BAR = "c d e f g a b > c <"
ABC_BAR = "CDEFGABc|"
NOTES_PER_BAR = 8


def zan_score(notes):
    if notes < NOTES_PER_BAR:
        return "t120 l8 " + " ".join("cdefgab"[i % 7] for i in range(notes)) + "\n"
    lines = ["t120 l8"]
    bars = notes // NOTES_PER_BAR
    for v in range(VOICES):
        lines.append(f"_tr({v}) @{v} v100")
        lines.extend(f"_tr({v}) {ZAN_BAR}" for _ in range(bars // VOICES))
    return "\n".join(lines) + "\n"


def abc_score(notes):
    head = ["X:1", "T:bench", "M:4/4", "L:1/8", "Q:1/4=120", "K:C"]
    if notes < NOTES_PER_BAR:
        return "\n".join(head + ["".join("CDEFGAB"[i % 7] for i in range(notes)) + "|"]) + "\n"
    lines = head[:]
    bars = notes // NOTES_PER_BAR
    for v in range(VOICES):
        lines += [f"V:{v + 1}", f"%%MIDI program {v}"]
        lines.extend(ABC_BAR for _ in range(bars // VOICES))
    return "\n".join(lines) + "\n"


def timed(argv, cwd):
    start = time.perf_counter()
    pid = os.posix_spawn(argv[0], argv, os.environ, file_actions=[
        (os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0),
        (os.POSIX_SPAWN_OPEN, 2, os.devnull, os.O_WRONLY, 0)])
    _, status = os.waitpid(pid, 0)
    elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{' '.join(argv)} failed in {cwd}")
    return elapsed


def ensure_abc2midi():
    found = shutil.which("abc2midi")
    if found:
        return found
    print("abc2midi is missing: installing Debian's abcmidi", file=sys.stderr)
    subprocess.run([os.path.join(ROOT, "scripts", "bootstrap"), "abcmidi"], check=True)
    return shutil.which("abc2midi") or sys.exit("abc2midi could not be installed")


def version(argv):
    r = subprocess.run(argv, capture_output=True, text=True)
    return (r.stdout + r.stderr).strip().split("\n")[0]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[1])
    ap.add_argument("--zan", default=os.path.join(ROOT, "build", "bin", "zan"))
    ap.add_argument("--runs", type=int, default=20)
    ap.add_argument("--sizes", default="1,10000,100000,400000")
    a = ap.parse_args()
    abc2midi = ensure_abc2midi()
    zan = os.path.abspath(a.zan)
    work = tempfile.mkdtemp(prefix="zancmp")
    os.chdir(work)
    print(f"zan: {version([zan, '--version'])}; abc2midi: {version([abc2midi, '-ver'])}")
    print(f"machine: {os.cpu_count()} cores, {os.uname().release}; medians of {a.runs} runs, alternating")
    spawn = statistics.median(timed(["/bin/true"], work) for _ in range(a.runs))
    print(f"spawn: {spawn * 1000:.2f} ms\n")
    print("| notes | zan | abc2midi | ratio |")
    print("|---|---|---|---|")
    for n in (int(s) for s in a.sizes.split(",")):
        with open("score.zan", "w") as f:
            f.write(zan_score(n))
        with open("score.abc", "w") as f:
            f.write(abc_score(n))
        zan_argv = [zan, "-o", "zan.mid", "score.zan"]
        abc_argv = [abc2midi, "score.abc", "-o", "abc.mid"]
        timed(zan_argv, work)  # warm the page cache
        timed(abc_argv, work)
        z, b = [], []
        for _ in range(a.runs):
            z.append(timed(zan_argv, work))
            b.append(timed(abc_argv, work))
        zm, bm = statistics.median(z), statistics.median(b)
        ratio = f"zan {bm / zm:.1f}x faster" if zm <= bm else f"zan {zm / bm:.1f}x slower"
        print(f"| {n:,} | {zm * 1000:.2f} ms | {bm * 1000:.2f} ms | {ratio} |", flush=True)
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
