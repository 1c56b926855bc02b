import os
from typing import Iterable, Literal, Optional, Tuple, Union, final

import numpy as np
import numpy.typing as npt

__version__: str

Mode = Literal["minimal", "auto", "ascii", "c40", "text", "x12", "edifact", "base256"]
# "square" or "rect": the smallest of that shape; an index into the size
# table; (rows, cols) or "ROWSxCOLS" such as "16x48".
Size = Union[str, int, Tuple[int, int]]
Data = Union[str, bytes, bytearray, memoryview]
# "#RRGGBB" (the "#" optional); a background may also be "#RRGGBB00" or
# None for a transparent one.
Colour = str
StrPath = Union[str, bytes, os.PathLike]

class EncodeError(ValueError):
    """The input cannot be encoded, or the picture cannot be drawn; the
    message is glyphrun-cli's one-line reason."""

@final
class Symbol:
    """A finished symbol, made by encode() and encode_many() only (no
    constructor, no subclasses). Equal symbols have the same size and
    codewords."""

    @property
    def rows(self) -> int: ...
    @property
    def cols(self) -> int: ...
    @property
    def size_index(self) -> int: ...
    @property
    def data_codewords(self) -> int:
        """The codewords the data took, before padding."""
    @property
    def capacity(self) -> int:
        """The data codewords the symbol's size holds."""
    @property
    def codewords(self) -> bytes:
        """The padded data codewords, then the interleaved check codewords."""
    @property
    def modules(self) -> npt.NDArray[np.bool_]:
        """rows x cols, row 0 at the top, True dark: a read-only view of the
        symbol's own modules, not a copy."""
    # Every drawing method takes the same keywords. module: pixels a module
    # (points in EPS and PDF); quiet_zone: modules of background on each side;
    # dpi: the resolution raster files record, and with it every format makes
    # the module whole dots; xdim_mm: the module in millimetres (raster files
    # need dpi for it); hri: the data printed under the symbol (GS1 with AIs in
    # brackets); caption: a line of text below; font_size: points (default:
    # to fit the symbol, at least 6); font: the font file of raster text
    # (default DejaVu Sans); cmyk: EPS and PDF colours as inks, black as K
    # alone; page: PDF only, "A4", "Letter", "50x30mm" and the like, the
    # label centred on it; verify: read the symbol back with an independent
    # reader (zxing-cpp) first, EncodeError when it says something else. A
    # keyword a format has no use for raises ValueError.
    def to_png(self, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
               bg: Optional[Colour] = "#ffffff", dpi: Optional[int] = None, xdim_mm: Optional[float] = None,
               hri: bool = False, caption: Optional[str] = None, font_size: Optional[float] = None,
               font: Optional[StrPath] = None, cmyk: bool = False, page: Optional[str] = None, verify: bool = False) -> bytes:
        """A two-colour PNG file."""
    def to_svg(self, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
               bg: Optional[Colour] = "#ffffff", dpi: Optional[int] = None, xdim_mm: Optional[float] = None,
               hri: bool = False, caption: Optional[str] = None, font_size: Optional[float] = None,
               font: Optional[StrPath] = None, cmyk: bool = False, page: Optional[str] = None, verify: bool = False) -> str:
        """An SVG document."""
    def to_eps(self, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
               bg: Optional[Colour] = "#ffffff", dpi: Optional[int] = None, xdim_mm: Optional[float] = None,
               hri: bool = False, caption: Optional[str] = None, font_size: Optional[float] = None,
               font: Optional[StrPath] = None, cmyk: bool = False, page: Optional[str] = None, verify: bool = False) -> str:
        """An EPS document."""
    def to_pdf(self, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
               bg: Optional[Colour] = "#ffffff", dpi: Optional[int] = None, xdim_mm: Optional[float] = None,
               hri: bool = False, caption: Optional[str] = None, font_size: Optional[float] = None,
               font: Optional[StrPath] = None, cmyk: bool = False, page: Optional[str] = None, verify: bool = False) -> bytes:
        """A one-page PDF document, the page the label's size or `page`."""
    def to_pil(self, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
               bg: Optional[Colour] = "#ffffff", dpi: Optional[int] = None, xdim_mm: Optional[float] = None,
               hri: bool = False, caption: Optional[str] = None, font_size: Optional[float] = None,
               font: Optional[StrPath] = None, cmyk: bool = False,
               page: Optional[str] = None, verify: bool = False) -> "PIL.Image.Image":  # type: ignore[name-defined]
        """The PNG opened by Pillow (which must be installed)."""
    def report(self) -> dict:
        """The fields glyphrun-cli --report writes: rows, cols, size_index,
        family, data_codewords, capacity, ecc_codewords, schemes, and gs1, eci
        or charset, and structured_append for a part of a message."""
    def _repr_png_(self) -> bytes: ...
    def _repr_svg_(self) -> str: ...
    def __hash__(self) -> int: ...
    def save(self, path: StrPath, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
             bg: Optional[Colour] = "#ffffff", dpi: Optional[int] = None, xdim_mm: Optional[float] = None,
             hri: bool = False, caption: Optional[str] = None, font_size: Optional[float] = None,
             font: Optional[StrPath] = None, cmyk: bool = False, page: Optional[str] = None, verify: bool = False) -> None:
        """Writes .png, .gif, .bmp, .pgm, .svg, .eps or .pdf by the name's extension. An
        existing file is replaced only once the new one is complete; a
        failed write raises OSError and leaves it as it was. A path with a
        NUL raises ValueError, as open() does."""

def encode(data: Data, *, mode: Mode = "minimal", size: Size = "square", gs1: bool = False,
           eci: Optional[int] = None, dmre: bool = False) -> Symbol:
    """One symbol. gs1: the data is GS1 element strings in brackets, such as
    "(01)09506000134352(10)ABC123", checked first. eci: an ECI designator
    0-999999 before the data; a str is converted to its character set."""

def encode_many(texts: Iterable[Data], *, mode: Mode = "minimal", size: Size = "square",
                gs1: bool = False, eci: Optional[int] = None, dmre: bool = False,
                errors: Literal["raise", "return"] = "raise") -> list[Union[Symbol, EncodeError]]:
    """encode() for every item, on all cores, without the GIL; the symbols in
    the items' order. The first item that fails raises EncodeError, its
    message starting with "texts[INDEX]: "; with errors="return" each failure
    takes its item's place as an EncodeError instead. A bare str is refused
    (TypeError) rather than split into characters. Ctrl-C stops the batch
    within moments (KeyboardInterrupt)."""

def write_labels(path: StrPath, items: Iterable[Union[Data, Symbol]], *, sheet: Optional[str] = None,
                 grid: Union[str, Tuple[int, int]] = "1x1", sheet_margin_mm: float = 0, gap_mm: float = 0,
                 mode: Mode = "minimal", size: Size = "square", gs1: bool = False, eci: Optional[int] = None,
                 dmre: bool = False, **style: object) -> int:
    """One PDF of a label for each item (a Symbol, or data encoded with
    mode, size, gs1, eci and dmre), taken from any iterable as the pages are
    written, so memory stays flat. sheet: a page size with `grid` cells a
    page inside sheet_margin_mm and gap_mm, the labels in reading order; else
    a label a page (`page`, or each the label's own size). `style` takes the
    drawing keywords of Symbol.to_pdf, hri printing each item's own data.
    The file appears only when every item made its label: the first that
    fails raises EncodeError ("items[INDEX]: ...") and an existing file is
    left as it was. Returns the number of labels."""
