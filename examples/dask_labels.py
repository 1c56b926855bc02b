"""Labels for a whole warehouse: a Data Matrix PNG for every serial of a CSV,
made on a Dask cluster.

    python3 examples/dask_labels.py serials.csv labels/ [--column serial]
        [--scheduler tcp://HOST:8786 | --workers 4] [--blocksize 256kB] [--module 4] [--quiet-zone 2]

Dask reads the CSV in blocks; each partition is encoded with
glyphrun.encode_many (on every core of its worker) and drawn as PNGs, which
go into one ZIP archive per partition, labels/part-00000.zip and so on, a
file per serial. labels/index.csv says, for every serial, the archive and
the member that hold its label, or why it has none (an empty serial, one
too long for any symbol).

ZIP archives rather than Parquet, whose engines (pyarrow, fastparquet) are
not packaged in Debian 12; with one installed, the same partition function
can return the PNG bytes in a column for DataFrame.to_parquet instead.
"""

import argparse
import os
import re
import sys
import zipfile

import dask.dataframe as dd
import pandas as pd
from dask.distributed import Client

import glyphrun

MANIFEST_COLUMNS = {"serial": "object", "archive": "object", "member": "object", "error": "object"}


def member_name(row, serial):
    """A file name in the archive: the row within the partition keeps names
    unique, the serial (made safe for a file name) makes them readable."""
    return f"{row:07d}-{re.sub(r'[^A-Za-z0-9._-]', '_', serial)[:64]}.png"


def encode_each(serials):
    """A symbol for each serial, or None with the reason where there is none:
    encode_many for the whole partition, one by one only when one fails."""
    try:
        return glyphrun.encode_many(serials), {}
    except glyphrun.EncodeError:
        symbols, errors = [], {}
        for row, serial in enumerate(serials):
            try:
                symbols.append(glyphrun.encode(serial))
            except glyphrun.EncodeError as error:
                symbols.append(None)
                errors[row] = str(error)
        return symbols, errors


def render_partition(frame, column, out_dir, module, quiet_zone, partition_info=None):
    """Writes the partition's labels into its archive; answers its part of the index."""
    number = partition_info["number"] if partition_info else 0
    serials = frame[column].tolist()
    symbols, errors = encode_each(serials)
    archive = f"part-{number:05d}.zip"
    members = []
    # PNG data is deflated already; storing it keeps the archive's time to its writes.
    with zipfile.ZipFile(os.path.join(out_dir, archive), "w", zipfile.ZIP_STORED) as zip_file:
        for row, (serial, symbol) in enumerate(zip(serials, symbols)):
            if symbol is None:
                members.append("")
                continue
            members.append(member_name(row, serial))
            zip_file.writestr(members[-1], symbol.to_png(module=module, quiet_zone=quiet_zone))
    return pd.DataFrame({"serial": serials, "archive": archive, "member": members,
                         "error": [errors.get(row, "") for row in range(len(serials))]}, index=frame.index)


def make_labels(csv_path, out_dir, client, column="serial", module=4, quiet_zone=2, blocksize="256kB"):
    """Runs the job on `client`'s cluster; answers the number of labels written."""
    os.makedirs(out_dir, exist_ok=True)
    # Serials are text: no number parsing, and an empty one stays empty.
    serials = dd.read_csv(csv_path, usecols=[column], dtype={column: str}, keep_default_na=False,
                          blocksize=blocksize)
    manifest = serials.map_partitions(render_partition, column, out_dir, module, quiet_zone,
                                      meta=MANIFEST_COLUMNS)
    index = client.compute(manifest).result()
    index.to_csv(os.path.join(out_dir, "index.csv"), index=False)
    return int((index["error"] == "").sum())


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("csv")
    parser.add_argument("out_dir")
    parser.add_argument("--column", default="serial")
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
        written = make_labels(args.csv, args.out_dir, client, args.column, args.module, args.quiet_zone,
                              args.blocksize)
    print(f"{written} labels written to {args.out_dir}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
