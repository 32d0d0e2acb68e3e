#!/usr/bin/env python3
"""Measures how many small faults planted in src/ the tests catch.

Each mutant changes one line of a copy of the tree: a comparison or a condition flipped, an
integer constant moved by one, or a whole statement deleted, such as a `raise` or a failure
check. The copy is rebuilt with the dev preset (without Valgrind, which finds no more faults of
this kind and takes longest) and the tests run; a mutant that compiles and passes every test has
survived. The mutants are a fixed sample, so that a score can be compared between commits:

    python3 tools/mutation_probe.py             # 40 mutants, seed 1
    python3 tools/mutation_probe.py -n 80 -s 2  # another sample

The generated tables and the Windows half, which no test here runs, are left out. Run as root,
the builds and tests run as nobody: a mutant can write where the program should not, such as
over /dev/stdout.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SKIPPED = {"LanguageModels.cpp", "Unicode.cpp", "NewFile-win32.cpp"}
SWAPS = [("==", "!="), ("!=", "=="), ("<=", "<"), (">=", ">"), (" < ", " <= "), (" > ", " >= "),
         ("&&", "||"), ("||", "&&"), ("true", "false"), ("false", "true")]


# Macros whose value on this Linux machine decides which branch of an #if is compiled.
KNOWN_MACROS = {"_WIN32": False, "__linux__": True}


def mutants_of(path):
    """Yields (line number, new line, description) for every mutant of one file that this
    machine compiles."""
    in_raw_string = False
    branches = []  # for each #if around the line: whether its branch here is compiled
    for number, line in enumerate(path.read_text().splitlines(), 1):
        directive = re.match(r"\s*#\s*(ifdef|ifndef|if|else|endif)\b\s*(\w*)", line)
        if directive:
            kind, macro = directive.groups()
            if kind in ("ifdef", "ifndef"):
                value = KNOWN_MACROS.get(macro)
                branches.append(True if value is None else value == (kind == "ifdef"))
            elif kind == "if":
                branches.append(True)
            elif kind == "else" and branches:
                branches[-1] = not branches[-1]
            elif kind == "endif" and branches:
                branches.pop()
            continue
        if not all(branches):
            continue
        # Code only: not comments, and not the text of string literals, which is prose; a raw
        # string, such as --help's, runs over several lines.
        if in_raw_string:
            in_raw_string = ')"' not in line
            continue
        code = line
        if 'R"(' in line and ')"' not in line.split('R"(', 1)[1]:
            in_raw_string = True
            code = line.split('R"(', 1)[0]
        code = re.sub(r'"(?:[^"\\]|\\.)*"', lambda m: '"' + " " * (len(m.group()) - 2) + '"',
                      code.split("//")[0])
        stripped = code.strip()
        if not stripped or stripped.startswith(("#", "*", "static_assert")):
            continue
        for old, new in SWAPS:
            for match in re.finditer(re.escape(old), code):
                changed = line[:match.start()] + new + line[match.end():]
                yield number, changed, f"{old.strip()} -> {new.strip()} at {match.start() + 1}"
        for match in re.finditer(r"(?<![\w.'\"])(\d+)(?![\w.'\"])", code):
            changed = line[:match.start()] + str(int(match.group(1)) + 1) + line[match.end():]
            yield number, changed, f"{match.group(1)} -> {int(match.group(1)) + 1} at {match.start() + 1}"
        # A whole statement on one line, its brackets balanced; not a declaration, such as a
        # deleted copy, which compiles the same without it wherever it compiles at all.
        if (stripped.endswith(";") and stripped.count("(") == stripped.count(")")
                and not re.match(r"(const|constexpr|using|struct|class|int|bool|std::\w+)\b", stripped)
                and not stripped.endswith(("= delete;", "= default;"))):
            yield number, "", "statement deleted"


# Nobody's, if this runs as root.
AS_USER = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"] if os.geteuid() == 0 else []


def run(command, cwd, timeout=None):
    return subprocess.run(AS_USER + command, cwd=cwd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          timeout=timeout).returncode == 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("-n", "--count", type=int, default=40, help="mutants to try")
    parser.add_argument("-s", "--seed", type=int, default=1)
    parser.add_argument("--work", default=str(ROOT / "build" / "mutants"),
                        help="a folder for the copy of the tree and its build")
    args = parser.parse_args()

    candidates = [(path.name, *mutant) for path in sorted((ROOT / "src").glob("*.cpp"))
                  if path.name not in SKIPPED for mutant in mutants_of(path)]
    sample = random.Random(args.seed).sample(candidates, min(args.count, len(candidates)))

    work = Path(args.work)
    tree = work / "tree"
    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(ROOT, tree, ignore=shutil.ignore_patterns("build", ".git"))
    build = tree / "build" / "probe"
    if AS_USER:
        shutil.chown(work, 65534, 65534)
        for path in work.rglob("*"):
            os.chown(path, 65534, 65534, follow_symlinks=False)
    if not (run(["cmake", "--preset", "dev", "-B", str(build),
                 "-DSIMPLE_ENCRYPTION_TEST_UNDER_VALGRIND=OFF"], tree)
            and run(["cmake", "--build", str(build)], tree)
            and run(["ctest", "--test-dir", str(build), "-j", "2"], tree)):
        sys.exit("the unchanged tree does not build or pass its tests")

    killed = compiled = 0
    survivors = []
    for name, number, changed, description in sample:
        source = tree / "src" / name
        original = source.read_text()
        lines = original.splitlines(keepends=True)
        lines[number - 1] = changed + "\n" if changed else ""
        source.write_text("".join(lines))
        try:
            if not run(["cmake", "--build", str(build)], tree):
                verdict = "does not compile"
            else:
                compiled += 1
                try:
                    passed = run(["ctest", "--test-dir", str(build), "-j", "2", "--stop-on-failure",
                                  "--timeout", "60"], tree, timeout=900)
                except subprocess.TimeoutExpired:
                    passed = False
                if passed:
                    verdict = "SURVIVED"
                    survivors.append(f"{name}:{number}: {description}: {original.splitlines()[number - 1].strip()}")
                else:
                    killed += 1
                    verdict = "killed"
        finally:
            source.write_text(original)
        print(f"{verdict:16} {name}:{number}: {description}", flush=True)

    print(f"\n{killed} of {compiled} mutants that compile killed"
          f" ({100 * killed / max(compiled, 1):.0f}%)")
    for survivor in survivors:
        print("survived:", survivor)


if __name__ == "__main__":
    main()
