#!/usr/bin/env bash
# Builds the fuzz targets with clang++ and runs each one for SECONDS over a copy of
# its committed corpus, so new inputs found on the way never land in the repository.
#
#   fuzz/run.sh SECONDS [TARGET...]     targets: archive definition settings variables wildcard
#
# Environment:
#   VEXAL_FUZZ_BUILD      build folder (default: build-fuzz next to the sources)
#   VEXAL_FUZZ_WORK       keep the working corpora and findings here instead of a
#                         temporary folder that is removed at the end
# A crash, leak, timeout or broken invariant leaves its input in the work folder
# (crash-*, leak-*, timeout-*, oom-*) and makes the script fail after all targets ran.
set -euo pipefail

seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
fuzz_dir=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$fuzz_dir")
build=${VEXAL_FUZZ_BUILD:-$source_dir/build-fuzz}
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  targets=(archive definition settings variables wildcard)
fi

cmake -S "$source_dir" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DVEXAL_FUZZ=ON \
  -DVEXAL_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

if [ -n "${VEXAL_FUZZ_WORK:-}" ]; then
  work=$VEXAL_FUZZ_WORK
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi

failed=()
for target in "${targets[@]}"; do
  corpus="$work/$target"
  mkdir -p "$corpus" "$work/$target-findings"
  cp -n "$fuzz_dir/corpus/$target/"* "$corpus/"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$work/$target-findings/")
  if [ -f "$fuzz_dir/$target.dict" ]; then
    options+=(-dict="$fuzz_dir/$target.dict")
  fi
  echo "== fuzz $target for ${seconds}s"
  if ! "$build/fuzz/fuzz_$target" "${options[@]}" "$corpus"; then
    failed+=("$target")
    # Keep the reproducer where CI logs can show it even when the work folder goes.
    for finding in "$work/$target-findings"/*; do
      [ -f "$finding" ] && { echo "-- $finding:"; od -c "$finding" | head -40; }
    done
  fi
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]}"
  exit 1
fi
echo "fuzzing clean: ${targets[*]}"
