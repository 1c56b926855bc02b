// glyphrun: Data Matrix ECC200 symbols in Node and in browsers, by the same
// encoder and writers as glyphrun-cli, compiled to WebAssembly.
//
// Every call copies its answer out of the module's memory into JavaScript
// values and frees what it took, so a caller has nothing to release.
import createGlyphrunModule from './glyphrun-module.js';

const wasm = await createGlyphrunModule();
const utf8 = new TextEncoder();
const fromUtf8 = new TextDecoder();
const FORMATS = { png: 0, svg: 1, pdf: 2 };
const NOT_ENCODED = 1;

/** An input that cannot be encoded or drawn, with glyphrun-cli's one-line reason. */
export class EncodeError extends Error {
  constructor(message) {
    super(message);
    this.name = 'EncodeError';
  }
}

// A string is UTF-8 text, read by the CLI's rule; a Uint8Array is bytes as they are.
function inputOf(data) {
  if (typeof data === 'string') {
    const lone = data.search(/\p{Cs}/u);
    if (lone >= 0) {
      const code = data.charCodeAt(lone).toString(16).toUpperCase();
      throw new EncodeError(`the character U+${code} at index ${lone} is a lone surrogate, which UTF-8 cannot hold`);
    }
    return { bytes: utf8.encode(data), text: 1 };
  }
  if (data instanceof Uint8Array) return { bytes: data, text: 0 };
  throw new TypeError(`data takes a string or a Uint8Array, not ${data === null ? 'null' : typeof data}`);
}

// The options as the module reads them: name and value, each ended by NUL;
// null stands for none (a transparent background).
function optionList(options = {}) {
  let list = '';
  for (const [name, value] of Object.entries(options)) {
    if (value !== undefined) list += `${name}\0${value === null ? 'none' : value}\0`;
  }
  return utf8.encode(list);
}

// Calls `entry` with the address and length of each of `parts` copied into
// the module's memory, then `rest`; frees them however it ends, and answers
// the call's bytes, or throws its refusal. The bytes are a view of the
// module's memory, good until its next call: copy them to keep them.
function call(entry, parts, ...rest) {
  const addresses = [];
  try {
    const args = [];
    for (const part of parts) {
      const address = wasm._malloc(Math.max(part.length, 1));
      addresses.push(address);
      wasm.HEAPU8.set(part, address);
      args.push(address, part.length);
    }
    const outcome = entry(...args, ...rest);
    const answer = new DataView(wasm.HEAPU8.buffer, wasm._glyphrun_answer(), 28);
    const at = answer.getUint32(20, true);
    const bytes = wasm.HEAPU8.subarray(at, at + answer.getUint32(24, true));
    if (outcome === 0) return { answer, bytes };
    const reason = fromUtf8.decode(bytes);
    throw outcome === NOT_ENCODED ? new EncodeError(reason) : new RangeError(reason);
  } finally {
    for (const address of addresses) wasm._free(address);
  }
}

/** A Data Matrix symbol: its size, codewords and modules, and its files. */
export class DataMatrixSymbol {
  #input;
  #text;
  #options;

  constructor(input, text, options, answer, bytes) {
    this.#input = input;
    this.#text = text;
    this.#options = options;
    this.rows = answer.getInt32(0, true);
    this.cols = answer.getInt32(4, true);
    this.sizeIndex = answer.getInt32(8, true);
    this.dataCodewords = answer.getInt32(12, true);
    this.capacity = answer.getInt32(16, true);
    const modules = this.rows * this.cols;
    const copied = bytes.slice();
    this.codewords = copied.subarray(0, bytes.length - modules);
    this.modules = copied.subarray(bytes.length - modules);
    Object.freeze(this);
  }

  #draw(format, style) {
    return call(wasm._glyphrun_draw, [this.#input, this.#options, optionList(style)], this.#text, FORMATS[format])
      .bytes;
  }

  /** The symbol as glyphrun-cli's SVG file, a string. */
  toSVG(style) {
    return fromUtf8.decode(this.#draw('svg', style));
  }

  /** The symbol as glyphrun-cli's PNG file. */
  toPNG(style) {
    return this.#draw('png', style).slice();
  }

  /** The symbol as glyphrun-cli's PDF file, one page the symbol's size. */
  toPDF(style) {
    return this.#draw('pdf', style).slice();
  }
}

/** Encodes `data` (a string by the CLI's text rule, or a Uint8Array of bytes). */
export function encode(data, options) {
  const { bytes: input, text } = inputOf(data);
  const list = optionList(options);
  const { answer, bytes } = call(wasm._glyphrun_encode, [input, list], text);
  return new DataMatrixSymbol(input.slice(), text, list, answer, bytes);
}

/** The bytes the WebAssembly module holds for its work: flat over any number of calls. */
export function heapInUse() {
  return wasm._glyphrun_heap_in_use();
}
