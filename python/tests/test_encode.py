"""What encode makes: symbols a reader reads back, the same symbols, files
and messages as glyphrun-cli, refusals of bad options by name, and no
Symbol made any other way."""

import copy
import inspect
import pickle
import subprocess
import sys

import numpy as np
import pytest

import glyphrun
from conftest import read_png

GS1 = "(01)09506000134352(17)261231(10)ABC123"


@pytest.mark.parametrize("data, options, args", [
    ("LOT 2026-12-07", {}, []),
    ("Καλημέρα 日本語 😀", {"mode": "auto"}, ["-m", "auto"]),
    ("Привет", {"eci": 7, "size": "rect"}, ["--eci", "7", "-s", "rect"]),
    (GS1, {"gs1": True, "mode": "c40"}, ["--gs1", "-m", "c40"]),
    ("LOT 2026-12-07", {"size": (16, 48)}, ["-s", "16x48"]),
    ("LOT 2026-12-07", {"size": 8}, ["-s", "8"]),
    ("LOT 2026-12-07 SN 00421234", {"size": "rect", "dmre": True}, ["-s", "rect", "--dmre"]),
])
def test_symbols_read_back_and_are_glyphrun_clis(cli, tmp_path, data, options, args):
    symbol = glyphrun.encode(data, **options)
    assert read_png(symbol.to_png()).text == data.replace("(", "").replace(")", "")  # GS1's parentheses are not data
    status, out, err = cli("--codewords", *args, "--", data)
    assert status == 0, err
    codewords, size = out.decode().splitlines()
    assert [int(c) for c in codewords.split()] == list(symbol.codewords[:symbol.data_codewords])
    assert size == f"{symbol.rows}x{symbol.cols}" and len(symbol.codewords) >= symbol.capacity >= symbol.data_codewords

    pgm = tmp_path / "grid.pgm"
    assert cli("--module", "1", "--margin", "0", "-o", str(pgm), *args, "--", data)[0] == 0
    header_end = pgm.read_bytes().index(b"255\n") + 4
    grid = np.frombuffer(pgm.read_bytes()[header_end:], np.uint8).reshape(symbol.rows, symbol.cols) == 0
    assert np.array_equal(symbol.modules, grid)


@pytest.mark.parametrize("data", [bytes(range(256)), bytearray(b"\x00\xffraw"), memoryview(b"LOT\x1d2026")])
def test_bytes_like_data_is_encoded_as_its_bytes(data):
    assert read_png(glyphrun.encode(data).to_png()).bytes == bytes(data)


def test_the_same_options_write_the_same_bytes_as_glyphrun_cli(cli, tmp_path):
    symbol = glyphrun.encode("LOT 2026-12-07")
    style = ["--module", "3", "--quiet-zone", "3", "--fg", "203080", "--bg", "fff8e0"]
    cli(*style, "--dpi", "300", "-o", str(tmp_path / "l.png"), "LOT 2026-12-07")
    cli(*style, "--xdim", "0.5", "-o", str(tmp_path / "l.svg"), "LOT 2026-12-07")
    cli(*style, "--bg", "none", "-o", str(tmp_path / "l.eps"), "LOT 2026-12-07")
    cli(*style, "--xdim", "0.5", "-o", str(tmp_path / "l.pdf"), "LOT 2026-12-07")
    assert symbol.to_png(module=3, quiet_zone=3, fg="#203080", bg="#fff8e0", dpi=300) == \
        (tmp_path / "l.png").read_bytes()
    assert symbol.to_svg(module=3, quiet_zone=3, fg="#203080", bg="fff8e0", xdim_mm=0.5) == \
        (tmp_path / "l.svg").read_text()
    assert symbol.to_eps(module=3, quiet_zone=3, fg="#203080", bg=None) == (tmp_path / "l.eps").read_text()
    assert symbol.to_pdf(module=3, quiet_zone=3, fg="#203080", bg="fff8e0", xdim_mm=0.5) == \
        (tmp_path / "l.pdf").read_bytes()


@pytest.mark.parametrize("data, options, args", [
    ("", {}, []),
    ("ABCDEFGH", {"size": 0}, ["-s", "0"]),
    ("日本", {"eci": 7}, ["--eci", "7"]),
])
def test_failures_raise_encode_error_with_glyphrun_clis_reason(cli, data, options, args):
    with pytest.raises(glyphrun.EncodeError) as raised:
        glyphrun.encode(data, **options)
    assert isinstance(raised.value, ValueError)
    assert cli(*args, "--", data)[::2] == (1, f"glyphrun-cli: {raised.value}\n")


def test_a_picture_too_large_and_a_lone_surrogate_are_encode_errors():
    with pytest.raises(glyphrun.EncodeError, match="16384"):
        glyphrun.encode("x").to_png(module=2000)
    with pytest.raises(glyphrun.EncodeError, match="U\\+D800 at position 2"):
        glyphrun.encode("a\ud800")


@pytest.mark.parametrize("call, error, name", [
    (lambda: glyphrun.encode("x", mode="fast"), ValueError, "mode"),
    (lambda: glyphrun.encode("x", mode=1), TypeError, "mode"),
    (lambda: glyphrun.encode("x", size="huge"), ValueError, "size"),
    (lambda: glyphrun.encode("x", size=1.5), TypeError, "size"),
    (lambda: glyphrun.encode("x", eci="26"), TypeError, "eci"),
    (lambda: glyphrun.encode("(01)09506000134352", gs1=True, eci=26), ValueError, "eci"),
    (lambda: glyphrun.encode(123), TypeError, "data"),
    (lambda: glyphrun.encode("x").to_png(module=0), ValueError, "module"),
    (lambda: glyphrun.encode("x").to_png(fg="black"), ValueError, "fg"),
    (lambda: glyphrun.encode("x").to_png(fg="#ffffff", bg="#00000000"), ValueError, "transparent background counts"),
    (lambda: glyphrun.encode("x").to_svg(xdim_mm=0), ValueError, "xdim_mm"),
    (lambda: glyphrun.encode("x").save("label.jpg"), ValueError, "path"),
    (lambda: glyphrun.encode("x").save("label.bmp", bg=None), ValueError, "bg"),
    (lambda: glyphrun.encode("x").to_png(cmyk=True), ValueError, "cmyk"),
    (lambda: glyphrun.encode("x").to_svg(page="A4"), ValueError, "page"),
    (lambda: glyphrun.encode("x").to_pdf(page="A9"), ValueError, "page"),
    (lambda: glyphrun.encode("x").to_pdf(font="f.ttf", hri=True), ValueError, "font"),
    (lambda: glyphrun.write_labels("x.pdf", [], grid="3 by 8"), ValueError, "grid"),
    (lambda: glyphrun.write_labels("x.pdf", [], colour="red"), TypeError, "colour"),
    (lambda: glyphrun.write_labels("x.pdf", [], verify="yes"), TypeError, "verify"),
])
def test_bad_options_are_refused_by_name(call, error, name):
    with pytest.raises(error, match=name) as raised:
        call()
    assert not isinstance(raised.value, glyphrun.EncodeError)


@pytest.mark.parametrize("make", [
    "glyphrun.Symbol()",
    "glyphrun.Symbol.__new__(glyphrun.Symbol)",
    "glyphrun.Symbol.__new__(type('Sub', (glyphrun.Symbol,), {}))",
])
def test_a_symbol_comes_only_from_encode(make):
    # A Symbol with nothing in it crashes whatever reads it, so in a child.
    script = f"import copy, pickle, glyphrun\ns = {make}\nprint(repr(s), s.rows, s.modules)"
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
    assert done.returncode == 1 and done.stderr.splitlines()[-1].startswith("TypeError"), done


def test_a_symbol_pickles_hashes_and_reports_what_it_holds():
    symbol = glyphrun.encode("(01)09506000134352(10)AB", gs1=True, mode="c40")
    again = pickle.loads(pickle.dumps(symbol))  # made again by the encoder, as for multiprocessing and Dask
    assert again == symbol and hash(again) == hash(symbol) and again.codewords == symbol.codewords
    assert copy.copy(symbol) == symbol and len({symbol, again, glyphrun.encode("x")}) == 2
    report = symbol.report()
    assert (report["rows"], report["cols"], report["family"]) == (symbol.rows, symbol.cols, "square")
    assert report["gs1"] == [{"ai": "01", "title": "GTIN", "value": "09506000134352"},
                             {"ai": "10", "title": "BATCH/LOT", "value": "AB"}]
    assert glyphrun.encode("Привет").report()["eci"] == 26
    assert read_png(symbol._repr_png_()).bytes == b"0109506000134352" + b"10AB"
    assert symbol._repr_svg_().startswith("<?xml")


def test_encode_many_can_return_failures_in_place_and_refuses_a_bare_str():
    made = glyphrun.encode_many(["A", "", "B"], errors="return")
    assert [type(item) for item in made] == [glyphrun.Symbol, glyphrun.EncodeError, glyphrun.Symbol]
    assert str(made[1]) == "texts[1]: the input is empty"
    with pytest.raises(TypeError, match="one str"):
        glyphrun.encode_many("ABC")
    with pytest.raises(ValueError, match="errors"):
        glyphrun.encode_many(["A"], errors="ignore")


def test_help_and_inspect_show_every_argument():
    for function, first in ((glyphrun.encode, "data"), (glyphrun.encode_many, "texts"), (glyphrun.write_labels, "path"),
                            (glyphrun.Symbol.to_png, "self"), (glyphrun.Symbol.save, "self")):
        parameters = inspect.signature(function).parameters
        assert next(iter(parameters)) == first and function.__doc__, function
    assert {"hri", "caption", "cmyk", "page", "dpi"} <= set(inspect.signature(glyphrun.Symbol.to_pdf).parameters)
