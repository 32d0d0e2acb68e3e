#!/usr/bin/env python3
"""Measures the guess in the alphabets beyond ASCII, as bench/guess_accuracy.sh does in ASCII:
how often the right shift is ranked first, what is refused, how often an answer given without a
note is wrong, and how well --list's probabilities are calibrated.

    bench/alphabet_accuracy.py [program] [samples]      # run by bench/guess_accuracy.sh

Held-out text, never counted into the tables (tools/language_tables.py), as data/registry.toml
names it for each language beyond the first alphabet: Russian, Ukrainian and Greek from Debian's
manpages-ru, -uk and -el, guessed without -a, so that the guess must find the alphabet too;
Spanish in its 27 letters from manpages-es, with -a es. Pieces are cut where a common word of
the language is among them (its `common` words) and letters make 85% or more of what is not
white space (is_prose). The pages of the programs whose message catalogues were counted in that
language are left out, and so are paragraphs left in English, by the rule the generator uses.
manpages-el has too few pages left for Greek, which is taken from the message catalogues, help
texts mostly, of the registry's `held_out_messages`, which were never counted. Caesar ciphertexts get a
random shift, as prose, as capitals without gaps and in groups of five; text of no language is
made in each alphabet: random letters in words of random length, Vigenere ciphertexts with keys
of 3 to 10 letters, and the language with its letters shuffled, in the same three ways. The seed
is fixed. Needs man and col (Debian packages man-db and bsdextrautils).
"""
import glob
import os
import random
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import language_tables  # noqa: E402  the rule that leaves English paragraphs out
import registry  # noqa: E402  the alphabets and languages

ALPHABETS = {a["name"]: a["letters"] for a in registry.ALPHABETS}
# Packages whose message catalogues no table was counted from.
HELD_OUT = registry.HELD_OUT_MESSAGES
# The commonest short words of each language: a piece must hold one to count as the language's
# prose, rather than a command, a list of references or a name, which manual pages hold many of
# and which in -a es nothing but Spanish is there to explain.
COMMON = {l["code"]: l["held_out"]["common"] for l in registry.LANGUAGES
          if l["alphabet"] != registry.ALPHABETS[0]["name"]}
# Language, its alphabet, and the option that the guess is run with: -a for an alphabet of the
# first alphabet's script, which the guess does not read a text in unless asked.
FIRST_SCRIPT = registry.ALPHABETS[0]["script"]
LANGUAGES = [(l["code"], l["alphabet"],
              ["-a", l["alphabet"]] if registry.BY_NAME[l["alphabet"]]["script"] == FIRST_SCRIPT
              else []) for l in registry.LANGUAGES if l["alphabet"] != registry.ALPHABETS[0]["name"]]
LENGTHS = [5, 10, 15, 20, 40, 100]
PRESENTATIONS = ["prose", "letters", "groups"]
NOISE = ["random", "vigenere", "shuffled"]


def counted_pages(language):
    """The names of the manual pages of the packages whose message catalogues in `language` the
    tables were counted from: their translations may share sentences with the catalogues', and
    are left out."""
    pages = set()
    for package in registry.MESSAGES:
        listed = subprocess.run(["dpkg-query", "-L", package], stdout=subprocess.PIPE,
                                check=True, text=True).stdout.split("\n")
        if any(p.startswith("/usr/share/locale/%s/" % language) for p in listed):
            pages |= {os.path.basename(p) for p in listed if p.startswith("/usr/share/man/")}
    return pages


def held_out(language):
    """About a megabyte of the language's manual pages, as text on one line a paragraph, or where
    they are too few, the catalogues of HELD_OUT."""
    left_out = counted_pages(language)
    text = []
    size = 0
    for page in sorted(glob.glob("/usr/share/man/%s/man[1-8]/*" % language)):
        if os.path.basename(page) in left_out:
            continue
        rendered = subprocess.run("man -l %s 2>/dev/null | col -b" % page, shell=True,
                                  stdout=subprocess.PIPE, check=False,
                                  env=dict(os.environ, MANWIDTH="80")).stdout
        # Paragraphs left in English, as the generator leaves them out of what it counts.
        kept = [p for p in rendered.decode("utf-8", errors="replace").split("\n\n")
                if len(language_tables.ENGLISH_WORDS.findall(p.lower())) < 2]
        text.append("\n".join(kept))
        size += len(rendered)
        if size > 1_000_000:
            break
    if size < 100_000:
        text += language_tables.messages(language, HELD_OUT)
    return " ".join(" ".join(text).split())


class Letters:
    def __init__(self, alphabet):
        self.lower = ALPHABETS[alphabet]
        self.upper = self.lower.upper()
        self.place = {c: i for i, c in enumerate(self.lower)}
        self.place.update({c: i for i, c in enumerate(self.upper)})

    def rotate(self, c, k):
        i = self.place.get(c)
        if i is None:
            return c
        letters = self.lower if c in self.lower else self.upper
        return letters[(i + k) % len(letters)]


def is_prose(piece):
    """Whether letters make at least 85% of what is not white space in `piece`, as in
    bench/guess_accuracy.sh: code, shell sessions and tables are no language's prose."""
    letters = sum(c.isalpha() for c in piece)
    others = sum(not c.isalpha() and not c.isspace() for c in piece)
    return letters >= 0.85 * (letters + others)


def cut(text, letters, n, rng, common):
    """n letters from a random word start, with what lies between them, that hold a word of
    `common`, where the alphabet holds most of the letters: a piece with more ASCII letters
    (commands, options) is judged as ASCII text, by design."""
    while True:
        start = rng.randrange(len(text))
        if text[start] not in letters.place or (start > 0 and text[start - 1] in letters.place):
            continue
        found = 0
        for end in range(start, len(text)):
            if text[end] in letters.place:
                found += 1
                if found == n:
                    piece = text[start:end + 1]
                    words = set("".join(c if c.isalpha() else " " for c in piece).lower().split())
                    if (sum(c.isascii() and c.isalpha() and c not in letters.place
                            for c in piece) < n and words & common and is_prose(piece)):
                        return piece
                    break
        # too near the end, or mostly ASCII: another start


def present(text, letters, presentation):
    if presentation == "prose":
        return text
    only = "".join(letters.upper[letters.place[c]] for c in text if c in letters.place)
    if presentation == "letters":
        return only
    return " ".join(only[i:i + 5] for i in range(0, len(only), 5))


def noise(kind, text, letters, n, rng, common):
    size = len(letters.lower)
    if kind == "random":
        words, made = [], 0
        while made < n:
            length = min(rng.randint(1, 10), n - made)
            words.append("".join(rng.choice(letters.lower) for _ in range(length)))
            made += length
        return " ".join(words)
    piece = cut(text, letters, n, rng, common)
    if kind == "shuffled":
        chosen = [c for c in piece if c in letters.place]
        rng.shuffle(chosen)
        it = iter(chosen)
        return "".join(next(it) if c in letters.place else c for c in piece)
    key = [rng.randrange(size) for _ in range(rng.randint(3, 10))]
    out, j = [], 0
    for c in piece:
        if c in letters.place:
            c = letters.rotate(c, key[j % len(key)])
            j += 1
        out.append(c)
    return "".join(out)


def run(program, options, samples, work):
    """Writes each sample to a file and runs --guess and --list on them all. Returns, for each,
    (first listed preview, its probability, what --guess said: (shift, alphabet) or "refused",
    whether it noted that it was unsure)."""
    names = []
    for i, (text, _) in enumerate(samples):
        name = "%05d" % i
        with open(os.path.join(work, name), "w", encoding="utf-8") as f:
            f.write(text + "\n")
        names.append(name)
    guess = subprocess.run([program, "--guess"] + options + ["--"] + names, cwd=work,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    listing = subprocess.run([program, "--list"] + options + ["--"] + names, cwd=work,
                             stdout=subprocess.PIPE, check=True)
    said, noted = {}, set()
    for line in guess.stdout.decode("utf-8").splitlines():
        answer, name = line.split("  ")
        fields = answer.split(" ")
        said[name] = (int(fields[0]), fields[1] if len(fields) > 1 else None)
    for line in guess.stderr.decode("utf-8").splitlines():
        name, _, message = line[len("simple_encryption: "):].partition(": ")
        if message.startswith("no shift"):
            said[name] = "refused"
        elif message.startswith("uncertain"):
            noted.add(name)
    first = {}
    lines = listing.stdout.decode("utf-8").splitlines()
    for i, line in enumerate(lines):
        if line.startswith("==> "):
            shift, probability, preview = lines[i + 1].split("\t", 2)
            first[line[4:-4]] = (preview, float(probability[:-1]) / 100)
    return [first[n] + (said.get(n), n in noted) for n in names]


def pct(a, b):
    return "%.1f%%" % (100 * a / b) if b else ""


def main():
    program = os.path.realpath(sys.argv[1] if len(sys.argv) > 1 else "build/release/simple_encryption")
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    rng = random.Random(1)
    results = []  # (language, kind, presentation, n, right, refused, answered, wrong, p)
    with tempfile.TemporaryDirectory() as work:
        for language, alphabet, options in LANGUAGES:
            text = held_out(language)
            if len(text) < 10000:
                print("no manual pages for %s: left out" % language)
                continue
            letters = Letters(alphabet)
            common = set(COMMON[language].split())
            for kind in ["caesar"] + NOISE:
                for presentation in PRESENTATIONS:
                    for n in LENGTHS:
                        if n < 10 and (kind != "caesar" or presentation != "prose"):
                            continue
                        samples = []
                        for _ in range(count):
                            if kind == "caesar":
                                plain = cut(text, letters, n, rng, common)
                                shift = rng.randrange(1, len(letters.lower))
                                secret = "".join(letters.rotate(c, shift) for c in plain)
                                samples.append((present(secret, letters, presentation),
                                                (shift, present(plain, letters, presentation))))
                            else:
                                samples.append((present(noise(kind, text, letters, n, rng, common),
                                                        letters, presentation), None))
                        folder = os.path.join(work, "%s-%s-%s-%d" % (language, kind, presentation, n))
                        os.mkdir(folder)
                        for (preview, p, said, noted), (_, truth) in zip(
                                run(program, options, samples, folder), samples):
                            right = truth is not None and truth[1].startswith(preview)
                            answered = said != "refused" and not noted
                            named = None if options else alphabet
                            wrong = truth is not None and answered and said != (truth[0], named)
                            results.append((language, kind, presentation, n, right,
                                            said == "refused", answered, wrong, p))
    cpu = next((l.split(": ", 1)[1].strip() for l in open("/proc/cpuinfo")
                if l.startswith("model name")), "unknown")
    print("processor: %s\nsamples of each kind and length: %d\n" % (cpu, count))

    def cell(language, kind, presentation, n, field):
        rows = [r for r in results if r[:4] == (language, kind, presentation, n)]
        return pct(sum(r[field] for r in rows), len(rows))

    languages = sorted({r[0] for r in results}, key=[l[0] for l in LANGUAGES].index)
    print("Right shift and alphabet, ranked first by --list:\n")
    print("| text | 5 letters | 10 | 15 | 20 | 40 | 100 |\n|---|---:|---:|---:|---:|---:|---:|")
    for language in languages:
        for presentation in PRESENTATIONS:
            print("| %s-%s | %s |" % (language, presentation, " | ".join(
                cell(language, "caesar", presentation, n, 4) for n in LENGTHS)))
    print("\nRefused:\n")
    print("| text | 10 letters | 15 | 20 | 40 | 100 |\n|---|---:|---:|---:|---:|---:|")
    for language in languages:
        for kind in ["caesar"] + NOISE:
            for presentation in PRESENTATIONS:
                print("| %s %s-%s | %s |" % (language, kind, presentation, " | ".join(
                    cell(language, kind, presentation, n, 5) for n in LENGTHS[1:])))
    caesar = [r for r in results if r[1] == "caesar"]
    answered = [r for r in caesar if r[6]]
    print("\nanswers given without a note that are wrong: %d of %d (%s)" % (
        sum(r[7] for r in answered), len(answered), pct(sum(r[7] for r in answered), len(answered))))
    calibrated = [r for r in caesar if r[2] in ("prose", "letters") and r[3] <= 20]
    bins = {}
    for r in calibrated:
        bins.setdefault(min(int(r[8] * 10), 9), []).append(r)
    error = sum(abs(sum(r[8] for r in b) - sum(r[4] for r in b)) for b in bins.values())
    print("--list calibration, prose and letters only of 5 to 20 letters, %d guesses: expected "
          "calibration error %.3f" % (len(calibrated), error / max(len(calibrated), 1)))


if __name__ == "__main__":
    main()
