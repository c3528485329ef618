#!/usr/bin/env python3
"""Mutation check of the command and the settings (scripts/mutate.sh runs it).

Each mutant is one small change of one line of a .cpp file in src/command/ or
src/settings/: a statement dropped (a call, an assignment, a return), two
adjacent statements swapped, a comparison flipped or loosened, an integer
literal changed by one. One at a time, the file is changed in place, what it
affects is rebuilt in its own tree (build/mutate, configured from the linux
preset), and the tests that load the module run against it: sorvane_tests
first, then vekhost's sessions and the corpora replayed through the module.
A mutant that fails a test is killed; one that does not compile is killed by
the compiler. One that passes everything gets a second chance, sorvane_tests
under AddressSanitizer and UndefinedBehaviorSanitizer (build/mutate-asan, from
the linux-asan preset), as the test command runs them: a write one byte past
a buffer changes no result, yet it is a fault. One that passes that too
survives, and is reported unless scripts/mutate-equivalent.txt gives the
reason it cannot change behaviour.
The file is restored after every mutant, on any exit, and at the start of a
run after one that was killed outright.
"""

import argparse
import dataclasses
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
BUILD = ROOT / "build" / "mutate"
ASAN_BUILD = ROOT / "build" / "mutate-asan"
ASAN_ENV = {
    "ASAN_OPTIONS": "detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
                    ":strict_string_checks=1",
    "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1",
}
BACKUP = BUILD / "original"
EQUIVALENT = ROOT / "scripts" / "mutate-equivalent.txt"
SOURCE_DIRS = ["src/command", "src/settings"]
# Built in two stages: the test program first, and the rest only for a mutant
# that its tests do not kill.
UNIT_TARGETS = ["sorvane_tests"]
MODULE_TARGETS = ["Sorvane", "fuzz_registry_settings_replay", "fuzz_hostile_host_replay"]
# Everything else under ctest that runs the module: vekhost's sessions and
# golden files, and the fuzz corpora replayed (two of them through the module).
CTEST_REGEX = r"^(vekhost|fuzz)\."
# Hang guards only: a correct build takes well under a second for the first
# and under a minute for the second.
UNIT_TIMEOUT = 300
CTEST_TIMEOUT = 600


@dataclasses.dataclass
class Mutant:
    file: str  # relative to ROOT
    line: int  # 1-based
    kind: str
    description: str  # identifies the mutant within its line, stable across line shifts
    original: str  # the line as it stands (the first of two for a swap)
    replacement: list  # the lines that take the place of original (and of the next, for a swap)

    def key(self):
        return (self.file, self.description, self.original.strip())

    def where(self):
        return f"{self.file}:{self.line}"


# --- Reading the code ---------------------------------------------------------

def masked_lines(text):
    """The lines with comments and the contents of string and character
    literals blanked out, so that what is left is code, column for column."""
    out = []
    in_block = False
    for line in text.split("\n"):
        chars = list(line)
        i = 0
        n = len(chars)
        while i < n:
            if in_block:
                if line.startswith("*/", i):
                    chars[i] = chars[i + 1] = " "
                    i += 2
                    in_block = False
                else:
                    chars[i] = " "
                    i += 1
            elif line.startswith("/*", i):
                chars[i] = chars[i + 1] = " "
                i += 2
                in_block = True
            elif line.startswith("//", i):
                for j in range(i, n):
                    chars[j] = " "
                break
            elif chars[i] in "\"'":
                quote = chars[i]
                i += 1
                while i < n and chars[i] != quote:
                    if chars[i] == "\\" and i + 1 < n:
                        chars[i] = " "
                        i += 1
                    chars[i] = " "
                    i += 1
                i += 1
            else:
                i += 1
        out.append("".join(chars))
    return out


def balanced(code):
    depth = 0
    for c in code:
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
            if depth < 0:
                return False
    return depth == 0


def matching_paren(code, start):
    """Index of the ")" that closes the "(" at start, or -1."""
    depth = 0
    for i in range(start, len(code)):
        if code[i] == "(":
            depth += 1
        elif code[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


DECLARATION_WORDS = ("const ", "constexpr ", "static ", "using ", "auto ", "typedef ", "struct ",
                     "class ", "namespace ", "template", "case ", "default:", "else", "do ", "goto ")


def top_level_assignment(code):
    """The index of a lone "=" outside brackets, or -1."""
    depth = 0
    for i, c in enumerate(code):
        if c in "([{":
            depth += 1
        elif c in ")]}":
            depth -= 1
        elif c == "=" and depth == 0:
            before = code[i - 1] if i > 0 else ""
            after = code[i + 1] if i + 1 < len(code) else ""
            if before not in "=!<>+-*/%&|^" and after != "=":
                return i
    return -1


def statement_kind(code):
    """What a one-line statement is: "return", "call", "assignment",
    "declaration" (a declaration that calls something), or None for
    anything else."""
    code = code.strip()
    if not code.endswith(";") or not balanced(code) or code.count(";") != 1:
        return None
    if re.match(r"return\b", code):
        return "return"
    if code.startswith(DECLARATION_WORDS) or code.startswith(("if ", "for ", "while ", "}")):
        return None
    eq = top_level_assignment(code)
    if eq >= 0 and re.match(r"=\s*(default|delete)\s*;", code[eq:]):
        return None
    if eq >= 0:
        target = code[:eq].strip()
        if re.search(r"\s", re.sub(r"\[[^\]]*\]|\([^)]*\)", "", target)):
            return "declaration" if "(" in code[eq:] else None
        return "assignment"
    if re.match(r"[A-Za-z_][\w]*(\s*(\.|->|::)\s*[A-Za-z_]\w*)*\s*\(", code):
        return "call"
    return None


def if_body(code):
    """For a one-line "if (...) statement;" or "for (...) statement;", the
    column where the statement starts and its kind; else None."""
    m = re.match(r"(\s*)(if|for|while) \(", code)
    if not m:
        return None
    close = matching_paren(code, m.end() - 1)
    if close < 0:
        return None
    body = code[close + 1:]
    kind = statement_kind(body)
    if kind is None or kind == "declaration":
        return None
    return close + 1 + (len(body) - len(body.lstrip())), kind


# --- The mutation operators -----------------------------------------------------

COMPARISONS = {
    "==": ["!=", "<=", ">="],
    "!=": ["==", "<", ">"],
    "<": ["<="],
    "<=": ["<"],
    ">": [">="],
    ">=": [">"],
}
LITERAL = re.compile(r"(?<![\w.'])(0[xX][0-9a-fA-F]+|\d+)([uUlL]*)(?![\w.'])")


def literal_changes(value):
    if value == 0:
        return [1]
    if value == 1:
        return [0, 2]
    return [value + 1, value - 1]


def mutants_of_file(rel):
    path = ROOT / rel
    lines = path.read_text().split("\n")
    code_lines = masked_lines(path.read_text())
    mutants = []

    def add(index, kind, description, replacement):
        mutants.append(Mutant(rel, index + 1, kind, description, lines[index], replacement))

    for i, (line, code) in enumerate(zip(lines, code_lines)):
        stripped = code.strip()
        if not stripped or stripped.startswith("#") or "static_assert" in code:
            continue
        indent = line[: len(line) - len(line.lstrip())]

        # A statement dropped: the whole line, or the body of a one-line if.
        kind = statement_kind(code)
        if kind in ("return", "call", "assignment"):
            add(i, "drop", f"drop {kind}", [""])
        body = if_body(code)
        if body is not None:
            column, body_kind = body
            add(i, "drop", f"drop {body_kind} after the condition", [line[:column] + "{}"])

        # Two adjacent statements swapped.
        if i + 1 < len(lines):
            next_code = code_lines[i + 1]
            next_indent = lines[i + 1][: len(lines[i + 1]) - len(lines[i + 1].lstrip())]
            kinds = (kind, statement_kind(next_code))
            if (indent == next_indent and all(k in ("call", "assignment", "declaration") for k in kinds)
                    and "(" in code + next_code):
                add(i, "swap", "swap with the next line: " + lines[i + 1].strip(),
                    [lines[i + 1], line])

        # Comparisons, written with a blank on either side (templates and
        # includes are not).
        seen = {}
        for m in re.finditer(r"(?<=\s)(==|!=|<=|>=|<|>)(?=\s)", code):
            op = m.group(1)
            seen[op] = seen.get(op, 0) + 1
            after = code[m.end():].lstrip()
            changes = list(COMPARISONS[op])
            if op in ("!=", ">") and re.match(r"0(?![\w.])", after):
                changes.append("== 1")
            for new in changes:
                if new == "== 1":
                    zero = m.end() + (len(code[m.end():]) - len(after))
                    mutated = line[: m.start()] + "== 1" + line[zero + 1:]
                else:
                    mutated = line[: m.start()] + new + line[m.end():]
                add(i, "compare", f"'{op}' -> '{new}' #{seen[op]}", [mutated])

        # Integer literals changed by one (0 and 1 into each other).
        seen = {}
        for m in LITERAL.finditer(code):
            text = m.group(1)
            seen[text] = seen.get(text, 0) + 1
            value = int(text, 0)
            for new in literal_changes(value):
                new_text = hex(new).upper().replace("0X", "0x") if text.lower().startswith("0x") else str(new)
                mutated = line[: m.start(1)] + new_text + line[m.end(1):]
                add(i, "constant", f"{text} -> {new_text} #{seen[text]}", [mutated])
    return mutants


def all_mutants(files):
    mutants = []
    for rel in files:
        mutants.extend(mutants_of_file(rel))
    return mutants


def source_files():
    files = []
    for d in SOURCE_DIRS:
        files.extend(sorted(str(p.relative_to(ROOT)) for p in (ROOT / d).glob("*.cpp")))
    return files


# --- The list of equivalent mutants ---------------------------------------------

def read_equivalent():
    """file | mutation | reason | the line as it stands (stripped)."""
    entries = {}
    if not EQUIVALENT.exists():
        return entries
    for number, raw in enumerate(EQUIVALENT.read_text().split("\n"), 1):
        if not raw.strip() or raw.lstrip().startswith("#"):
            continue
        parts = [p.strip() for p in raw.split(" | ", 3)]
        if len(parts) != 4 or not all(parts):
            sys.exit(f"{EQUIVALENT.relative_to(ROOT)}:{number}: want 'file | mutation | reason | line'")
        file, description, reason, text = parts
        entries[(file, description, text)] = reason
    return entries


# --- Building and testing -------------------------------------------------------

def run(command, timeout=None, **kwargs):
    try:
        return subprocess.run(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=timeout, **kwargs)
    except subprocess.TimeoutExpired as e:
        return subprocess.CompletedProcess(command, "timeout", (e.stdout or b"").decode(errors="replace")
                                           if isinstance(e.stdout, bytes) else (e.stdout or ""))


def configure(tree, preset):
    # Ninja: deciding that nothing but one object and its programs need
    # building takes it a fraction of what it takes make.
    cache = tree / "CMakeCache.txt"
    if cache.exists() and "CMAKE_GENERATOR:INTERNAL=Ninja" in cache.read_text():
        return
    tree.mkdir(parents=True, exist_ok=True)
    for entry in tree.iterdir():
        if entry != BACKUP:
            shutil.rmtree(entry) if entry.is_dir() else entry.unlink()
    result = run(["cmake", "--preset", preset, "-B", str(tree), "-G", "Ninja",
                  "-DSORVANE_COVERAGE=OFF"])
    if result.returncode != 0:
        sys.exit(f"configuring {tree.relative_to(ROOT)} failed:\n" + result.stdout)


def build(jobs, targets=None, tree=BUILD):
    chosen = ["--target", *targets] if targets else []
    return run(["cmake", "--build", str(tree), "-j", str(jobs), *chosen])


def test_sanitized(jobs):
    """Like test() for sorvane_tests alone, in the sanitized tree."""
    if build(jobs, UNIT_TARGETS, ASAN_BUILD).returncode != 0:
        return "build"
    unit = run([str(ASAN_BUILD / "tests" / "sorvane_tests"), "--gtest_brief=1", "--gtest_fail_fast"],
               timeout=UNIT_TIMEOUT, env={**os.environ, **ASAN_ENV})
    if unit.returncode != 0:
        failed = re.findall(r"\[  FAILED  \] ([^\s,]+)", unit.stdout)
        found = re.search(r"(AddressSanitizer|runtime error|LeakSanitizer)[^\n]{0,80}", unit.stdout)
        return "sorvane_tests under the sanitizers: " + (
            failed[0] if failed else found.group(0) if found else f"exit {unit.returncode}")
    return None


def test(jobs):
    """None when every test passes, else what failed first; "build" when
    the programs beyond the test program do not build."""
    unit = run([str(BUILD / "tests" / "sorvane_tests"), "--gtest_brief=1", "--gtest_fail_fast"],
               timeout=UNIT_TIMEOUT)
    if unit.returncode != 0:
        failed = re.findall(r"\[  FAILED  \] ([^\s,]+)", unit.stdout)
        return "sorvane_tests: " + (failed[0] if failed else f"exit {unit.returncode}")
    if build(jobs, MODULE_TARGETS).returncode != 0:
        return "build"
    suite = run(["ctest", "--test-dir", str(BUILD), "-R", CTEST_REGEX, "-j", "2",
                 "--timeout", str(CTEST_TIMEOUT), "--stop-on-failure"])
    if suite.returncode != 0:
        failed = re.findall(r"\d+ - (\S+) \(", suite.stdout)
        return "ctest: " + (failed[0] if failed else f"exit {suite.returncode}")
    return None


# --- Changing a file and putting it back ------------------------------------------

class Restorer:
    """Keeps the original of the file being mutated, on disk as well, so that
    it goes back on any exit and, after a run killed outright, at the next."""

    def __init__(self):
        self.current = None

    def recover(self):
        if not BACKUP.exists():
            return
        for saved in BACKUP.rglob("*.cpp"):
            rel = saved.relative_to(BACKUP)
            shutil.copyfile(saved, ROOT / rel)
            print(f"restored {rel} from an earlier run that did not finish")
        shutil.rmtree(BACKUP)

    def mutate(self, mutant, text):
        if self.current != mutant.file:
            self.restore()
            saved = BACKUP / mutant.file
            saved.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(ROOT / mutant.file, saved)
            self.current = mutant.file
        (ROOT / mutant.file).write_text(text)

    def restore(self):
        if self.current is None:
            return
        saved = BACKUP / self.current
        # Written, not copied with its time: the next build must see the file
        # as changed, or it would keep the last mutant's object.
        (ROOT / self.current).write_text(saved.read_text())
        saved.unlink()
        self.current = None


def apply(mutant, original_text):
    lines = original_text.split("\n")
    index = mutant.line - 1
    assert lines[index] == mutant.original, mutant
    count = len(mutant.replacement)
    lines[index:index + count] = mutant.replacement
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("files", nargs="*", help="only these files (default: all of them)")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--line", type=int, action="append",
                        help="only the mutants of this line (with one file)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--restore", action="store_true",
                        help="only put back a file an interrupted run left mutated")
    args = parser.parse_args()

    files = [str(Path(f).resolve().relative_to(ROOT)) for f in args.files] or source_files()
    restorer = Restorer()
    BUILD.mkdir(parents=True, exist_ok=True)
    restorer.recover()
    if args.restore:
        return 0
    mutants = all_mutants(files)
    if args.line:
        mutants = [m for m in mutants if m.line in args.line]
    equivalent = read_equivalent()
    if args.list:
        for m in mutants:
            flag = "  (listed as equivalent)" if m.key() in equivalent else ""
            print(f"{m.where()}: {m.description} | {m.original.strip()}{flag}")
        print(f"{len(mutants)} mutants")
        return 0

    def stop(signum, _frame):
        raise KeyboardInterrupt(f"signal {signum}")

    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stop)

    started = time.monotonic()
    configure(BUILD, "linux")
    configure(ASAN_BUILD, "linux-asan")
    print(f"{len(mutants)} mutants in {len(files)} files; building the unchanged trees first",
          flush=True)
    for tree, targets in ((BUILD, None), (ASAN_BUILD, UNIT_TARGETS)):
        result = build(args.jobs, targets, tree)
        if result.returncode != 0:
            sys.exit(f"{tree.relative_to(ROOT)} does not build unchanged:\n" + result.stdout[-4000:])
    failure = test(args.jobs) or test_sanitized(args.jobs)
    if failure is not None:
        sys.exit(f"the unchanged tree fails its tests ({failure}): fix that first")

    killed, compile_failed, equivalent_survived, surviving, stale_equivalent = [], [], [], [], []
    sanitizer_killed = []
    originals = {f: (ROOT / f).read_text() for f in files}
    digests = {f: hashlib.sha256(t.encode()).hexdigest() for f, t in originals.items()}
    try:
        for number, mutant in enumerate(mutants, 1):
            restorer.mutate(mutant, apply(mutant, originals[mutant.file]))
            label = f"[{number}/{len(mutants)}] {mutant.where()}: {mutant.description}"
            if build(args.jobs, UNIT_TARGETS).returncode != 0:
                compile_failed.append(mutant)
                print(f"{label}: does not compile", flush=True)
                continue
            failure = test(args.jobs)
            if failure is None:
                failure = test_sanitized(args.jobs)
                if failure is not None:
                    sanitizer_killed.append(mutant)
            listed = mutant.key() in equivalent
            if failure is not None:
                killed.append(mutant)
                if listed:
                    stale_equivalent.append(mutant)
                print(f"{label}: killed by {failure}", flush=True)
            elif listed:
                equivalent_survived.append(mutant)
                print(f"{label}: survives, equivalent", flush=True)
            else:
                surviving.append(mutant)
                print(f"{label}: SURVIVES | {mutant.original.strip()}", flush=True)
    except KeyboardInterrupt as e:
        print(f"stopped ({e})")
        return 130
    finally:
        restorer.restore()
        for f, digest in digests.items():
            if hashlib.sha256((ROOT / f).read_text().encode()).hexdigest() != digest:
                print(f"warning: {f} differs from what it was before the run")

    minutes = (time.monotonic() - started) / 60
    keys = {m.key() for m in mutants}
    unused = [k for k in equivalent if k[0] in files and k not in keys]
    print()
    print(f"mutants generated:         {len(mutants)}")
    print(f"killed by the tests:       {len(killed)}"
          f" ({len(sanitizer_killed)} of them only under the sanitizers)")
    print(f"killed by the compiler:    {len(compile_failed)}")
    print(f"equivalent (listed):       {len(equivalent_survived)}")
    print(f"surviving:                 {len(surviving)}")
    print(f"run time:                  {minutes:.0f} min")
    for m in surviving:
        print(f"  SURVIVES {m.where()}: {m.description} | {m.original.strip()}")
    for m in sanitizer_killed:
        print(f"  killed only under the sanitizers: {m.where()}: {m.description}")
    for m in stale_equivalent:
        print(f"  listed as equivalent but killed: {m.where()}: {m.description}")
    for file, description, text in unused:
        print(f"  listed as equivalent but not generated: {file}: {description} | {text}")
    return 1 if surviving else 0


if __name__ == "__main__":
    sys.exit(main())
