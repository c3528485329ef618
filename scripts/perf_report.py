#!/usr/bin/env python3
"""Writes docs/performance.md and docs/performance.svg from scripts/bench.sh's results.

    scripts/perf_report.py RESULTS_DIR DOCS_DIR

RESULTS_DIR holds bench.json (Google Benchmark's JSON), vekhost.txt (one line
per run: elements, bytes, then for vekhost and for the floor wall seconds, CPU
seconds and peak KiB) and machine.txt. Standard library only.
"""
import json
import math
import os
import re
import sys

# The paths and the drawing sizes the benchmark ran, as its run names give
# them ("PATH/pair/SIZE"): the benchmark is their one home.
SIZES = []
PATHS = []
NS = {'ns': 1.0, 'us': 1e3, 'ms': 1e6, 's': 1e9}


def load_runs(path):
    """Each benchmark's counters over its repetitions, by run name: the pairs
    counted together, the fastest times the fastest of all, medians the
    median of the repetitions' medians; "time" is the fastest real time in ns."""
    with open(path, encoding='utf-8') as f:
        data = json.load(f)
    reps = {}
    for b in data['benchmarks']:
        if b.get('run_type') == 'aggregate':
            continue
        name = b.get('run_name', b['name']).split('/min_time')[0].split('/manual_time')[0]
        run = dict(b)
        run['time'] = b['real_time'] * NS[b.get('time_unit', 'ns')]
        reps.setdefault(name, []).append(run)
    runs = {}
    for name, rs in reps.items():
        run = dict(rs[0])
        run['iterations'] = sum(r['iterations'] for r in rs)
        run['repetitions'] = len(rs)
        run['time'] = min(r['time'] for r in rs)
        for key in ('module_min_ns', 'baseline_min_ns'):
            if key in run:
                run[key] = min(r[key] for r in rs)
        for key in ('module_ns', 'baseline_ns', 'ratio'):
            if key in run:
                run[key] = sorted(r[key] for r in rs)[len(rs) // 2]
        runs[name] = run
    return data.get('context', {}), runs


def paths_and_sizes(runs):
    """The paths in the benchmark's order and the sizes ascending."""
    paths, sizes = [], set()
    for name in runs:
        m = re.fullmatch(r'(\w+)/pair/(\d+)', name)
        if m:
            if m.group(1) not in paths:
                paths.append(m.group(1))
            sizes.add(int(m.group(2)))
    return paths, sorted(sizes)


def pair(runs, path, size):
    return runs.get('%s/pair/%d' % (path, size))


def host_per_element(runs, size):
    run = runs.get('FigureBothLineFlags/host/%d' % size)
    if run is None or not run.get('elements'):
        return None
    return run['time'] / run['elements']


def fmt(value, digits=1):
    return '-' if value is None else '%.*f' % (digits, value)


def apply_table(runs):
    lines = ['| path | elements | pairs | module ns/element | baseline ns/element |'
             ' module / baseline |',
             '|---|---:|---:|---:|---:|---:|']
    worst = 0.0
    for path in PATHS:
        for size in SIZES:
            p = pair(runs, path, size)
            if p is None:
                continue
            worst = max(worst, p['ratio'])
            lines.append('| %s | %d | %d | %s | %s | %s |' % (
                path, size, p['iterations'], fmt(p['module_ns']), fmt(p['baseline_ns']),
                fmt(p['ratio'], 3)))
    return lines, worst


def figure_targets(runs):
    most, least = '10^%d' % round(math.log10(SIZES[-1])), '10^%d' % round(math.log10(SIZES[0]))
    lines = ['| figure path | ns/element at %s | at %s | %s / %s |' % (most, least, most, least),
             '|---|---:|---:|---:|']
    for path in [p for p in PATHS if p.startswith('Figure')]:
        big, small = pair(runs, path, SIZES[-1]), pair(runs, path, SIZES[0])
        big = big['module_min_ns'] if big else None
        small = small['module_min_ns'] if small else None
        lines.append('| %s | %s | %s | %s |' % (path, fmt(big), fmt(small),
                                               fmt(big / small if big and small else None, 2)))
    return lines


def load_settings_table(runs):
    p = runs.get('LoadSettings/pair')
    if not p:
        return []
    return ['| LoadSettings | pairs | module ns/call | baseline ns/call | module / baseline |',
            '|---|---:|---:|---:|---:|',
            '| with the values stored | %d | %.0f | %.0f | %.3f |' % (
                p['iterations'], p['module_ns'], p['baseline_ns'], p['ratio']),
            '',
            'The baseline opens the key, queries the value and closes the key for each',
            'of the eight values, and reads each text with the C runtime\'s `_wtoi`, as',
            'the module must. Nearly all of the time is the registry stand-in\'s.']


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


def vekhost_table(path):
    lines = ['| elements | file MB | vekhost s | vekhost CPU s | vekhost peak RSS MiB |'
             ' nlohmann parse+dump s | nlohmann CPU s | nlohmann peak RSS MiB |'
             ' vekhost / nlohmann time |',
             '|---:|---:|---:|---:|---:|---:|---:|---:|---:|']
    if not os.path.exists(path):
        return lines
    runs = {}
    with open(path, encoding='utf-8') as f:
        for row in f:
            fields = row.split()
            runs.setdefault(int(fields[0]), []).append(fields)
    for n in sorted(runs):
        rows = runs[n]
        col = [median(float(r[i]) for r in rows) for i in range(1, 8)]
        size, vt, vc, vr, ft, fc, fr = col
        lines.append('| %d | %.1f | %.2f | %.2f | %.0f | %.2f | %.2f | %.0f | %.2f |' % (
            n, size / 1e6, vt, vc, vr / 1024, ft, fc, fr / 1024,
            vt / ft if ft else float('nan')))
    return lines


def svg_plot(runs):
    width, height, left, right, top, bottom = 640, 400, 70, 170, 30, 50
    series = [('module', '#c0392b'), ('baseline', '#2471a3'), ('host', '#1e8449')]
    points = {}
    values = []
    def value(runner, size):
        if runner == 'host':
            return host_per_element(runs, size)
        p = pair(runs, 'FigureBothLineFlags', size)
        return p['%s_min_ns' % runner] if p else None

    for runner, _ in series:
        pts = [(s, value(runner, s)) for s in SIZES]
        points[runner] = [(s, v) for s, v in pts if v]
        values += [v for _, v in points[runner]]
    if not values:
        values = [1.0]
    lo = 10 ** math.floor(math.log10(min(values)))
    hi = 10 ** math.ceil(math.log10(max(values)))
    if hi <= lo:
        hi = lo * 10

    def x(s):
        return left + (math.log10(s) - 3) / 3 * (width - left - right)

    def y(v):
        return top + (1 - (math.log10(v) - math.log10(lo)) / (math.log10(hi) - math.log10(lo))) * (
            height - top - bottom)

    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'font-family="sans-serif" font-size="12">' % (width, height),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="18">Figure apply, both line flags: ns per element</text>' % left]
    for s in SIZES:
        out.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#ddd"/>' % (
            x(s), top, x(s), height - bottom))
        out.append('<text x="%.1f" y="%d" text-anchor="middle">%s</text>' % (
            x(s), height - bottom + 18, '10^%d' % round(math.log10(s))))
    decade = lo
    while decade <= hi * 1.0001:
        out.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="#ddd"/>' % (
            left, y(decade), width - right, y(decade)))
        out.append('<text x="%d" y="%.1f" text-anchor="end">%g</text>' % (left - 6, y(decade) + 4, decade))
        decade *= 10
    out.append('<text x="%d" y="%d" text-anchor="middle">elements</text>' % (
        (left + width - right) // 2, height - 12))
    for i, (runner, colour) in enumerate(series):
        pts = points[runner]
        if pts:
            out.append('<polyline fill="none" stroke="%s" stroke-width="2" points="%s"/>' % (
                colour, ' '.join('%.1f,%.1f' % (x(s), y(v)) for s, v in pts)))
            for s, v in pts:
                out.append('<circle cx="%.1f" cy="%.1f" r="3" fill="%s"/>' % (x(s), y(v), colour))
        label = {'module': 'module', 'baseline': 'baseline', 'host': 'host alone'}[runner]
        ly = top + 20 + 20 * i
        out.append('<line x1="%d" y1="%d" x2="%d" y2="%d" stroke="%s" stroke-width="2"/>' % (
            width - right + 15, ly, width - right + 40, ly, colour))
        out.append('<text x="%d" y="%d">%s</text>' % (width - right + 46, ly + 4, label))
    out.append('</svg>')
    return '\n'.join(out) + '\n'


TEXT_APPROACH = """## How vekhost reads and writes drawings

vekhost reads a drawing with nlohmann-json's SAX interface (the parser
without its document): each entry of the three long lists (layers, segments,
elements) is gathered into a small document of its own, checked with the same
checks as before and turned into the simulated host's records at once, then
dropped. The top level, which is small, is kept as a document. Duplicate keys
are caught per object as the keys arrive, with a short list of the keys seen
(a hash set for an object of many keys), so the reading is linear on any
input. Problems are still reported in the same order as a check of the whole
document would find them: a duplicate key or too deep a nesting where it
stands, text that is no JSON where it fails, and only then the content, top
level first, then layers, segments and elements, each in file order.
Each value's JSON path, which an error names, is spelt only when an error is
reported: the checks keep where they stand as a chain of parents and keys.
`--out` is written entry by entry: each layer, segment and element becomes a
small document that nlohmann's own `dump` spells at its depth, so the file
reads as `dump(2)` of the whole would; the text goes to the file a megabyte
at a time, so the result is never held whole in memory.

The session's summary and the picture after it compare each element as it was
with what it is now. The simulated drawing keeps, once vekhost asks it to,
the first value of each property the library changes (`sim::Drawing::
KeepOriginals`), so nothing else of the drawing is copied: a copy of a
million elements took 450 MB.

Why this and not another library: nlohmann-json was already the project's
JSON library, it is header-only and cross-builds with MinGW as it is (the
Wine suite runs vekhost.exe), and its SAX interface gives the linear,
document-free reading the sizes need without a new dependency. A faster
parser (simdjson, RapidJSON) would add a dependency to the Debian and MinGW
builds for a part that the measurements below show is no longer the cost.
"""


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    results, docs = sys.argv[1], sys.argv[2]
    context, runs = load_runs(os.path.join(results, 'bench.json'))
    PATHS[:], SIZES[:] = paths_and_sizes(runs)
    if not PATHS:
        sys.exit('%s: no PATH/pair/SIZE run in it' % os.path.join(results, 'bench.json'))
    table, worst = apply_table(runs)
    machine = ''
    if os.path.exists(os.path.join(results, 'machine.txt')):
        with open(os.path.join(results, 'machine.txt'), encoding='utf-8') as f:
            machine = f.read().strip()
    lines = [
        '# Performance',
        '',
        'Generated by `scripts/bench.sh` (through `scripts/perf_report.py`) from the',
        'benchmarks in `bench/` and from vekhost runs over generated drawings',
        '(`scripts/make-drawing.py`). Do not edit by hand: run `scripts/bench.sh`.',
        '',
        '## The machine',
        '',
        '```',
        machine,
        '```',
        '',
        'Benchmarks built with the linux preset (%s), run while the machine had %s CPUs.' % (
            'RelWithDebInfo', context.get('num_cpus', '?')),
        '',
        '## The module against its baselines',
        '',
        'Each apply is timed alone: the drawing, the command start, the source pick and',
        'the selection are made before it, with the simulated host\'s call trace and',
        'message log off. The baseline is a hand-written loop that makes exactly the',
        'module\'s host calls (`bench/baseline.cpp`; a test holds it to the module\'s calls',
        'one for one). Elements sit in segments of eight.',
        '',
        'The machine is shared, and its speed changes from one second to the next by',
        'more than the difference measured here. So the module and its baseline are',
        'timed in pairs, one right after the other, the first of the two alternating;',
        'the ratio is the median of the ratios within the pairs, and the times the',
        'medians of each side. Each benchmark runs three times, the runs of all of them',
        'shuffled together (`--benchmark_enable_random_interleaving`), and the table',
        'gives the median of the three. The times per element below the table, and the',
        'plot, take the fastest apply of each side instead: what else the machine does',
        'can only add time to an apply.',
        '',
    ] + table + [
        '',
        'Worst module / baseline ratio: **%.3f** (target: at most 1.05).' % worst,
        '',
    ] + load_settings_table(runs) + [
        '',
        '## Figure apply per element',
        '',
        'Target: at most 60 ns per element at 10^6 elements, and the cost per element at',
        '10^6 within 1.3 times that at 10^3.',
        '',
    ] + figure_targets(runs) + [
        '',
        '![ns per element](performance.svg)',
        '',
        'The simulated host keeps its element and segment records in blocks in the',
        'order they were added, a large drawing\'s in 2 MiB regions the kernel backs',
        'with large pages (`veksim/sim_memory.h`), and finds them by id through tables',
        'in id order. It prefetches nothing itself: asking for the next segments\'',
        'records and chains ahead of the module measured slower at 10^3 and at 10^6',
        'than leaving the walk to the processor. Every hole\'s entries are lent',
        'in one buffer, which stays in the cache, instead of a copy kept by each hole,',
        'which took as much memory traffic as the entries themselves. What is left at',
        '10^6 is memory: each element\'s record is 280 bytes and each segment\'s hole',
        'data two entries of 240 bytes, read and written whole, as the host\'s',
        'interface has them.',
        '',
        '"host alone" makes the same changes on the simulated host\'s records directly,',
        'without the library calls: the memory traffic the apply cannot avoid. Its cost',
        'per element at 10^6 is %s ns against %s ns at 10^3.' % (
            fmt(host_per_element(runs, 1000000)), fmt(host_per_element(runs, 1000))),
        '',
        '## vekhost at a million elements',
        '',
        'vekhost loads a generated drawing, plays a session over all of it (`run`, a',
        'source `pick`, `select all`: one apply changes every figure) and writes `--out`;',
        'the floor is nlohmann-json alone parsing the same file into its document and',
        'dumping it (`bench/json_floor.cpp`). Times (wall clock, and CPU: user and',
        'system) and peak RSS are from `/usr/bin/time -v`; vekhost and the floor take',
        'turns three times and each number is the median. Targets at 10^6: time ratio',
        'at most 1.0, peak RSS at most 1 GiB.',
        '',
    ] + vekhost_table(os.path.join(results, 'vekhost.txt')) + ['', TEXT_APPROACH]
    with open(os.path.join(docs, 'performance.md'), 'w', encoding='utf-8') as f:
        f.write('\n'.join(lines))
    with open(os.path.join(docs, 'performance.svg'), 'w', encoding='utf-8') as f:
        f.write(svg_plot(runs))


if __name__ == '__main__':
    main()
