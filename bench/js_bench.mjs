// Glyphrun's npm package against bwip-js (run as a black box, for this
// comparison only) in one Node process: the same 1,000 labels of 30 bytes
// as PNG and as SVG, best of five rounds each. Run by bench/js.sh.
import bwipjs from 'bwip-js';
import { encode } from 'glyphrun';

const labels = Array.from({ length: 1000 }, (_, i) => `LABEL-${String(i).padStart(6, '0')} LOT 2026-03-14 QA`);

// The best of five rounds over the labels, in µs a label.
async function time(make) {
  let best = Infinity;
  for (let round = 0; round < 5; round++) {
    const start = performance.now();
    for (const label of labels) await make(label);
    best = Math.min(best, ((performance.now() - start) * 1000) / labels.length);
  }
  return best;
}

const rows = [
  ['glyphrun PNG', (text) => encode(text).toPNG({ module: 4, quietZone: 2 })],
  ['bwip-js PNG', (text) => bwipjs.toBuffer({ bcid: 'datamatrix', text, scale: 4, padding: 8 })],
  ['glyphrun SVG', (text) => encode(text).toSVG({ module: 4, quietZone: 2 })],
  ['bwip-js SVG', (text) => bwipjs.toSVG({ bcid: 'datamatrix', text, padding: 8 })],
];
const results = {};
for (const [name, make] of rows) results[name] = await time(make);
console.log(`Node ${process.version}, 1,000 labels of 30 bytes, best of 5 rounds`);
for (const [name, micros] of Object.entries(results)) console.log(`${name.padEnd(14)} ${micros.toFixed(1).padStart(8)} µs a label`);
for (const format of ['PNG', 'SVG'])
  console.log(`${format}: glyphrun ${(results[`bwip-js ${format}`] / results[`glyphrun ${format}`]).toFixed(0)} times as fast`);
