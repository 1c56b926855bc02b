// The npm package: its symbols scan, its files are glyphrun-cli's, its
// refusals are the CLI's, its memory stays flat, and its tarball installs
// and works offline in a folder of its own.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';

import { EncodeError, encode, heapInUse } from 'glyphrun';

import { BUILD, SOURCE, readSymbols, runCli, temporaryFolder } from './support.js';

test('symbols read back with an independent reader', (t) => {
  const cases = [
    ['LOT 2026-12-07', {}, {}],
    ['Καλημέρα 日本語 😀', {}, { module: 3 }],
    [new Uint8Array([0x63, 0x61, 0x66, 0xe9]), {}, {}, 'café'],
    ['LOT 2026-12-07 SN 0042 QA', { size: 'dmre' }, { rotate: 90 }],
    ['ABCDEFGHIJKLMNOP0123456789', { mode: 'c40', size: 'rect' }, { quietZone: 1, fg: '#203080', bg: null }],
    ['Привет', { eci: 7 }, { dpi: 300, xdim: 0.5 }],
  ];
  const folder = temporaryFolder(t);
  const paths = cases.map(([data, options, style], i) => {
    const path = join(folder, `${i}.png`);
    writeFileSync(path, encode(data, options).toPNG(style));
    return path;
  });
  assert.deepEqual(
    readSymbols(paths),
    cases.map(([data, , , text]) => [text ?? data]),
  );
});

test("files are glyphrun-cli's, byte for byte", (t) => {
  const label = 'LOT 2026-12-07';
  const gs1 = '(01)09506000134352(17)261231(10)ABC123';
  const cases = [
    ['png', [label], label, {}, {}],
    ['png', ['--module', '6', '--fg', '203080', label], label, {}, { module: 6, fg: '#203080' }],
    ['png', ['--rotate', '90', '--bg', 'none', '--quiet-zone', '0', label], label, {}, { rotate: 90, bg: null, quietZone: 0 }],
    ['png', ['--dpi', '300', '--xdim', '0.5', '-m', 'c40', '-s', 'rect', label], label, { mode: 'c40', size: 'rect' }, { dpi: 300, xdim: 0.5 }],
    ['png', ['--eci', '7', 'Привет'], 'Привет', { eci: 7 }, {}],
    ['svg', [label], label, {}, {}],
    ['svg', ['--xdim', '0.5', '--hri', '--gs1', gs1], gs1, { gs1: true }, { xdim: 0.5, hri: true }],
    ['svg', ['-s', 'dmre', '--module', '3', '--bg', 'ffffff00', label], label, { size: 'dmre' }, { module: 3, bg: '#ffffff00' }],
    ['pdf', ['--dpi', '300', '--xdim', '0.5', '--hri', 'SERIAL000001'], 'SERIAL000001', {}, { dpi: 300, xdim: 0.5, hri: true }],
    ['pdf', ['--rotate', '270', '--fg', '102030', label], label, {}, { rotate: 270, fg: '#102030' }],
  ];
  const folder = temporaryFolder(t);
  for (const [format, args, data, options, style] of cases) {
    const path = join(folder, `cli.${format}`);
    assert.equal(runCli('-o', path, ...args).status, 0, args.join(' '));
    const symbol = encode(data, options);
    const made = { png: () => symbol.toPNG(style), svg: () => symbol.toSVG(style), pdf: () => symbol.toPDF(style) };
    const expected = readFileSync(path);
    assert.deepEqual(Buffer.from(made[format]()), expected, `${format}: ${args.join(' ')}`);
  }
});

test("an input that cannot be encoded throws EncodeError with the CLI's reason", () => {
  const cases = [
    [['-s', '0', 'ABCDEFGH'], 'ABCDEFGH', { size: 0 }],
    [['--gs1', '(01)09506000134353'], '(01)09506000134353', { gs1: true }],
    [['-m', 'x12', 'abc'], 'abc', { mode: 'x12' }],
    [['--eci', '7', '日本'], '日本', { eci: 7 }],
    [['-s', '10x10', '--binary', ''], new Uint8Array(), { size: '10x10' }],
  ];
  for (const [args, data, options] of cases) {
    const cli = runCli(...args);
    assert.equal(cli.status, 1, args.join(' '));
    assert.throws(() => encode(data, options), (error) => error instanceof EncodeError && error.message === cli.error);
  }
  const symbol = encode('LOT');
  assert.throws(() => symbol.toPNG({ hri: true }), EncodeError, 'PNG text needs FreeType');
  assert.throws(() => encode('\ud800'), /U\+D800 at index 0 is a lone surrogate/);
});

test('an option the package does not take throws a RangeError naming it', () => {
  const symbol = encode('LOT');
  for (const [call, message] of [
    [() => encode('LOT', { mode: 'fast' }), /^mode takes minimal, .* not fast$/],
    [() => encode('LOT', { size: '11x11' }), /^size takes /],
    [() => encode('LOT', { gs1: 'yes' }), /^gs1 takes true or false, not yes$/],
    [() => encode('LOT', { colour: 'red' }), /^encode has no option colour/],
    [() => symbol.toPNG({ module: 0 }), /^module takes a whole number from 1 to 16384, not 0$/],
    [() => symbol.toSVG({ fg: '#eeeeee' }), /^fg and bg are too close for a scanner/],
    [() => symbol.toPNG({ xdim: 0.5 }), /^xdim sizes a PNG's module with dpi/],
    [() => symbol.toPDF({ rotate: 45 }), /^rotate takes 0, 90, 180 or 270 degrees/],
  ])
    assert.throws(call, (error) => error instanceof RangeError && message.test(error.message));
  assert.throws(() => encode(42), TypeError);
});

test('memory stays flat over 100,000 calls, drawings and failures among them', () => {
  const work = (i) => {
    const symbol = encode(`LABEL-${String(i).padStart(6, '0')} LOT 2026-03-14 QA`);
    if (i % 10 === 0) symbol.toPNG();
    if (i % 100 === 0) assert.throws(() => encode('ABCDEFGHIJKL', { size: 0 }), EncodeError);
  };
  for (let i = 0; i < 1000; i++) work(i);
  const before = heapInUse();
  for (let i = 0; i < 100000; i++) work(i);
  assert.equal(heapInUse(), before);
});

test("the README's example runs as written", (t) => {
  const readme = readFileSync(join(SOURCE, 'README.md'), 'utf8');
  const section = readme.slice(readme.indexOf('## From JavaScript'));
  const example = section.match(/```js\n([\s\S]*?)```/)[1];
  const path = join(BUILD, 'test', 'readme-example.mjs');
  writeFileSync(path, example);
  const printed = execFileSync(process.execPath, [path], { cwd: temporaryFolder(t) }).toString();
  assert.equal(printed, `${example.match(/\/\/ (.*)\n/)[1]}\n`);
});

test('the tarball installs and works offline in a folder of its own', (t) => {
  const folder = temporaryFolder(t);
  const tarball = readdirSync(BUILD).find((name) => /^glyphrun-.*\.tgz$/.test(name));
  execFileSync('npm', ['install', '--offline', '--no-audit', '--no-fund', '--silent', join(BUILD, tarball)], {
    cwd: folder,
  });
  writeFileSync(join(folder, 'use.mjs'), "import { encode } from 'glyphrun';\nconsole.log(encode('LOT').rows);\n");
  assert.equal(execFileSync(process.execPath, ['use.mjs'], { cwd: folder }).toString(), '10\n');
});
