"""Data Matrix ECC200 symbols from text or bytes.

    import glyphrun
    symbol = glyphrun.encode("LOT 2026-12-07")
    png = symbol.to_png(module=4)
    glyphrun.write_labels("labels.pdf", serials, sheet="A4", grid="3x8", hri=True, xdim_mm=0.5)

A str is read as glyphrun-cli reads text: ISO 8859-1 bytes when every
character is at most U+00FF, else UTF-8 under ECI 26; bytes are encoded as
they are. Every input that cannot be encoded raises EncodeError (a
ValueError) with glyphrun-cli's one-line reason; memory that runs short
raises MemoryError.

The functions and the Symbol's drawing methods are Python functions over the
extension's, so that help() and inspect.signature show their arguments.
"""

import os
from typing import Iterable, Literal, Optional, Tuple, Union

from . import _glyphrun
from ._glyphrun import EncodeError, Symbol, __version__

Data = Union[str, bytes, bytearray, memoryview]
Size = Union[str, int, Tuple[int, int]]


def encode(data: Data, *, mode: str = "minimal", size: Size = "square", gs1: bool = False, eci: Optional[int] = None,
           dmre: bool = False) -> Symbol:
    """One symbol of `data` (str or bytes). mode: minimal, auto, ascii, c40,
    text, x12, edifact or base256; size: "square", "rect", "dmre", an index
    0-47, (rows, cols) or "ROWSxCOLS"; gs1: the data is GS1 element strings
    in brackets; eci: an ECI designator 0-999999, a str converted to its set;
    dmre: "rect" may choose a DMRE size."""
    return _glyphrun.encode(data, mode=mode, size=size, gs1=gs1, eci=eci, dmre=dmre)


def encode_many(texts: Iterable[Data], *, mode: str = "minimal", size: Size = "square", gs1: bool = False,
                eci: Optional[int] = None, dmre: bool = False,
                errors: Literal["raise", "return"] = "raise") -> list[Union[Symbol, EncodeError]]:
    """encode() for every item of `texts`, on all cores; the symbols in the
    items' order. The first failure raises EncodeError ("texts[INDEX]: ..."),
    or with errors="return" each takes its item's place as an EncodeError.
    A bare str is refused rather than split into characters."""
    return _glyphrun.encode_many(texts, mode=mode, size=size, gs1=gs1, eci=eci, dmre=dmre, errors=errors)


def write_labels(path: Union[str, bytes, os.PathLike], items: Iterable[Union[Data, Symbol]], *,
                 sheet: Optional[str] = None, grid: Union[str, Tuple[int, int]] = "1x1", sheet_margin_mm: float = 0,
                 gap_mm: float = 0, **options: object) -> int:
    """One PDF of a label for each item (a Symbol, or data encoded with the
    options mode, size, gs1, eci and dmre), streamed from any iterable: a
    label a page (page=, or each its own size) or sheets of `grid` cells.
    The other options are the drawing keywords of Symbol.to_pdf. The file
    appears only when every item made its label; returns their number."""
    return _glyphrun.write_labels(path, items, sheet=sheet, grid=grid, sheet_margin_mm=sheet_margin_mm,
                                  gap_mm=gap_mm, **options)


def _symbol_of_state(state):
    """A Symbol made again, by the encoder, from what pickle kept of it."""
    return _glyphrun._symbol_of_state(state)


def _drawing_method(name, doc, with_path=False):
    """The extension's drawing method `name` as a Python function of the same keywords."""
    method = getattr(Symbol, name)

    def draw(self, *, module=4, quiet_zone=2, fg="#000000", bg="#ffffff", dpi=None, xdim_mm=None, hri=False,
             caption=None, font_size=None, font=None, cmyk=False, page=None, verify=False):
        return method(self, module=module, quiet_zone=quiet_zone, fg=fg, bg=bg, dpi=dpi, xdim_mm=xdim_mm, hri=hri,
                      caption=caption, font_size=font_size, font=font, cmyk=cmyk, page=page, verify=verify)

    def save(self, path, *, module=4, quiet_zone=2, fg="#000000", bg="#ffffff", dpi=None, xdim_mm=None, hri=False,
             caption=None, font_size=None, font=None, cmyk=False, page=None, verify=False):
        return method(self, path, module=module, quiet_zone=quiet_zone, fg=fg, bg=bg, dpi=dpi, xdim_mm=xdim_mm,
                      hri=hri, caption=caption, font_size=font_size, font=font, cmyk=cmyk, page=page, verify=verify)

    function = save if with_path else draw
    function.__name__, function.__qualname__, function.__doc__ = name, f"Symbol.{name}", doc
    setattr(Symbol, name, function)


_KEYWORDS = """module: pixels a module (points in EPS and PDF); quiet_zone: modules of background on each side;
fg, bg: "#RRGGBB" (bg None: transparent); dpi: the printer's resolution, which raster files record and
every format makes the module whole dots of; xdim_mm: the module in millimetres; hri: the data printed
under the symbol; caption: a line of text below it; font_size: points; font: the font file of raster
text; cmyk: EPS and PDF colours as inks; page: the PDF page, such as "A4" or "50x30mm"; verify: read the
symbol back with an independent reader (zxing-cpp) first, EncodeError when it says something else."""
for _name, _what in (("to_png", "A two-colour PNG file (bytes)."), ("to_svg", "An SVG document (str)."),
                     ("to_eps", "An EPS document (str)."), ("to_pdf", "A one-page PDF document (bytes)."),
                     ("to_pil", "The PNG opened by Pillow.")):
    _drawing_method(_name, _what + "\n\n" + _KEYWORDS)
_drawing_method("save", "Writes .png, .gif, .bmp, .pgm, .svg, .eps or .pdf by the name's extension, replacing an "
                        "existing file only once the new one is complete.\n\n" + _KEYWORDS, with_path=True)

__all__ = ["EncodeError", "Symbol", "encode", "encode_many", "write_labels", "__version__"]
