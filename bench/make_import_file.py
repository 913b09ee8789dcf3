#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes a format-1 MIDI file of N notes (default 1,000,000) for timing
`zan import`: 16 tracks, one a channel, chords and runs of eighths with
varied velocities and lengths, a controller every bar.

  bench/make_import_file.py big.mid && time build/bin/zan import big.mid -o big.zan
"""
import random
import struct
import sys


def varlen(v):
    out = [v & 0x7F]
    v >>= 7
    while v:
        out.append((v & 0x7F) | 0x80)
        v >>= 7
    return bytes(reversed(out))


def track(channel, notes, rnd):
    events = []
    t = 0
    for i in range(notes):
        key = 36 + rnd.randrange(60)
        length = rnd.choice((60, 120, 240, 480, 90))
        events.append((t, bytes((0x90 | channel, key, 40 + rnd.randrange(80)))))
        events.append((t + length - rnd.choice((0, 1, 10)), bytes((0x80 | channel, key, 64))))
        if i % 16 == 0:
            events.append((t, bytes((0xB0 | channel, 11, rnd.randrange(128)))))
        t += rnd.choice((0, 240, 240, 120))
    events.sort(key=lambda e: e[0])
    body = bytearray()
    last = 0
    for tick, b in events:
        body += varlen(tick - last) + b
        last = tick
    body += b'\x00\xff\x2f\x00'
    return b'MTrk' + struct.pack('>I', len(body)) + bytes(body)


def main():
    path = sys.argv[1]
    total = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    rnd = random.Random(1)
    tracks = 16
    data = b'MThd' + struct.pack('>IHHH', 6, 1, tracks, 480)
    for ch in range(tracks):
        data += track(ch, total // tracks, rnd)
    open(path, 'wb').write(data)


if __name__ == '__main__':
    main()
