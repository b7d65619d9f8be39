#!/usr/bin/env bash
# Runs vexal_mod_builder on the bundled sample game and mod, in a fresh
# temporary working folder:
#   1. packs the sample game's archives from loose files and lists one
#      of them with vexal_fs,
#   2. builds and installs the sample mod (-mod),
#   3. shows what changed in the game's folders and in config.ini, and
#      what vexal_fs status makes of it,
#   4. restores the game and checks that its archives are byte for byte
#      what they were before.
#
# Usage: examples/run-sample.sh path/to/vexal_mod_builder
# (vexal_fs is expected beside it, as the build puts it)
# Set KEEP=1 to keep the working folder for a look afterwards.
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "usage: $0 path/to/vexal_mod_builder" >&2
    exit 2
fi
if [[ ! -f $1 || ! -x $1 ]]; then
    echo "$0: $1 is not an executable file (build the tool first)" >&2
    exit 2
fi

tool="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
fs_tool="$(dirname "$tool")/vexal_fs${tool##*vexal_mod_builder}"
if [[ ! -x $fs_tool ]]; then
    echo "$0: $fs_tool is missing (it is built beside vexal_mod_builder)" >&2
    exit 2
fi
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"

finish() {
    local status=$?
    if [[ ${KEEP:-0} == 1 ]]; then
        echo "Working folder kept: $work"
    else
        rm -rf -- "$work"
    fi
    if [[ $status -ne 0 ]]; then
        echo "FAILED (exit status $status)"
    fi
}
trap finish EXIT

heading() {
    printf '\n=== %s ===\n\n' "$*"
}

# Runs the tool in the working folder and shows its command line.
run_tool() {
    echo "\$ vexal_mod_builder${*:+ $*}"
    "$tool" "$@"
}

run_fs_tool() {
    echo "\$ vexal_fs $*"
    "$fs_tool" "$@"
}

# Lists the files of a folder with their sizes in bytes.
list_files() {
    local folder=$1 file
    echo "$folder/"
    for file in "$folder"/*; do
        [[ -f $file ]] || continue
        printf '  %8d  %s\n' "$(wc -c <"$file")" "$(basename "$file")"
    done
}

show_status() {
    echo "config.ini [STATUS]:"
    sed -n '/^\[STATUS\]/,/^\[/{/^\[STATUS\]/d;/^\[/d;s/^/  /;p}' config.ini
}

cp -R "$here/game" "$here/cd" "$here/mod" "$work/"
cd "$work"
cat >config.ini <<EOF
[PATH]
vexal=$work/game
vexalcd=$work/cd
allowcdmod=1
EOF

heading "Working folder $work"
cat config.ini

heading "Packing the sample game's archives from loose files"
run_tool game/source/make.def
run_tool cd/source/make.def
# The tool never writes into a game's data folder: the packed archives become it.
mv game/packed game/data
mv cd/packed cd/data

archives=(game/data/BASICS.FS game/data/WORDS.FS game/data/TROOP.FSU cd/data/VIDEO.FS)
mkdir original
for archive in "${archives[@]}"; do
    cp "$archive" original/
done
list_files game/data
list_files cd/data
echo
run_fs_tool list game/data/TROOP.FSU

heading "Building and installing the Knights mod"
run_tool mod/knights.def -mod

heading "What changed"
list_files game/data
list_files cd/data
list_files backup
list_files mod/out
echo
show_status

for archive in "${archives[@]}"; do
    if cmp -s "$archive" "original/$(basename "$archive")"; then
        echo "$archive was not replaced by the mod's archive" >&2
        exit 1
    fi
done
echo
echo "The mod's archives are in the game; the game's own are in backup/."
echo
run_fs_tool status

heading "Restoring the game (a run without arguments)"
run_tool

heading "After the restore"
list_files game/data
list_files cd/data
list_files mod/out
echo
show_status
echo
for archive in "${archives[@]}"; do
    cmp "$archive" "original/$(basename "$archive")"
    echo "$archive is identical to the game's original"
done

heading "Sample finished"
