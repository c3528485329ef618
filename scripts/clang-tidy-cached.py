#!/usr/bin/env python3
"""clang-tidy over every source of a compile_commands.json whose path matches
a pattern, some at a time, as run-clang-tidy does, skipping a source only when
clang-tidy has already found it clean exactly as it is now:

  scripts/clang-tidy-cached.py BUILD_DIR PATTERN LOG [-j JOBS]

A clean result is remembered under a key made of everything clang-tidy reads
for that source: its version, the .clang-tidy files, each compile command of
the source, and the contents of every file the preprocessor opens for it (the
source, the project's headers, the system's headers), as clang++ -M lists
them. The checkout's folder is written out of the key, so a fresh clone
elsewhere finds the results of an earlier one. A change to any of it, or a
finding, means the source is checked again next time. The results are kept
in $SORVANE_CLANG_TIDY_CACHE, by default ~/.cache/sorvane-clang-tidy.

What clang-tidy prints goes to LOG; the exit status is 1 if it found
anything in any source.
"""
import argparse
import concurrent.futures
import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
from pathlib import Path

TIDY = "clang-tidy-14"
CLANG = "clang++-14"


def arguments(entry):
    if "arguments" in entry:
        return list(entry["arguments"])
    return shlex.split(entry["command"])


def dependencies(entry):
    """The files the preprocessor opens for one compile command, by clang++ -M."""
    args = [CLANG]
    given = arguments(entry)[1:]
    skip = False
    for a in given:
        if skip:
            skip = False
        elif a in ("-o", "-MF", "-MT", "-MQ"):
            skip = True
        elif a not in ("-c", "-MD", "-MMD"):
            args.append(a)
    args += ["-M", "-w"]
    made = subprocess.run(args, cwd=entry["directory"], capture_output=True, text=True)
    if made.returncode != 0:
        return None  # checked anew; clang-tidy says what is wrong
    rule = made.stdout.replace("\\\n", " ")
    rule = rule.split(":", 1)[1] if ":" in rule else ""
    files = re.findall(r"(?:\\ |[^\s])+", rule)
    return [f.replace("\\ ", " ") for f in files]


hashes = {}


def content(path):
    if path not in hashes:
        hashes[path] = hashlib.sha256(Path(path).read_bytes()).digest()
    return hashes[path]


def key(source, entries, root, version, config):
    digest = hashlib.sha256()

    def add(text):
        digest.update(text.replace(root, "@ROOT@").encode())
        digest.update(b"\0")

    add(version)
    add(config)
    add(source)
    for entry in entries:
        add(entry["directory"])
        add(" ".join(arguments(entry)))
        files = dependencies(entry)
        if files is None:
            return None
        for f in files:
            path = os.path.normpath(os.path.join(entry["directory"], f))
            add(path)
            digest.update(content(path))
    return digest.hexdigest()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("pattern")
    parser.add_argument("log")
    parser.add_argument("-j", type=int, default=os.cpu_count() or 1)
    args = parser.parse_args()

    root = subprocess.run(["git", "rev-parse", "--show-toplevel"], capture_output=True,
                          text=True, check=True).stdout.strip()
    cache = Path(os.environ.get("SORVANE_CLANG_TIDY_CACHE")
                 or Path(os.environ.get("XDG_CACHE_HOME") or Path.home() / ".cache")
                 / "sorvane-clang-tidy")
    cache.mkdir(parents=True, exist_ok=True)
    version = subprocess.run([TIDY, "--version"], capture_output=True, text=True,
                             check=True).stdout
    configs = subprocess.run(["git", "ls-files", "-z", "*.clang-tidy", ".clang-tidy"],
                             cwd=root, capture_output=True, text=True, check=True).stdout
    config = "".join(f + "\0" + Path(root, f).read_text()
                     for f in sorted(set(filter(None, configs.split("\0")))))

    database = json.loads(Path(args.build, "compile_commands.json").read_text())
    sources = {}
    for entry in database:
        source = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
        if re.search(args.pattern, source):
            sources.setdefault(source, []).append(entry)

    with concurrent.futures.ThreadPoolExecutor(args.j) as pool:
        keys = dict(zip(sources, pool.map(
            lambda s: key(s, sources[s], root, version, config), sources)))
        to_check = sorted(s for s in sources if keys[s] is None or not (cache / keys[s]).exists())

        def tidy(source):
            return source, subprocess.run([TIDY, "-p", args.build, "-quiet", source],
                                          capture_output=True, text=True)

        failed = 0
        with open(args.log, "w") as log:
            for source, run in pool.map(tidy, to_check):
                log.write(f"== {source}\n{run.stdout}{run.stderr}")
                if run.returncode == 0:
                    if keys[source] is not None:
                        (cache / keys[source]).touch()
                else:
                    failed += 1
    print(f"clang-tidy: {len(sources)} sources, {len(to_check)} checked now, "
          f"{len(sources) - len(to_check)} unchanged since found clean ({cache}); "
          f"{failed} with findings")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
