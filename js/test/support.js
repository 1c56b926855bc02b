// What the package's and the page's tests share: where things are, the
// CLI the package must agree with, and the independent reader.
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

// The tests run from build-wasm/test/, beside their installed packages.
export const SOURCE = fileURLToPath(new URL('../../', import.meta.url));
export const BUILD = join(SOURCE, 'build-wasm');
export const CLI = process.env.GLYPHRUN_CLI ?? join(SOURCE, 'build', 'bin', 'glyphrun-cli');

// glyphrun-cli's exit status, standard output (bytes) and its error line without the program's name.
export function runCli(...args) {
  const run = spawnSync(CLI, args);
  return { status: run.status, output: run.stdout, error: run.stderr.toString().replace(/^glyphrun-cli: /, '').trim() };
}

// A temporary folder for the test's files, removed when the test ends.
export function temporaryFolder(t) {
  const folder = mkdtempSync(join(tmpdir(), 'glyphrun-js-'));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  return folder;
}

// zxing-cpp's reader (Debian's python3-zxing-cpp), which we did not write:
// for each picture file, the texts of the Data Matrix symbols it finds.
const READ = `
import json, sys, zxingcpp
from PIL import Image
for path in sys.argv[1:]:
    found = zxingcpp.read_barcodes(Image.open(path).convert("L"), formats=zxingcpp.DataMatrix)
    print(json.dumps([result.text for result in found]))
`;
export function readSymbols(paths) {
  const output = execFileSync('/usr/bin/python3', ['-c', READ, ...paths]).toString();
  return output.trim().split('\n').map((line) => JSON.parse(line));
}
