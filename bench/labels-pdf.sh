#!/bin/sh
# Label documents: a batch into one PDF, timed and measured.
#
#   bench/labels-pdf.sh            (GLYPHRUN_CLI, RUNS=10 may be set)
#
# Sheet  100,000 labels of 30 bytes (LABEL-000001 LOT 2026-03-14 QA ...) into one
#        A4 PDF, 3 x 8 labels a page, 0.5 mm modules, the data under each
#        (--hri), -j 1, on tmpfs: hyperfine's time, the bytes a label takes in
#        the file and the peak RSS; then the same at 1,000,000 labels for RSS.
# J1     the 1000 labels of bench/compare-zint.sh (module 4 px, margin 8 px) into
#        one PDF, a page each, against zint's program writing them as 1000 PNG
#        files (run as a black box, timed only), in one hyperfine run, on tmpfs
#        and on the repository's disk; zint replaces its files of the run before,
#        as each run of ours replaces its document.
#
# Needs hyperfine (and zint for J1, which is skipped without it).
set -eu

here=$(cd "$(dirname "$0")/.." && pwd)
cli=${GLYPHRUN_CLI:-$here/build/bin/glyphrun-cli}
case $cli in /*) ;; *) cli=$(pwd)/$cli ;; esac
runs=${RUNS:-10}
command -v hyperfine >/dev/null 2>&1 || { echo "labels-pdf: not run, hyperfine is missing"; exit 0; }
[ -x "$cli" ] || { echo "labels-pdf: $cli is not there; build it first (make run)" >&2; exit 1; }

tmp=$(mktemp -d /dev/shm/glyphrun-labels.XXXXXX)
disk=$(mktemp -d "$here/.labels-bench.XXXXXX")
trap 'rm -rf "$tmp" "$disk"' EXIT
python3 -c "
for i in range(1, 1000001): print(f'LABEL-{i:06d} LOT 2026-03-14 QA')" >"$tmp/1m.txt"
head -n 100000 "$tmp/1m.txt" >"$tmp/100k.txt"
head -n 1000 "$tmp/1m.txt" >"$tmp/j1.txt"

sheet="--batch -j 1 --sheet A4 --grid 3x8 --hri --xdim 0.5"
echo "glyphrun-cli: $cli; $(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg)"
hyperfine -N -w 1 -r 3 "$cli $sheet -i $tmp/100k.txt -o $tmp/100k.pdf" 2>&1 | grep -E 'Time|Range'
for n in 100k 1m; do
    /usr/bin/time -f "$n labels: %e s wall, %U s user, peak RSS %M kB" \
        "$cli" $sheet -i "$tmp/$n.txt" -o "$tmp/$n.pdf" 2>&1 | grep labels: | grep -v written
done
echo "bytes a label: $(( $(stat -c %s "$tmp/100k.pdf") / 100000 )) (100,000 labels)"

command -v zint >/dev/null 2>&1 || { echo "labels-pdf: J1 not run, zint is missing"; exit 0; }
for place in "$tmp" "$disk"; do
    echo "J1 in $place"
    hyperfine -N -w 1 -r "$runs" \
        -p "mkdir -p $place/z" \
        -n "glyphrun-cli, one PDF" "$cli --batch -j 1 -i $tmp/j1.txt --module 4 --margin 8 -o $place/j1.pdf" \
        -n "glyphrun-cli, one PDF, A4 sheets with --hri" \
        "$cli $sheet -i $tmp/j1.txt -o $place/j1-sheet.pdf" \
        -n "zint, 1000 PNG files" \
        "zint --batch -b 71 --square --scale=2 --whitesp=2 --vwhitesp=2 --filetype=PNG -i $tmp/j1.txt -o $place/z/l-~~~~~~.png" \
        2>&1 | grep -E 'Benchmark|Time|faster|±'
done
