#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Reads the WAV zan_live_trial recorded and prints, beat by beat (a quarter
at 240 a minute), which of the two notes of the trial sounds (C5 or G5, by
the strength of each pitch, Goertzel's filter), so that the changed melody
shows where it came in. Plain Python, no libraries.

    live_trial.py fluidsynth.wav RUN EDIT TAKEN   (seconds, as zan_live_trial prints them)
"""
import array
import math
import sys
import wave

NOTES = {"C5": 523.25, "G5": 783.99}
BEAT = 0.25  # seconds: a quarter at 240


def power(samples, rate, freq):
    coeff = 2 * math.cos(2 * math.pi * freq / rate)
    s1 = s2 = 0.0
    for x in samples:
        s1, s2 = x + coeff * s1 - s2, s1
    return (s1 * s1 + s2 * s2 - coeff * s1 * s2) / (len(samples) ** 2)


def main():
    path = sys.argv[1]
    run, edit, taken = (float(x) for x in sys.argv[2:5])
    with wave.open(path) as w:
        rate, channels = w.getframerate(), w.getnchannels()
        data = array.array("h", w.readframes(w.getnframes()))
    mono = [(data[i] + data[i + 1]) / 2 for i in range(0, len(data) - 1, channels)] if channels == 2 else list(data)
    start_index = next(i for i, x in enumerate(mono) if abs(x) > 500)
    start = start_index / rate
    print(f"{path}: {len(mono) / rate:.2f} s at {rate} Hz; first sound {start:.3f} s (Run pressed at {run:.3f} s)")
    edit_at = start + (edit - run)
    first_g = None
    t = start
    while t + BEAT <= len(mono) / rate:
        seg = mono[int(t * rate):int(t * rate) + int(BEAT * rate * 0.8)]  # the note, not its release
        strengths = {name: power(seg, rate, f) for name, f in NOTES.items()}
        name = max(strengths, key=strengths.get)
        if strengths[name] < 1.0:
            name = "-"
        if name == "G5" and first_g is None and t > edit_at - BEAT:
            first_g = t
        mark = "  <- edit" if t <= edit_at < t + BEAT else ""
        print(f"{t - start:6.2f} s  pass {int((t - start) // 4) + 1}  {name}{mark}")
        t += BEAT
    if first_g is None:
        print("the change was never heard")
        return 1
    print(f"edit at {edit - run:.2f} s into the music, new music taken at {taken - run:.2f} s, first G heard at "
          f"{first_g - start:.2f} s: {first_g - edit_at:.2f} s after the edit (a pass lasts 4 s)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
