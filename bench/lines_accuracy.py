#!/usr/bin/env python3
"""Measures -d --guess --lines, where each line has a shift of its own: how many lines of 2 to 5
words of held-out prose come back right, in each language the guess reads without -a, and how
fast, in how much memory, on 100 MB of such lines.

    bench/lines_accuracy.py [program] [lines]      # 2000 lines a language by default

The held-out text is bench/guess_accuracy.py's (data/registry.toml names it), never counted
into the tables nor used to fit the constants. A line is 2 to 5 words from a random word start,
prose by is_prose, with a letter of the language's alphabet and none of another script,
encrypted with a random shift of its alphabet, 1 to its size less one. The seed is fixed.
"""
import os
import random
import subprocess
import sys
import tempfile
import time
import unicodedata

import guess_accuracy as bench
import registry

WORDS = range(2, 6)


# Runs a command and prints its peak resident memory, from a small process of its own: a child
# of this one would count the text this one holds, which it inherits until it runs the program.
MEASURE = ("import os, subprocess, sys\n"
           "child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL)\n"
           "_, status, usage = os.wait4(child.pid, 0)\n"
           "sys.exit(status) if status else print(usage.ru_maxrss)")


def measure(command):
    """(seconds, KiB at most resident) of a run of `command`."""
    start = time.monotonic()
    resident = subprocess.run([sys.executable, "-c", MEASURE] + command, check=True,
                              stdout=subprocess.PIPE).stdout
    return time.monotonic() - start, int(resident)


def speed(work, sample, command):
    """(bytes, seconds, KiB at most resident) of `command` on 10 MB and on 100 MB of `sample`
    repeated: the memory must not grow with the input."""
    runs = []
    for megabytes in (10, 100):
        big = os.path.join(work, "%dMB" % megabytes)
        with open(big, "wb") as f:
            for _ in range(megabytes * 1_000_000 // len(sample) + 1):
                f.write(sample)
        runs.append((os.path.getsize(big),) + measure(command + [big]))
        os.remove(big)
    return runs


def print_speed(runs, what):
    for size, seconds, resident in runs:
        print("%s on %.0f MB: %.1f s, %.1f MB/s, at most %d KiB resident" % (
            what, size / 1e6, seconds, size / 1e6 / seconds, resident))


def guessed():
    """The languages of the alphabets the guess reads in by itself: the first, and other
    scripts'."""
    first = registry.ALPHABETS[0]
    return [l for l in registry.LANGUAGES if l["alphabet"] == first["name"] or
            registry.BY_NAME[l["alphabet"]]["script"] != first["script"]]


def lines(text, letters, script, count, rng):
    """`count` (words, plain, secret) lines of 2 to 5 words of `text`."""
    words = text.split(" ")
    made = []
    while len(made) < count:
        n = rng.choice(WORDS)
        start = rng.randrange(len(words) - n)
        plain = " ".join(words[start:start + n])
        # Of one script: a line that mixes scripts, as commands in a translated page do, has no
        # one shift. Letters of the script that the alphabet leaves out, as accented ones, stay
        # as they are under every shift, as they do in prose.
        if (not bench.is_prose(plain) or not any(c in letters.place for c in plain) or
                any(c.isalpha() and c not in letters.place and
                    not unicodedata.name(c, "").startswith(script.upper() + " ") for c in plain)):
            continue
        shift = rng.randrange(1, len(letters.lower))
        made.append((n, plain, "".join(letters.rotate(c, shift) for c in plain)))
    return made


def main():
    program = os.path.realpath(sys.argv[1] if len(sys.argv) > 1 else "build/release/simple_encryption")
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    rng = random.Random(1)
    print("| language | 2 words | 3 | 4 | 5 | all |\n|---|---:|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory() as work:
        for language in guessed():
            code = language["code"]
            text = bench.held_out(code)
            if len(text) < 10000:
                print("| %s | no held-out text |" % code)
                continue
            made = lines(text, bench.Letters(language["alphabet"]),
                         registry.BY_NAME[language["alphabet"]]["script"], count, rng)
            path = os.path.join(work, code)
            with open(path, "w", encoding="utf-8") as f:
                f.write("".join(secret + "\n" for _, _, secret in made))
            out = subprocess.run([program, "-d", "--guess", "--lines", path], check=True,
                                 stdout=subprocess.PIPE).stdout.decode("utf-8").split("\n")
            right = {n: [0, 0] for n in WORDS}
            for (n, plain, _), got in zip(made, out):
                right[n][0] += plain == got
                right[n][1] += 1
            print("| %s | %s | %s |" % (code, " | ".join(bench.pct(*right[n]) for n in WORDS),
                                        bench.pct(sum(r[0] for r in right.values()), len(made))))
            if code == "en":
                sample = open(path, "rb").read()
        runs = speed(work, sample, [program, "-d", "--guess", "--lines"])
    cpu = next((l.split(": ", 1)[1].strip() for l in open("/proc/cpuinfo")
                if l.startswith("model name")), "unknown")
    print("\n%d lines a language; %s" % (count, cpu))
    print_speed(runs, "-d --guess --lines, English lines,")


if __name__ == "__main__":
    main()
