#!/usr/bin/env python3
"""Measures the guess on text it has never seen, in every language it knows: how often the right
shift is ranked first, what is refused, how often an answer given without a note is wrong, and
how well --list's probabilities are calibrated.

    cmake --workflow --preset release && bench/guess_accuracy.py [program] [samples]

Held-out text, never counted into the tables (tools/language_tables.py) nor used to fit the
constants (tools/fit_guess.py), as data/registry.toml names it for each language: the manual
pages it lists, or Debian's manual pages in the language less those of the programs whose
message catalogues were counted in it and the paragraphs left untranslated, by the rule the
generator uses; where those are too few, the message catalogues, help texts mostly, of the
registry's `held_out_messages`, which were never counted. A language of an alphabet that shares
its script with the first is guessed with -a; the others without, so that the guess must find
the alphabet too. Pieces are cut at random word starts where letters make 85% or more of what is
not white space (is_prose), and where the registry lists the language's `common` words, a piece
must hold one. Caesar ciphertexts get a random shift, as prose, as capitals without gaps and in
groups of five, and single words of six letters or more are encrypted too; text of no language
is made in each alphabet from its first language: random letters in words of random length,
Vigenere ciphertexts with keys of 3 to 10 letters, and the language with its letters shuffled,
written in the same three ways, and in the first alphabet base64 and hex as well. Each kind runs
through --guess and --list in one process, each sample a file of its own. A language's samples
come from a seed of its own, so that adding a language changes no other's figures. Needs man and
col (Debian packages man-db and bsdextrautils).
"""
import glob
import os
import random
import string
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import language_tables  # noqa: E402  the rule that leaves English paragraphs out
import registry  # noqa: E402  the alphabets and languages

ALPHABETS = {a["name"]: a["letters"] for a in registry.ALPHABETS}
FIRST = registry.ALPHABETS[0]
# Packages whose message catalogues no table was counted from.
HELD_OUT = registry.HELD_OUT_MESSAGES
# The commonest short words of a language, where the registry lists them: a piece must hold one
# to count as the language's prose, rather than a command, a list of references or a name, which
# manual pages hold many of and which under -a nothing but the one language is there to explain.
COMMON = {(l["code"], l["alphabet"]): set(l["held_out"].get("common", "").split())
          for l in registry.LANGUAGES}
# Language, its alphabet, and the options the guess is run with: -a for an alphabet of the first
# alphabet's script, which the guess does not read a text in unless asked.
LANGUAGES = [(l["code"], l["alphabet"],
              ["-a", l["alphabet"]] if l["alphabet"] != FIRST["name"] and
              registry.BY_NAME[l["alphabet"]]["script"] == FIRST["script"] else [])
             for l in registry.LANGUAGES]
LENGTHS = [5, 10, 15, 20, 40, 100]
PRESENTATIONS = ["prose", "letters", "groups"]
NOISE = ["random", "vigenere", "shuffled"]
# Encodings of bytes, which are ASCII whatever the text was.
ENCODINGS = ["base64", "hex"]


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
    """About a megabyte of the language's held-out text, on one line: the manual pages the
    registry names, or the language's own less those that may share sentences with what was
    counted, or where those are too few, the catalogues of HELD_OUT."""
    pages = next(l for l in registry.LANGUAGES if l["code"] == language)["held_out"]["manpages"]
    if isinstance(pages, str):
        left_out = counted_pages(language)
        pages = [p for p in sorted(glob.glob("/usr/share/man/%s/man[1-8]/*" % pages))
                 if os.path.basename(p) not in left_out]
    text = []
    size = 0
    for page in pages:
        rendered = subprocess.run("man -l %s 2>/dev/null | col -b" % page, shell=True,
                                  stdout=subprocess.PIPE, check=False,
                                  env=dict(os.environ, MANWIDTH="80")).stdout
        # Paragraphs left in English, as the generator leaves them out of what it counts.
        kept = [p for p in rendered.decode("utf-8", errors="replace").split("\n\n")
                if language == "en" or len(language_tables.ENGLISH_WORDS.findall(p.lower())) < 2]
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
    """Whether letters make at least 85% of what is not white space in `piece`: code, shell
    sessions and tables are no language's prose."""
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
                            for c in piece) < n and (words & common or not common)
                            and is_prose(piece)):
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


def word(text, letters, rng):
    """A word of six letters or more from a random place in `text`."""
    while True:
        start = rng.randrange(len(text))
        if text[start] not in letters.place or (start > 0 and text[start - 1] in letters.place):
            continue
        end = start
        while end < len(text) and text[end] in letters.place:
            end += 1
        if end - start >= 6:
            return text[start:end]


def noise(kind, text, letters, n, rng, common):
    size = len(letters.lower)
    if kind in ENCODINGS:
        # Random bytes encoded, cut after the n-th letter.
        out, made = [], 0
        while made < n:
            c = (rng.choice(string.ascii_letters + string.digits + "+/") if kind == "base64"
                 else rng.choice(string.hexdigits[:16]))
            made += c.isalpha()
            out.append(c)
        return "".join(out)
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


def samples_of(language, alphabet, kind, presentation, n, text, rng, count):
    """`count` (text, (shift, the plain text as presented) or None for no Caesar cipher) of a
    cell."""
    letters = Letters(alphabet)
    made = []
    for _ in range(count):
        if kind in ("caesar", "word"):
            plain = (cut(text, letters, n, rng, COMMON[language, alphabet]) if kind == "caesar"
                     else word(text, letters, rng))
            shift = rng.randrange(1, len(letters.lower))
            secret = "".join(letters.rotate(c, shift) for c in plain)
            made.append((present(secret, letters, presentation),
                         (shift, present(plain, letters, presentation))))
        else:
            made.append((present(noise(kind, text, letters, n, rng, COMMON[language, alphabet]),
                                 letters, presentation), None))
    return made


def cells(alphabet, first_of_alphabet):
    """The (kind, presentation, letters) measured in a language of `alphabet`: text of no
    language only in the first of its alphabet's languages."""
    kinds = ["caesar"] + (NOISE + (ENCODINGS if alphabet == FIRST["name"] else [])
                          if first_of_alphabet else [])
    for kind in kinds:
        for presentation in PRESENTATIONS:
            for n in LENGTHS:
                if n >= 10 or (kind == "caesar" and presentation == "prose"):
                    yield kind, presentation, n
    yield "word", "prose", 0


def main():
    program = os.path.realpath(sys.argv[1] if len(sys.argv) > 1 else "build/release/simple_encryption")
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    results = []  # (language, kind, presentation, n, right, refused, answered, wrong, p)
    with tempfile.TemporaryDirectory() as work:
        seen = set()
        for language, alphabet, options in LANGUAGES:
            text = held_out(language)
            if len(text) < 10000:
                print("no held-out text for %s: left out" % language)
                continue
            label = " ".join([language] + options)
            rng = random.Random("%s-1" % label)
            for kind, presentation, n in cells(alphabet, alphabet not in seen):
                samples = samples_of(language, alphabet, kind, presentation, n, text, rng, count)
                folder = os.path.join(work, "%s%s-%s-%s-%d" % (language, alphabet, kind,
                                                               presentation, n))
                os.mkdir(folder)
                for (preview, p, said, noted), (_, truth) in zip(
                        run(program, options, samples, folder), samples):
                    right = truth is not None and truth[1].startswith(preview)
                    answered = said != "refused" and not noted
                    # --guess names the alphabet it found, unless it is the first or -a's.
                    named = None if options or alphabet == FIRST["name"] else alphabet
                    wrong = truth is not None and answered and said != (truth[0], named)
                    results.append((label, kind, presentation, n, right, said == "refused",
                                    answered, wrong, p))
            seen.add(alphabet)
    report(results, count)


def report(results, count):
    cpu = next((l.split(": ", 1)[1].strip() for l in open("/proc/cpuinfo")
                if l.startswith("model name")), "unknown")
    print("processor: %s\nsamples of each kind and length: %d\n" % (cpu, count))

    def share(rows, field):
        return pct(sum(r[field] for r in rows), len(rows))

    def cell(language, kind, presentation, n, field):
        return share([r for r in results if r[:4] == (language, kind, presentation, n)], field)

    def trio(shares):
        """As prose / capitals without gaps / groups of five, one % sign for all."""
        return " / ".join([x.rstrip("%") for x in shares[:-1]] + shares[-1:])

    def presented(language, kind, n, field):
        return trio([cell(language, kind, p, n, field) for p in PRESENTATIONS
                     if n >= 10 or p == "prose"])

    languages = list(dict.fromkeys(r[0] for r in results))
    print("Right shift and alphabet, ranked first by --list, as prose / capitals without gaps / "
          "groups of five:\n")
    print("| text | 5 letters | 10 | 15 | 20 | 40 | 100 | a word of 6+ |\n"
          "|---|---:|---:|---:|---:|---:|---:|---:|")
    for language in languages:
        row = [presented(language, "caesar", n, 4) for n in LENGTHS]
        print("| %s | %s | %s |" % (language, " | ".join(row), cell(language, "word", "prose", 0, 4)))
    # Below 20 letters nothing is refused, only noted.
    print("\nRefused, as prose / capitals without gaps / groups of five:\n")
    print("| text | 20 letters | 40 | 100 |\n|---|---:|---:|---:|")
    for language in languages:
        for kind in ["caesar"] + NOISE + ENCODINGS:
            if any(r[:2] == (language, kind) for r in results):
                print("| %s %s | %s |" % (language, kind, " | ".join(
                    presented(language, kind, n, 5) for n in LENGTHS[3:])))
    print("| no language, all kinds | %s |" % " | ".join(trio([share(
        [r for r in results if r[1] in NOISE + ENCODINGS and r[2:4] == (p, n)], 5)
        for p in PRESENTATIONS]) for n in LENGTHS[3:]))
    caesar = [r for r in results if r[1] in ("caesar", "word")]
    answered = [r for r in caesar if r[6]]
    print("\nanswers given without a note that are wrong: %d of %d (%s)" % (
        sum(r[7] for r in answered), len(answered), share(answered, 7)))
    short = [r for r in results if r[1] in NOISE + ENCODINGS and r[3] in (10, 15)]
    print("text of no language of 10 and 15 letters answered without a note: %d of %d (%s)" % (
        sum(r[6] for r in short), len(short), share(short, 6)))
    print("\n--list calibration, prose and capitals without gaps of 5 to 20 letters, in ten bins:")
    for language in languages + [None]:
        calibrated = [r for r in caesar if r[1] == "caesar" and r[2] in ("prose", "letters") and
                      r[3] <= 20 and language in (None, r[0])]
        bins = {}
        for r in calibrated:
            bins.setdefault(min(int(r[8] * 10), 9), []).append(r)
        error = sum(abs(sum(r[8] for r in b) - sum(r[4] for r in b)) for b in bins.values())
        print("%s: %d guesses, expected calibration error %.3f" % (
            language or "all", len(calibrated), error / max(len(calibrated), 1)))


if __name__ == "__main__":
    main()
