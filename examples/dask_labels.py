"""Labels for a whole warehouse: a Data Matrix PNG for every serial of a CSV,
made on a Dask cluster.

    python3 examples/dask_labels.py serials.csv labels/ [--data '{serial}']
        [--scheduler tcp://HOST:8786 | --workers 4] [--blocksize 256kB] [--module 4] [--quiet-zone 2]

Dask reads the CSV in blocks; each partition is encoded with
glyphrun.encode_many (on every core of its worker) and drawn as PNGs, which
go into one ZIP archive per partition, labels/part-00000.zip and so on, a
file per row. --data makes each symbol's data from the row's columns
(Python's format syntax: '{serial}', '{gtin}-{lot}'). labels/index.csv
says, for every row, the archive and the member that hold its label, or
why it has none (an empty serial, one too long for any symbol), and
labels/report.jsonl has a line per row: the symbol's report (size,
codewords, schemes, character set) or the error. The program exits 1 when
any row failed, saying how many.

ZIP archives rather than Parquet, whose engines (pyarrow, fastparquet) are
not packaged in Debian 12; with one installed, the same partition function
can return the PNG bytes in a column for DataFrame.to_parquet instead.
"""

import argparse
import json
import os
import re
import sys
import zipfile

import dask.dataframe as dd
import pandas as pd
from dask.distributed import Client

import glyphrun

MANIFEST_COLUMNS = {"data": "object", "archive": "object", "member": "object", "error": "object",
                    "report": "object"}


def member_name(row, serial):
    """A file name in the archive: the row within the partition keeps names
    unique, the serial (made safe for a file name) makes them readable."""
    return f"{row:07d}-{re.sub(r'[^A-Za-z0-9._-]', '_', serial)[:64]}.png"


def render_partition(frame, template, out_dir, module, quiet_zone, partition_info=None):
    """Writes the partition's labels into its archive; answers its part of the index."""
    number = partition_info["number"] if partition_info else 0
    texts = [template.format_map(row) for row in frame.to_dict("records")]
    # A failure takes its row's place, so one bad row stops nothing.
    symbols = glyphrun.encode_many(texts, errors="return")
    archive = f"part-{number:05d}.zip"
    members, errors, reports = [], [], []
    # PNG data is deflated already; storing it keeps the archive's time to its writes.
    with zipfile.ZipFile(os.path.join(out_dir, archive), "w", zipfile.ZIP_STORED) as zip_file:
        for row, (text, symbol) in enumerate(zip(texts, symbols)):
            if isinstance(symbol, glyphrun.EncodeError):
                members.append("")
                errors.append(str(symbol).split(": ", 1)[1])  # without its place in this partition
                reports.append(json.dumps({"data": text, "error": errors[-1]}, ensure_ascii=False))
                continue
            members.append(member_name(row, text))
            errors.append("")
            reports.append(json.dumps({"data": text, "archive": archive, "member": members[-1], **symbol.report()},
                                      ensure_ascii=False))
            zip_file.writestr(members[-1], symbol.to_png(module=module, quiet_zone=quiet_zone))
    return pd.DataFrame({"data": texts, "archive": archive, "member": members, "error": errors, "report": reports},
                        index=frame.index)


def make_labels(csv_path, out_dir, client, template="{serial}", module=4, quiet_zone=2, blocksize="256kB"):
    """Runs the job on `client`'s cluster; answers the labels written and the rows that failed."""
    os.makedirs(out_dir, exist_ok=True)
    # Every column is text: no number parsing, and an empty value stays empty.
    rows = dd.read_csv(csv_path, dtype=str, keep_default_na=False, blocksize=blocksize)
    missing = [name for name in re.findall(r"{([^{}:!]+)", template) if name not in rows.columns]
    if missing:
        raise SystemExit(f"--data names the column {missing[0]!r}, which the CSV lacks ({', '.join(rows.columns)})")
    manifest = rows.map_partitions(render_partition, template, out_dir, module, quiet_zone, meta=MANIFEST_COLUMNS)
    index = client.compute(manifest).result()
    with open(os.path.join(out_dir, "report.jsonl"), "w", encoding="utf-8") as report:
        report.writelines(line + "\n" for line in index["report"])
    index.drop(columns="report").to_csv(os.path.join(out_dir, "index.csv"), index=False)
    failed = int((index["error"] != "").sum())
    return len(index) - failed, failed


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("csv")
    parser.add_argument("out_dir")
    parser.add_argument("--data", default="{serial}", help="the symbol's data from the row's columns")
    parser.add_argument("--scheduler", help="a running cluster's scheduler address; else a local one")
    parser.add_argument("--workers", type=int, default=os.cpu_count(), help="workers of the local cluster")
    parser.add_argument("--blocksize", default="256kB", help="the CSV's bytes in one partition")
    parser.add_argument("--module", type=int, default=4)
    parser.add_argument("--quiet-zone", type=int, default=2)
    args = parser.parse_args(argv)

    # A remote cluster's workers write into out_dir: it must be a folder they
    # all share. Otherwise the client starts a local cluster, and stops it.
    local = dict(n_workers=args.workers, threads_per_worker=1, dashboard_address=None)
    with (Client(args.scheduler) if args.scheduler else Client(**local)) as client:
        written, failed = make_labels(args.csv, args.out_dir, client, args.data, args.module, args.quiet_zone,
                                      args.blocksize)
    print(f"{written} labels written to {args.out_dir}")
    if failed:
        print(f"{failed} row{'s' if failed != 1 else ''} failed: {args.out_dir}/index.csv says why", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
