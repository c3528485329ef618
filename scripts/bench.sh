#!/usr/bin/env bash
# Runs the benchmarks and regenerates docs/performance.md and
# docs/performance.svg from what they measured: the module next to its
# baselines (bench/), and vekhost over generated drawings of 10^4, 10^5 and
# 10^6 elements next to nlohmann-json alone parsing and dumping the same file.
# Takes some minutes; not part of scripts/test.sh. Leaves its raw results and
# the generated drawings in build/bench.
set -euo pipefail
cd "$(dirname "$0")/.."
# Builds use every core unless CMAKE_BUILD_PARALLEL_LEVEL says otherwise.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
scripts/install-deps.sh
# Timed as it ships: without the coverage counters scripts/test.sh builds in.
cmake --preset linux -DSORVANE_BUILD_BENCH=ON -DSORVANE_COVERAGE=OFF
cmake --build --preset linux
bin=build/linux
out=build/bench
mkdir -p "$out"

"$bin/bench/sorvane_bench" --benchmark_filter='^(Figure|Annotation|Dimension|LoadSettings)' \
  --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true \
  --benchmark_out="$out/bench.json" --benchmark_out_format=json

# Wall time, CPU time (user and system) and peak memory of one command, as
# "seconds seconds kilobytes".
measure() {
  /usr/bin/time -v "$@" >"$out/last.log" 2>"$out/time.txt"
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
                for (i = 1; i <= n; ++i) s = s * 60 + t[i]; wall = s }
              /User time/ { cpu += $2 } /System time/ { cpu += $2 }
              /Maximum resident set size/ { rss = $2 }
              END { print wall, cpu, rss }' "$out/time.txt"
}

# vekhost and the floor take turns, three times each, so that a slow spell of
# a shared machine falls on both; the report takes the medians.
: >"$out/vekhost.txt"
for n in 10000 100000 1000000; do
  scripts/make-drawing.py "$n" "$out/drawing-$n.json" "$out/session-$n.vks"
  bytes=$(stat -c %s "$out/drawing-$n.json")
  for run in 1 2 3; do
    rm -f "$out/empty.reg"  # no registry yet: the defaults
    read -r vt vc vr < <(measure "$bin/vekhost/vekhost" "$out/drawing-$n.json" \
      --script "$out/session-$n.vks" --registry "$out/empty.reg" --out "$out/result-$n.json")
    read -r ft fc fr < <(measure "$bin/bench/json_floor" "$out/drawing-$n.json" "$out/floor-$n.json")
    echo "$n $bytes $vt $vc $vr $ft $fc $fr" >>"$out/vekhost.txt"
  done
done

{ uname -srmo; lscpu | grep -E '^(Model name|CPU\(s\)|Thread|L1d|L2|L3)'; free -g | awk '/Mem:/ {print "Memory: " $2 " GiB"}'; } \
  >"$out/machine.txt"
python3 scripts/perf_report.py "$out" docs
