"""The outputs of a Symbol: pictures and files that open, and the module grid as a NumPy view."""

import gc
import importlib.metadata
import io
import os
import shutil
import subprocess

import numpy as np
import pytest
from PIL import Image

import glyphrun
from conftest import read_png

LABEL = "LOT 2026-12-07"


@pytest.fixture(scope="module")
def symbol():
    return glyphrun.encode(LABEL)


def test_png_and_pil_image_open_at_their_size_and_resolution(symbol):
    png = symbol.to_png(module=5, quiet_zone=3, dpi=300, bg=None)
    image = Image.open(io.BytesIO(png))
    assert image.size == ((symbol.cols + 6) * 5, (symbol.rows + 6) * 5) and round(image.info["dpi"][0]) == 300
    assert "transparency" in image.info
    assert symbol.to_pil(module=2, quiet_zone=1).size == ((symbol.cols + 2) * 2, (symbol.rows + 2) * 2)


def test_save_writes_each_format_and_a_failure_keeps_the_old_file(symbol, tmp_path):
    for extension, format in (("png", "PNG"), ("gif", "GIF"), ("bmp", "BMP"), ("pgm", "PPM")):
        path = tmp_path / f"label.{extension.upper()}"
        symbol.save(path, module=3)
        with Image.open(path) as image:
            assert image.format == format
            assert image.size == ((symbol.cols + 4) * 3,) * 2
    symbol.save(str(tmp_path / "label.svg"), xdim_mm=0.5)
    assert (tmp_path / "label.svg").read_text() == symbol.to_svg(xdim_mm=0.5)
    symbol.save(tmp_path / "label.eps")
    assert (tmp_path / "label.eps").read_text() == symbol.to_eps()

    before = (tmp_path / "label.PNG").read_bytes()
    with pytest.raises(glyphrun.EncodeError):
        symbol.save(tmp_path / "label.PNG", module=5000)
    assert (tmp_path / "label.PNG").read_bytes() == before
    with pytest.raises(FileNotFoundError, match="missing"):
        symbol.save(tmp_path / "missing" / "label.png")
    # The system would end the name at the NUL and replace notes.txt.
    (tmp_path / "notes.txt").write_text("notes")
    with pytest.raises(ValueError, match="null byte"):
        symbol.save(os.fsencode(tmp_path / "notes.txt\0.png"))
    assert (tmp_path / "notes.txt").read_text() == "notes"


def test_modules_are_a_read_only_view_that_outlives_the_symbol():
    assert "numpy" in (importlib.metadata.requires("glyphrun") or []), "pip would not install what modules needs"
    modules = glyphrun.encode(LABEL).modules
    gc.collect()
    assert modules.dtype == np.bool_ and not modules.flags.writeable and modules.base is not None
    with pytest.raises(ValueError):
        modules[0, 0] = False


@pytest.mark.skipif(not shutil.which("pdftotext"), reason="pdftotext is not installed (Debian package poppler-utils)")
def test_labels_carry_their_text_and_write_labels_streams_one_pdf(tmp_path):
    data = "(01)09506000134352(17)261231(10)ABC123"
    one = tmp_path / "one.pdf"
    one.write_bytes(glyphrun.encode(data, gs1=True).to_pdf(hri=True, caption="Lot 42", cmyk=True, page="A6"))
    text = subprocess.run(["pdftotext", one, "-"], capture_output=True, text=True, check=True).stdout
    assert text.split("\n")[:2] == [data, "Lot 42"]
    assert "<text" in glyphrun.encode("LOT").to_svg(hri=True)
    sheet = tmp_path / "sheet.pdf"
    serials = (f"SN{i:05}" for i in range(30))  # a generator, taken as the pages are written
    assert glyphrun.write_labels(sheet, serials, sheet="A4", grid="3x8", hri=True, xdim_mm=0.5) == 30
    info = subprocess.run(["pdfinfo", sheet], capture_output=True, text=True, check=True).stdout
    assert "Pages:           2" in info
    text = subprocess.run(["pdftotext", sheet, "-"], capture_output=True, text=True, check=True).stdout
    assert all(f"SN{i:05}" in text for i in range(30))
    before = sheet.read_bytes()
    with pytest.raises(glyphrun.EncodeError, match=r"items\[1\]: the input is empty"):
        glyphrun.write_labels(sheet, [glyphrun.encode("A"), ""], sheet="A4")
    assert sheet.read_bytes() == before and sorted(os.listdir(tmp_path)) == ["one.pdf", "sheet.pdf"]


def test_verify_reads_each_picture_back_before_answering(symbol, tmp_path):
    assert read_png(symbol.to_png(verify=True)).text == LABEL
    for colours in ({"fg": "#ffffff", "bg": "#000000"}, {"bg": None}):  # light on dark is turned over, as scanners do
        assert symbol.to_png(verify=True, **colours).startswith(b"\x89PNG")
    for name in ("v.svg", "v.pdf", "v.gif"):
        symbol.save(tmp_path / name, verify=True, hri=True)
    assert symbol.to_svg(module=1, verify=True).startswith("<?xml")  # read at a scale a reader takes
    assert glyphrun.write_labels(tmp_path / "sheet.pdf", [symbol, "SN 2"], sheet="A6", grid="1x2", verify=True) == 2
