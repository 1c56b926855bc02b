"""Shared helpers: the independent reader (zxing-cpp's read_barcodes, its
reading API only) and glyphrun-cli, the program the package must agree with."""

import io
import os
import subprocess
from pathlib import Path

import pytest
from PIL import Image

SOURCE_DIR = Path(__file__).resolve().parents[2]


def read_png(png):
    """The reader's one Data Matrix result for a PNG, or a failed test."""
    import zxingcpp

    results = zxingcpp.read_barcodes(Image.open(io.BytesIO(png)).convert("L"), formats=zxingcpp.DataMatrix)
    assert len(results) == 1, "the reader found no symbol"
    return results[0]


@pytest.fixture(scope="session")
def cli():
    """Runs glyphrun-cli: exit status, standard output (bytes) and standard error (text)."""
    path = os.environ.get("GLYPHRUN_CLI") or str(SOURCE_DIR / "build" / "bin" / "glyphrun-cli")
    if not os.access(path, os.X_OK):
        pytest.skip("glyphrun-cli is not built (GLYPHRUN_CLI names it)")

    def run(*args):
        done = subprocess.run([path, *args], capture_output=True)
        return done.returncode, done.stdout, done.stderr.decode()
    return run
