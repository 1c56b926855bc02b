// The page: the symbol of the text as it is typed, drawn from the Symbol's
// modules on the canvas; the files are the package's, the bytes that
// glyphrun-cli writes. Everything runs here, in the browser.
import { encode } from './glyphrun/index.js';

const field = (id) => document.getElementById(id);
const SIZE_COUNT = 48;
const FIRST_DMRE_SIZE = 30;
const TYPES = { png: 'image/png', svg: 'image/svg+xml', pdf: 'application/pdf' };
let shown = null; // the symbol on the canvas

// The fixed sizes named by their modules, as the encoder makes them; the
// DMRE sizes only with DMRE ticked, as readers without DMRE cannot read them.
function fillSizes() {
  const size = field('size');
  const chosen = size.value || 'square';
  size.replaceChildren(new Option('smallest square', 'square'), new Option('smallest rectangle', 'rect'));
  const count = field('dmre').checked ? SIZE_COUNT : FIRST_DMRE_SIZE;
  for (let index = 0; index < count; index++) {
    const { rows, cols } = encode('1', { size: index });
    size.add(new Option(`${rows} × ${cols}`, String(index)));
  }
  size.value = [...size.options].some((option) => option.value === chosen) ? chosen : 'square';
}

function encodeOptions() {
  const size = field('size').value;
  return {
    mode: field('mode').value,
    size: size === 'rect' && field('dmre').checked ? 'dmre' : size,
    gs1: field('gs1').checked,
    eci: field('utf8').checked ? 26 : undefined,
  };
}

function style() {
  return {
    module: field('module').value,
    quietZone: field('quietZone').value,
    fg: field('fg').value,
    bg: field('bg').value,
    hri: field('hri').checked,
  };
}

// The symbol's modules at the style's size, and the text under it in the
// browser's own font (the files draw it themselves).
function draw(symbol, { module, quietZone, fg, bg, hri }, text) {
  const canvas = field('preview');
  const side = Number(module);
  const margin = Number(quietZone) * side;
  const width = symbol.cols * side + 2 * margin;
  const fontSize = Math.max(10, Math.min(3 * side, Math.floor(width / Math.max(0.6 * text.length, 1))));
  canvas.width = width;
  canvas.height = symbol.rows * side + 2 * margin + (hri ? Math.ceil(1.4 * fontSize) : 0);
  const context = canvas.getContext('2d');
  context.fillStyle = bg;
  context.fillRect(0, 0, canvas.width, canvas.height);
  context.fillStyle = fg;
  for (let row = 0; row < symbol.rows; row++) {
    for (let col = 0; col < symbol.cols; col++) {
      if (symbol.modules[row * symbol.cols + col]) context.fillRect(margin + col * side, margin + row * side, side, side);
    }
  }
  if (hri) {
    context.font = `${fontSize}px sans-serif`;
    context.textAlign = 'center';
    context.textBaseline = 'top';
    context.fillText(text, width / 2, symbol.rows * side + 2 * margin, width);
  }
}

function show() {
  const text = field('text').value;
  try {
    const symbol = encode(text, encodeOptions());
    symbol.toSVG(style()); // the writers' refusals of the style, as for a file
    draw(symbol, style(), text);
    shown = symbol;
    field('error').textContent = '';
    field('status').textContent =
      `${symbol.rows} × ${symbol.cols}, ${symbol.dataCodewords} of ${symbol.capacity} data codewords`;
  } catch (error) {
    shown = null;
    field('error').textContent = error.message;
    field('status').textContent = '';
  }
}

function download(format) {
  if (!shown) return;
  try {
    const file = { png: () => shown.toPNG(style()), svg: () => shown.toSVG(style()), pdf: () => shown.toPDF(style()) };
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([file[format]()], { type: TYPES[format] }));
    link.download = `glyphrun.${format}`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  } catch (error) {
    field('error').textContent = error.message;
  }
}

// The picture as shown, text and all, as an image on the clipboard.
function copy() {
  field('preview').toBlob((png) =>
    navigator.clipboard.write([new ClipboardItem({ 'image/png': png })]).catch((error) => {
      field('error').textContent = `the clipboard refused the picture: ${error.message}`;
    }),
  );
}

fillSizes();
field('dmre').addEventListener('input', fillSizes); // before show, which reads the size
for (const control of document.querySelectorAll('textarea, select, input')) control.addEventListener('input', show);
for (const format of Object.keys(TYPES)) field(format).addEventListener('click', () => download(format));
field('copy').addEventListener('click', copy);
show();
