"""Times the Python package against glyphrun-cli and, when it is on PATH,
zint's command-line program (run as a black box, for timing only), on the
same labels in the same run, and prints one table.

    build/python-venv/bin/python python/bench.py [--labels 100000] [--runs 3] [--cli PATH]

The labels are LABEL-000001 LOT 2026-03-14 QA ... (22 x 22 symbols), module
4 px with a quiet zone of 2 modules (104 x 104 px), as in bench/README.md.
Each row is the median of --runs runs; files go to a fresh tmpfs folder
for every run, so that the file system's share is small and alike for all.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

# The installed package, not its sources beside this script, which lack the extension.
sys.path = [entry for entry in sys.path if Path(entry or ".").resolve() != Path(__file__).resolve().parent]
import glyphrun  # noqa: E402

REPOSITORY = Path(__file__).resolve().parent.parent
STYLE = dict(module=4, quiet_zone=2)


def labels(count):
    return [f"LABEL-{i:06d} LOT 2026-03-14 QA" for i in range(1, count + 1)]


def median_seconds(runs, work, prepare=lambda: None):
    times = []
    for _ in range(runs):
        prepare()
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--labels", type=int, default=100_000)
    parser.add_argument("--single", type=int, default=20_000, help="labels of the one-at-a-time loops")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--cli", default=str(REPOSITORY / "build" / "bin" / "glyphrun-cli"))
    args = parser.parse_args()

    texts = labels(args.labels)
    few = texts[: args.single]
    tmpfs = Path(tempfile.mkdtemp(prefix="glyphrun-bench-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None))
    out = tmpfs / "out"
    fresh_out = lambda: (shutil.rmtree(out, ignore_errors=True), out.mkdir())
    (tmpfs / "labels.txt").write_text("".join(text + "\n" for text in texts))

    rows = []  # (what, labels, seconds)

    def time_row(what, count, work, prepare=lambda: None):
        rows.append((what, count, median_seconds(args.runs, work, prepare)))
        print(f"  {what}: {rows[-1][2] / count * 1e6:.1f} µs a label", flush=True)

    try:
        time_row("encode() one at a time", len(few), lambda: [glyphrun.encode(t) for t in few])
        time_row("encode() + to_png() one at a time", len(few),
                 lambda: [glyphrun.encode(t).to_png(**STYLE) for t in few])
        time_row("encode_many()", len(texts), lambda: glyphrun.encode_many(texts))
        time_row("encode_many() + to_png() each", len(texts),
                 lambda: [s.to_png(**STYLE) for s in glyphrun.encode_many(texts)])
        time_row("encode_many() + save() to tmpfs files", len(texts),
                 lambda: [s.save(out / f"l-{i:06d}.png", **STYLE) for i, s in enumerate(glyphrun.encode_many(texts), 1)],
                 fresh_out)
        cli_batch = [args.cli, "--batch", "-i", str(tmpfs / "labels.txt"), "--module", "4", "--margin", "8",
                     "-o", str(out / "l-######.png")]
        time_row(f"glyphrun-cli --batch -j {os.cpu_count()} to tmpfs files", len(texts),
                 lambda: subprocess.run(cli_batch, check=True), fresh_out)
        time_row("glyphrun-cli --batch -j 1 to tmpfs files", len(texts),
                 lambda: subprocess.run(cli_batch + ["-j", "1"], check=True), fresh_out)
        zint = shutil.which("zint")
        if zint:
            # zint's --scale is half the module in pixels for PNG, its white space in modules.
            zint_batch = [zint, "--batch", "-b", "71", "--square", "--scale=2", "--whitesp=2", "--vwhitesp=2",
                          "--filetype=PNG", "-i", str(tmpfs / "labels.txt"), "-o", str(out / "l-~~~~~~.png")]
            time_row("zint --batch to tmpfs files", len(texts),
                     lambda: subprocess.run(zint_batch, check=True, stdout=subprocess.DEVNULL), fresh_out)
    finally:
        shutil.rmtree(tmpfs, ignore_errors=True)

    reference = rows[1][2] / rows[1][1]
    zint_row = next((row for row in rows if row[0].startswith("zint")), None)
    print(f"\nglyphrun {glyphrun.__version__}, {os.cpu_count()} cores, medians of {args.runs} runs"
          + ("" if zint_row else "; zint is not on PATH"))
    print(f"{'':<46} {'labels':>7} {'seconds':>8} {'µs/label':>9} {'× loop':>7}" + (f" {'× zint':>7}" if zint_row else ""))
    for what, count, seconds in rows:
        each = seconds / count
        line = f"{what:<46} {count:>7} {seconds:>8.3f} {each * 1e6:>9.2f} {each / reference:>7.2f}"
        if zint_row:
            line += f" {each / (zint_row[2] / zint_row[1]):>7.2f}"
        print(line)
    print("× loop: the time a label against encode() + to_png() one at a time; × zint: against zint --batch")


if __name__ == "__main__":
    main()
