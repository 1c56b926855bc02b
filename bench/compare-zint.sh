#!/bin/sh
# Times glyphrun-cli against zint's command-line program on the same batch
# jobs, with hyperfine, and prints one table. zint is run as a black box only:
# its programs are timed and the sizes of its files printed, nothing else.
#
#   bench/compare-zint.sh          (GLYPHRUN_CLI, RUNS=10, DISK_DIR may be set)
#
# Needs hyperfine, zint and python3; builds nothing (make run builds the CLI).
#
# J1  1000 different 30-byte labels LABEL-000001 LOT 2026-03-14 QA ...,
#     module 4 px, quiet zone 8 px, to PNG files (22 x 22 symbols, 104 x 104 px).
# J2  40 lines of 1,556 x 'a' in a 144 x 144 symbol, module 1 px, quiet zone 2 px.
#
# Matching the images: our --module and --margin are pixels. zint's --scale
# is half the module in pixels for PNG (--scale=2 gives 4 px, 0.5 gives 1 px)
# and its --whitesp/--vwhitesp are in modules, so an 8 px quiet zone at
# module 4 is --whitesp=2 --vwhitesp=2 and 2 px at module 1 is 2. zint's
# --vers=24 is the 144 x 144 size (our -s 23). The script prints the
# pixel size of one file of each tool, read from the PNG header, to show
# that they agree. Both tools choose their own encodation.
#
# Places: a tmpfs folder (/dev/shm) and a folder on the file system of the
# repository (DISK_DIR, default the repository itself). Each job is timed
# twice in each place: into a new folder, made afresh before every run, and
# into a full one, which already holds the files (a batch run again): there
# the folder is made once and each command's warm-up run writes its files,
# so that every timed run replaces them. The file-system floor is one
# python3 process writing the bytes of one J1 PNG to 1000 files, through a
# named temporary file and a rename (as glyphrun-cli writes) and straight
# to the final names (the least any writer does), with python3's own
# start-up (timed alone in the same run) taken off: it measures the file
# system, not process start-up.
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
# A relative GLYPHRUN_CLI is taken from the current folder; unset, it is
# the repository's build/bin/glyphrun-cli.
cli=${GLYPHRUN_CLI:-$here/build/bin/glyphrun-cli}
case $cli in /*) ;; *) cli=$(pwd)/$cli ;; esac
runs=${RUNS:-10}
disk_parent=${DISK_DIR:-$here}
cores=$(nproc)

missing=""
for tool in hyperfine zint python3; do
    command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    echo "compare-zint: not run, missing:$missing (Debian: apt-get install hyperfine zint python3)"
    exit 0
fi
# The interpreter itself rather than a launcher in front of it (pyenv's
# shim, say), so that the start-up taken off the floor is only its own.
py=$(python3 -c 'import sys; print(sys.executable)')

if [ ! -x "$cli" ]; then
    echo "compare-zint: $cli is not there; build it first (make run) or set GLYPHRUN_CLI" >&2
    exit 1
fi

shm=""
disk=""
cleanup() {
    if [ -n "$shm" ]; then rm -rf "$shm"; fi
    if [ -n "$disk" ]; then rm -rf "$disk"; fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP
shm=$(mktemp -d -p /dev/shm compare-zint.XXXXXX)
disk=$(mktemp -d -p "$disk_parent" compare-zint.XXXXXX)
# The command lines below are split on spaces.
case "$cli$py$shm$disk" in *[[:space:]]*)
    echo "compare-zint: a path has a space in it; set GLYPHRUN_CLI or DISK_DIR to one without" >&2
    exit 1 ;;
esac
inputs=$shm/inputs
mkdir "$inputs"

"$py" - "$inputs" <<'EOF'
import sys
d = sys.argv[1]
with open(f"{d}/labels.txt", "w") as f:
    for i in range(1, 1001):
        f.write(f"LABEL-{i:06d} LOT 2026-03-14 QA\n")
with open(f"{d}/a1556.txt", "w") as f:
    f.write(("a" * 1556 + "\n") * 40)
EOF

# Command lines, run by sh; OUT is the output folder of the run.
j1_us="'$cli' --batch -i $inputs/labels.txt --module 4 --margin 8 -o OUT/l-######.png"
j1_zint="zint --batch -b 71 --square --scale=2 --whitesp=2 --vwhitesp=2 --filetype=PNG -i $inputs/labels.txt -o OUT/l-~~~~~~.png"
j2_us="'$cli' --batch -s 23 -i $inputs/a1556.txt --module 1 --margin 2 -o OUT/b-##.png"
j2_zint="zint --batch -b 71 --vers=24 --scale=0.5 --whitesp=2 --vwhitesp=2 --filetype=PNG -i $inputs/a1556.txt -o OUT/b-~~.png"

at() { echo "$2" | sed "s|OUT|$1|g"; }

# IHDR width x height and the size in bytes of a PNG file.
png_info() {
    "$py" - "$1" <<'EOF'
import os, struct, sys
with open(sys.argv[1], "rb") as f:
    head = f.read(24)
assert head[:8] == b"\x89PNG\r\n\x1a\n" and head[12:16] == b"IHDR", "not a PNG"
w, h = struct.unpack(">II", head[16:24])
print(f"{w}x{h} px, {os.path.getsize(sys.argv[1])} bytes")
EOF
}

# One untimed run of each tool: both must write every file.
sample=$shm/sample
mkdir -p "$sample/us1" "$sample/zint1" "$sample/us2" "$sample/zint2"
sh -c "$(at "$sample/us1" "$j1_us") -j 1" 2>/dev/null
sh -c "$(at "$sample/zint1" "$j1_zint")" >/dev/null
sh -c "$(at "$sample/us2" "$j2_us") -j 1" 2>/dev/null
sh -c "$(at "$sample/zint2" "$j2_zint")" >/dev/null
count() { set -- "$1"/*; echo $#; }
for d in us1 zint1 us2 zint2; do
    case $d in *1) want=1000 ;; *) want=40 ;; esac
    n=$(count "$sample/$d")
    [ "$n" -eq "$want" ] || { echo "compare-zint: $d wrote $n files of $want" >&2; exit 1; }
done
j1_us_png=$(png_info "$sample/us1/l-000001.png")
j1_zint_png=$(png_info "$sample/zint1/l-000001.png")
j2_us_png=$(png_info "$sample/us2/b-01.png")
j2_zint_png=$(png_info "$sample/zint2/b-01.png")

results=$shm/results
mkdir "$results"

# time NAME FOLDER new|full COMMAND...: the commands in one hyperfine run,
# with FOLDER/out made afresh before every run (new) or once before them
# all, the warm-up run of each command filling it (full).
time_commands() {
    name=$1 folder=$2 how=$3
    shift 3
    echo "== $name-$how" >&2
    rm -rf "$folder/out" && mkdir "$folder/out"
    if [ "$how" = new ]; then
        hyperfine --style basic --warmup 1 --runs "$runs" \
            --prepare "rm -rf '$folder/out' && mkdir '$folder/out'" \
            --export-json "$results/$name-$how.json" "$@" >&2
    else
        hyperfine --style basic --warmup 1 --runs "$runs" \
            --export-json "$results/$name-$how.json" "$@" >&2
    fi
}

for place in tmpfs disk; do
    if [ "$place" = tmpfs ]; then folder=$shm; else folder=$disk; fi
    out=$folder/out
    cp "$sample/us1/l-000001.png" "$folder/sample.png"
    for how in new full; do
        time_commands "J1-$place" "$folder" "$how" \
            "$(at "$out" "$j1_us") -j 1" \
            "$(at "$out" "$j1_us") -j $cores" \
            "$(at "$out" "$j1_zint")"
        time_commands "J2-$place" "$folder" "$how" \
            "$(at "$out" "$j2_us") -j 1" \
            "$(at "$out" "$j2_zint")"
        time_commands "floor-$place" "$folder" "$how" \
            "$py -c ''" \
            "$py -c \"
import os
data = open('$folder/sample.png', 'rb').read()
for i in range(1, 1001):
    tmp = '$out/.tmp-%d' % i
    with open(tmp, 'wb') as f: f.write(data)
    os.rename(tmp, '$out/l-%06d.png' % i)\"" \
            "$py -c \"
data = open('$folder/sample.png', 'rb').read()
for i in range(1, 1001):
    with open('$out/l-%06d.png' % i, 'wb') as f: f.write(data)\""
    done
done

"$py" - "$results" "$cores" <<EOF
import json, sys
results, cores = sys.argv[1], sys.argv[2]
def medians(name):
    with open(f"{results}/{name}.json") as f:
        return [r["median"] * 1000 for r in json.load(f)["results"]]
print()
print(f"glyphrun-cli: $cli")
print(f"zint: $(zint --version | head -1); hyperfine medians of $runs runs; {cores} cores")
print()
print("folder: new, made afresh before each run; full, holding the files already")
print()
print(f"{'job':<18} {'place':<6} {'folder':<6} {'glyphrun ms':>12} {'zint ms':>9} {'ratio':>6}")
def row(job, place, how, ours, zint):
    print(f"{job:<18} {place:<6} {how:<6} {ours:>12.1f} {zint:>9.1f} {ours / zint:>6.2f}")
for place in ("tmpfs", "disk"):
    for how in ("new", "full"):
        j1_one, j1_all, j1_zint = medians(f"J1-{place}-{how}")
        row("J1 -j 1", place, how, j1_one, j1_zint)
        row(f"J1 -j {cores}", place, how, j1_all, j1_zint)
        j2_one, j2_zint = medians(f"J2-{place}-{how}")
        row("J2 -j 1", place, how, j2_one, j2_zint)
print()
print("file-system floor, 1000 files of one J1 PNG from one process, start-up taken off:")
for place in ("tmpfs", "disk"):
    for how in ("new", "full"):
        start, renamed, direct = medians(f"floor-{place}-{how}")
        print(f"  {place:<6} {how:<4}  temp + rename {renamed - start:7.1f} ms   straight to the name {direct - start:7.1f} ms")
print()
print("one PNG of each:")
print("  J1 glyphrun $j1_us_png;  zint $j1_zint_png")
print("  J2 glyphrun $j2_us_png;  zint $j2_zint_png")
EOF
