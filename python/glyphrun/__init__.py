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
"""

from . import _glyphrun
from ._glyphrun import EncodeError, Symbol, __version__, encode, encode_many, write_labels


def _symbol_of_state(state):
    """A Symbol made again, by the encoder, from what pickle kept of it."""
    return _glyphrun._symbol_of_state(state)


__all__ = ["EncodeError", "Symbol", "encode", "encode_many", "write_labels", "__version__"]
