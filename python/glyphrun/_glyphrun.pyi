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
    def to_png(self, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
               bg: Optional[Colour] = "#ffffff", dpi: Optional[int] = None) -> bytes:
        """A two-colour PNG file: `module` pixels a module, `quiet_zone`
        modules of background on each side, `dpi` recorded (96 when None)."""
    def to_svg(self, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
               bg: Optional[Colour] = "#ffffff", xdim_mm: Optional[float] = None) -> str:
        """An SVG document, a module `module` pixels, or `xdim_mm` millimetres when given."""
    def to_eps(self, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
               bg: Optional[Colour] = "#ffffff", xdim_mm: Optional[float] = None) -> str:
        """An EPS document, a module `module` points, or `xdim_mm` millimetres when given."""
    def to_pdf(self, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
               bg: Optional[Colour] = "#ffffff", xdim_mm: Optional[float] = None) -> bytes:
        """A one-page PDF the size of the symbol, a module `module` points, or `xdim_mm` millimetres when given."""
    def to_pil(self, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
               bg: Optional[Colour] = "#ffffff", dpi: Optional[int] = None) -> "PIL.Image.Image":  # type: ignore[name-defined]
        """The PNG opened by Pillow (which must be installed)."""
    def save(self, path: StrPath, *, module: int = 4, quiet_zone: int = 2, fg: Colour = "#000000",
             bg: Optional[Colour] = "#ffffff", dpi: Optional[int] = None,
             xdim_mm: Optional[float] = None) -> None:
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
                gs1: bool = False, eci: Optional[int] = None, dmre: bool = False) -> list[Symbol]:
    """encode() for every item, on all cores, without the GIL; the symbols in
    the items' order. The first item that fails raises EncodeError, its
    message starting with "texts[INDEX]: ". Ctrl-C stops the batch within
    moments (KeyboardInterrupt)."""
