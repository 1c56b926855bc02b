"""examples/dask_labels.py on a local Dask cluster of two workers."""

import csv
import json
import subprocess
import sys
import zipfile

import pytest

from conftest import SOURCE_DIR, read_png

pytest.importorskip("dask.distributed")
ROWS = 20_000


def test_the_dask_example_writes_a_label_for_every_row_and_fails_when_one_did_not(tmp_path):
    serials = [f"SN-{i:08d}-WH{i % 7}" for i in range(ROWS)]
    serials[123] = ""  # no symbol: the index says why
    with open(tmp_path / "serials.csv", "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["serial", "shelf"])
        writer.writerows([serial, i % 40] for i, serial in enumerate(serials))

    out = tmp_path / "labels"
    done = subprocess.run([sys.executable, str(SOURCE_DIR / "examples" / "dask_labels.py"), str(tmp_path / "serials.csv"),
                           str(out), "--workers", "2", "--blocksize", "100kB", "--data", "{serial}"],
                          capture_output=True, text=True, timeout=120)
    assert done.returncode == 1, done.stderr
    assert f"{ROWS - 1} labels written" in done.stdout and "1 row failed" in done.stderr

    with open(out / "index.csv", newline="") as f:
        index = list(csv.DictReader(f))
    assert [row["data"] for row in index] == serials
    with open(out / "report.jsonl") as f:
        reports = [json.loads(line) for line in f]
    assert len(reports) == ROWS and reports[123] == {"data": "", "error": "the input is empty"}
    assert reports[0]["rows"] == 16 and reports[0]["member"] == index[0]["member"]
    assert index[123]["member"] == "" and index[123]["error"] == "the input is empty"
    archives = {row["archive"] for row in index}
    assert len(archives) > 1, "one partition: the cluster had nothing to share"
    members = sum(len(zipfile.ZipFile(out / archive).namelist()) for archive in archives)
    assert members == ROWS - 1
    for row in index[:: ROWS // 20]:
        if row["member"]:
            png = zipfile.ZipFile(out / row["archive"]).read(row["member"])
            assert read_png(png).text == row["data"]
