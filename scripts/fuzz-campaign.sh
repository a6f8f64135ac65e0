#!/usr/bin/env bash
# A longer fuzz campaign than the test command's short runs: every libFuzzer target (or the
# ones named) for SECONDS each (default 300), one after the other, with the committed seed
# corpus. What a run learns stays in build-fuzz/campaign/<target>/corpus; a crash, a hang or a
# leak is saved as a reproducer in build-fuzz/campaign/<target>/findings/, and the summary at
# the end says how to replay it:
#
#     ./scripts/fuzz-campaign.sh [-t SECONDS] [TARGET...]     TARGET: command, download, touch ...
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=300
if [ "${1:-}" = "-t" ]; then
  seconds=$2
  shift 2
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DVMOD_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzz-all
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in tests/fuzz/*_fuzz.cpp; do
    n=$(basename "$f" _fuzz.cpp)
    targets+=("$n")
  done
fi
found=0
for t in "${targets[@]}"; do
  bin=build-fuzz/tests/fuzz/${t}_fuzz
  [ -x "$bin" ] || { echo "no fuzz target \"$t\"" >&2; exit 2; }
  out=build-fuzz/campaign/$t
  mkdir -p "$out/corpus" "$out/findings"
  args=(-max_total_time="$seconds" -rss_limit_mb=4096 -timeout=60 -artifact_prefix="$out/findings/")
  # The target's dictionary and options, as the build wrote them.
  while IFS= read -r a; do
    [ -n "$a" ] && args+=("$a")
  done < "build-fuzz/tests/fuzz/${t}_fuzz.args"
  seeds=()
  [ -d "tests/fuzz/corpus/$t" ] && seeds+=("tests/fuzz/corpus/$t")
  echo "== $t: ${seconds} s"
  # A finding ends the target's run; the campaign goes on with the next target.
  "$bin" "${args[@]}" "$out/corpus" "${seeds[@]}" > "$out/log.txt" 2>&1 || true
  grep -E '^(#[0-9]+ +DONE|Done [0-9]+ runs|command fuzz:)' "$out/log.txt" | tail -n 6 || true
done
echo "== findings"
for t in "${targets[@]}"; do
  for f in build-fuzz/campaign/"$t"/findings/*; do
    [ -e "$f" ] || continue
    found=1
    echo "$t: $f    replay: build-fuzz/tests/fuzz/${t}_fuzz $f"
  done
done
[ $found -eq 0 ] && echo "none"
exit $found
