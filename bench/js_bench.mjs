// Glyphrun's npm package against bwip-js (run as a black box, for this
// comparison only) in one Node process: the same 1,000 labels of 30 bytes
// as PNG and as SVG. The four rows take turns, a pass over the labels each,
// five rounds, so that the machine's other work falls on all of them alike;
// each row's best pass counts. Run by bench/js.sh.
import bwipjs from 'bwip-js';
import { encode } from 'glyphrun';

const labels = Array.from({ length: 1000 }, (_, i) => `LABEL-${String(i).padStart(6, '0')} LOT 2026-03-14 QA`);

const rows = [
  ['glyphrun PNG', (text) => encode(text).toPNG({ module: 4, quietZone: 2 })],
  ['bwip-js PNG', (text) => bwipjs.toBuffer({ bcid: 'datamatrix', text, scale: 4, padding: 8 })],
  ['glyphrun SVG', (text) => encode(text).toSVG({ module: 4, quietZone: 2 })],
  ['bwip-js SVG', (text) => bwipjs.toSVG({ bcid: 'datamatrix', text, padding: 8 })],
];

// One pass over the labels, in µs a label. A call that answers a promise
// (bwip-js's toBuffer) is awaited; the others are not, as an await costs a
// turn of the event loop even on a value.
async function pass(make) {
  const start = performance.now();
  for (const label of labels) {
    const made = make(label);
    if (made instanceof Promise) await made;
  }
  return ((performance.now() - start) * 1000) / labels.length;
}

const best = Object.fromEntries(rows.map(([name]) => [name, Infinity]));
for (let round = 0; round < 5; round++)
  for (const [name, make] of rows) best[name] = Math.min(best[name], await pass(make));
console.log(`Node ${process.version}, 1,000 labels of 30 bytes, best of 5 rounds taken in turns`);
for (const [name, micros] of Object.entries(best)) console.log(`${name.padEnd(14)} ${micros.toFixed(1).padStart(8)} µs a label`);
for (const format of ['PNG', 'SVG'])
  console.log(`${format}: glyphrun ${(best[`bwip-js ${format}`] / best[`glyphrun ${format}`]).toFixed(0)} times as fast`);
