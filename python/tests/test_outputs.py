"""The outputs of a Symbol: files that open and scan, and the module grid."""

import gc
import importlib.metadata
import io
import os
import xml.etree.ElementTree as ElementTree

import numpy as np
import pytest
from PIL import Image

import glyphrun
from conftest import read_png

LABEL = "LOT 2026-12-07"


@pytest.fixture(scope="module")
def symbol():
    return glyphrun.encode(LABEL)


def test_png_opens_in_pil_with_its_size_colours_and_resolution(symbol):
    png = symbol.to_png(module=5, quiet_zone=3, fg="#203080", bg="#fff8e0", dpi=300)
    image = Image.open(io.BytesIO(png))
    side = lambda modules: (modules + 2 * 3) * 5
    assert image.size == (side(symbol.cols), side(symbol.rows))
    assert round(image.info["dpi"][0]) == 300
    rgb = image.convert("RGB")
    assert rgb.getpixel((0, 0)) == (0xFF, 0xF8, 0xE0)
    # The top-left module of every symbol is dark (the finder's corner).
    assert rgb.getpixel((15, 15)) == (0x20, 0x30, 0x80)
    assert read_png(png).text == LABEL

    transparent = Image.open(io.BytesIO(symbol.to_png(bg=None)))
    assert "transparency" in transparent.info


def test_pil_image_and_vector_documents(symbol):
    image = symbol.to_pil(module=2, quiet_zone=1)
    assert image.size == ((symbol.cols + 2) * 2, (symbol.rows + 2) * 2)
    svg = ElementTree.fromstring(symbol.to_svg(fg="#203080", xdim_mm=0.5))
    assert svg.tag.endswith("svg") and svg.get("width").endswith("mm")
    assert any(shape.get("fill") == "#203080" for shape in svg.iter())
    assert symbol.to_eps().startswith("%!PS-Adobe-3.0 EPSF-3.0")


def test_save_writes_each_format_and_a_failure_keeps_the_old_file(symbol, tmp_path):
    for extension in ("png", "gif", "bmp"):
        path = tmp_path / f"label.{extension.upper()}"
        symbol.save(path, module=3)
        with Image.open(path) as image:
            assert image.format == extension.upper()
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
    for path in (tmp_path / "notes.txt\0.png", str(tmp_path / "notes.txt\0.png"),
                 os.fsencode(tmp_path / "notes.txt\0.png")):
        with pytest.raises(ValueError, match="null byte"):
            symbol.save(path)
    assert (tmp_path / "notes.txt").read_text() == "notes"


def test_modules_are_a_read_only_view_that_outlives_the_symbol():
    assert "numpy" in (importlib.metadata.requires("glyphrun") or []), "pip would not install what modules needs"
    modules = glyphrun.encode(LABEL).modules
    gc.collect()
    assert modules.dtype == np.bool_ and not modules.flags.writeable and modules.base is not None
    # Every symbol's left column is dark and its top row alternates.
    assert modules[:, 0].all()
    assert np.array_equal(modules[0], np.arange(modules.shape[1]) % 2 == 0)
    with pytest.raises(ValueError):
        modules[0, 0] = False
