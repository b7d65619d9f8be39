#!/usr/bin/env bash
# The Windows build under Wine against Wine's own copy: the .exe builds the archive of
# vexal_bench's build case (a 1 GiB game archive of 20,000 entries, 5,000 of them
# re-pointed to the files of a mod folder), and cmd.exe's "copy /b" copies the game
# archive, by turns, after one warm-up of each. Prints every run, the medians and their
# ratio, the fastest run of each and theirs, and each one's peak memory. See
# bench/README.md for how the peak is measured.
set -euo pipefail
shopt -s inherit_errexit
cd "$(dirname "$0")/.."

runs=5
dir=/tmp
exe=$PWD/build-windows/vexal_mod_builder.exe
bench=$PWD/build-bench/bench/vexal_bench
prefix=
keep=0
usage() {
  cat <<EOF
usage: bench/wine_copy_bench.sh [--runs N] [--dir FOLDER] [--exe PATH] [--bench PATH]
                                [--prefix WINEPREFIX] [--keep]
  --runs    timed runs of each (default $runs); medians are compared
  --dir     where the data folder goes (default $dir; needs about 3.5 GiB)
  --exe     the Windows build of the tool (default build-windows/vexal_mod_builder.exe)
  --bench   vexal_bench, which writes the data (default build-bench/bench/vexal_bench)
  --prefix  a Wine prefix to use, whose server is stopped at the end (default: a fresh one
            in the data folder)
  --keep    keep the data folder
EOF
}
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --exe) exe=$(realpath "$2"); shift 2 ;;
    --bench) bench=$(realpath "$2"); shift 2 ;;
    --prefix) prefix=$(realpath -m "$2"); shift 2 ;;
    --keep) keep=1; shift ;;
    -h | --help) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
for needed in "$exe" "$bench" /usr/bin/time; do
  if [ ! -x "$needed" ]; then
    echo "wine_copy_bench: $needed is missing (see bench/README.md)" >&2
    exit 1
  fi
done
for needed in wine winepath x86_64-w64-mingw32-strip; do
  if ! command -v "$needed" >/dev/null; then
    echo "wine_copy_bench: $needed is missing (see bench/README.md)" >&2
    exit 1
  fi
done

root=$(mktemp -d "$dir/vexal-wine-bench-XXXXXX")
. .ci/lib.sh
wine_started=0
finish() {
  if [ "$wine_started" = 1 ]; then stop_wine; fi
  if [ "$keep" = 0 ]; then rm -rf "$root"; else echo "data kept in $root"; fi
}
trap finish EXIT

# Measured as the package ships it: stripped, which spares Wine loading its debug sections.
cp "$exe" "$root/vexal_mod_builder.exe"
exe=$root/vexal_mod_builder.exe
x86_64-w64-mingw32-strip "$exe"
work=$("$bench" --only build --data-only --dir "$root" | sed -n 's/^  data in //p')
[ -d "$work" ] || { echo "wine_copy_bench: vexal_bench wrote no data" >&2; exit 1; }
wine_started=1
start_wine "${prefix:-$root/wine-prefix}"
# The prefix's server does a share of the work: every open and close of a file is a request
# to it. Its processor time is taken before and after each run (from /proc) and shown beside
# the run's own. Its folder, which is its working folder, is named after the prefix's device
# and inode.
server_folder=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
server_pid=
for pid in $(pgrep wineserver); do
  if [[ "$(readlink "/proc/$pid/cwd")" == */"$server_folder" ]]; then server_pid=$pid; fi
done
[ -n "$server_pid" ] || { echo "wine_copy_bench: no wineserver for $WINEPREFIX" >&2; exit 1; }
server_ticks() { awk '{print $14 + $15}' "/proc/$server_pid/stat"; }
ticks_per_second=$(getconf CLK_TCK)
windows_work=$(winepath -w "$work")
printf '[PATH]\r\nvexal=%s\\game\r\nvexalcd=%s\\cd\r\nallowcdmod=0\r\n' \
  "$windows_work" "$windows_work" >"$work/config.ini"
# cmd.exe named by its Unix path runs in the process that wine starts; "wine cmd" would run
# it in a process of its own, which GNU time never sees (see bench/README.md).
cmd_exe=$WINEPREFIX/drive_c/windows/system32/cmd.exe
output=$work/mod/out/BASICS.FS
copy=$work/mod/out/COPY.FS

# Runs one of the two with GNU time and adds "name seconds peak-KiB cpu-seconds
# server-cpu-seconds" to the file of runs given as $2.
measure() {
  rm -f "$output" "$copy"
  local figures=$work/time.txt log=$work/$1.log command ok=1
  if [ "$1" = tool ]; then
    command=(wine "$exe" 'mod\bench.def')
  else
    command=(wine "$cmd_exe" /c copy /b 'game\data\GAME.FS' 'mod\out\COPY.FS')
  fi
  local server_before
  server_before=$(server_ticks)
  (cd "$work" && /usr/bin/time -o "$figures" -f '%e %M %U %S' "${command[@]}") >"$log" 2>&1 || ok=0
  local server=$(($(server_ticks) - server_before))
  if [ "$1" = tool ]; then
    grep -q '^All done\.' "$log" || ok=0
  else
    [ "$(stat -c %s "$copy" 2>/dev/null)" = "$(stat -c %s "$work/game/data/GAME.FS")" ] || ok=0
  fi
  if [ "$ok" = 0 ]; then
    echo "wine_copy_bench: the $1 run failed:" >&2
    cat "$log" >&2
    exit 1
  fi
  awk -v name="$1" -v server="$server" -v hz="$ticks_per_second" \
    '{print name, $1, $2, $3 + $4, server / hz}' "$figures" >>"$2"
}

echo "wine_copy_bench: $exe (stripped) against copy /b, $runs runs each, data in $work"
measure tool /dev/null
echo "  output BASICS.FS: $(stat -c %s "$output") bytes, cksum $(cksum <"$output" | cut -d' ' -f1)"
measure copy /dev/null
runs_file=$root/runs.txt
for ((i = 1; i <= runs; i++)); do
  measure tool "$runs_file"
  measure copy "$runs_file"
done
rm -f "$output" "$copy"
awk '
  function median(list, n,    i, j, v, t) {
    split(list, v, " ")
    for (i = 1; i <= n; i++)
      for (j = i + 1; j <= n; j++)
        if (v[j] < v[i]) { t = v[i]; v[i] = v[j]; v[j] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  {
    n[$1]++; times[$1] = times[$1] " " $2; runs[$1] = runs[$1] sprintf(" %.2f", $2)
    cpu[$1] = cpu[$1] sprintf(" %.2f+%.2f", $4, $5); if ($3 > peak[$1]) peak[$1] = $3
    if (!($1 in fastest) || $2 < fastest[$1]) fastest[$1] = $2
  }
  END {
    printf "  tool  runs (s):%s; cpu, own+server (s):%s\n", runs["tool"], cpu["tool"]
    printf "  copy  runs (s):%s; cpu, own+server (s):%s\n", runs["copy"], cpu["copy"]
    t = median(times["tool"], n["tool"]); c = median(times["copy"], n["copy"])
    printf "  build   tool %.3f s, copy /b %.3f s: ratio %.2f (target <= 1.20) %s\n",
           t, c, t / c, t / c <= 1.2 ? "ok" : "MISSED"
    printf "  fastest tool %.3f s, copy /b %.3f s: ratio %.2f\n", fastest["tool"], fastest["copy"],
           fastest["tool"] / fastest["copy"]
    printf "  memory  tool peak %.0f MiB (target <= 64 MiB) %s; copy /b peak %.0f MiB\n",
           peak["tool"] / 1024, peak["tool"] <= 64 * 1024 ? "ok" : "MISSED", peak["copy"] / 1024
  }' "$runs_file"
