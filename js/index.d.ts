/** How the data is encoded: glyphrun-cli's --mode, --size, --gs1, --eci and --dmre. */
export interface EncodeOptions {
  /** 'minimal' (default), 'auto', 'ascii', 'c40', 'text', 'x12', 'edifact' or 'base256'. */
  mode?: 'minimal' | 'auto' | 'ascii' | 'c40' | 'text' | 'x12' | 'edifact' | 'base256';
  /** 'square' (default), 'rect', 'dmre', an index 0-47, or 'ROWSxCOLS' such as '16x48'. */
  size?: 'square' | 'rect' | 'dmre' | number | string;
  /** The data is GS1 element strings in brackets: '(01)09506000134352(10)ABC123'. */
  gs1?: boolean;
  /** An ECI (0-999999) before the data, a string converted to its character set; 26 is UTF-8. */
  eci?: number;
  /** With size 'rect', the DMRE rectangles too. */
  dmre?: boolean;
}

/** How a symbol is drawn: glyphrun-cli's options of the same names. */
export interface Style {
  /** Pixels a module (1 px = 1 pt in PDF); default 4. */
  module?: number;
  /** Modules of quiet zone on each side; default 2. */
  quietZone?: number;
  /** The bars' colour, '#RRGGBB'; default '#000000'. */
  fg?: string;
  /** The background, '#RRGGBB', or null (or '#RRGGBB00') for none; default '#ffffff'. */
  bg?: string | null;
  /** The printer's resolution: PNG records it, and every format makes a module whole dots at it. */
  dpi?: number;
  /** The module's width in millimetres: the unit of SVG and PDF; with dpi, a PNG's module. */
  xdim?: number;
  /** Clockwise: 0, 90, 180 or 270 degrees. */
  rotate?: 0 | 90 | 180 | 270;
  /** The data under the symbol, in SVG and PDF (PNG text needs FreeType, which this build leaves out). */
  hri?: boolean;
}

/** A Data Matrix symbol, made by encode(). */
export class DataMatrixSymbol {
  private constructor();
  readonly rows: number;
  readonly cols: number;
  /** 0-47: 24 squares, 6 rectangles, then the 18 DMRE rectangles. */
  readonly sizeIndex: number;
  /** The data codewords the encodation produced, before padding. */
  readonly dataCodewords: number;
  /** The data codewords the size holds. */
  readonly capacity: number;
  /** The padded data, then the check codewords. */
  readonly codewords: Uint8Array;
  /** rows × cols, row 0 at the top: 1 dark, 0 light. */
  readonly modules: Uint8Array;
  /** The SVG file glyphrun-cli writes for the same options. */
  toSVG(style?: Style): string;
  /** The PNG file glyphrun-cli writes for the same options. */
  toPNG(style?: Style): Uint8Array;
  /** The PDF file glyphrun-cli writes for the same options: one page, the symbol's size. */
  toPDF(style?: Style): Uint8Array;
}

/** An input that cannot be encoded or drawn; the message is glyphrun-cli's one-line reason. */
export class EncodeError extends Error {
  name: 'EncodeError';
}

/**
 * Encodes `data`: a string as glyphrun-cli reads text (ISO 8859-1 when every character is at
 * most U+00FF, else UTF-8 under ECI 26), a Uint8Array as bytes. Throws EncodeError when the data
 * cannot be encoded, RangeError for an option it does not take.
 */
export function encode(data: string | Uint8Array, options?: EncodeOptions): DataMatrixSymbol;

/** The bytes the WebAssembly module holds for its work: flat over any number of calls. */
export function heapInUse(): number;
