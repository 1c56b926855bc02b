// The web page in headless Chromium (Debian's, driven by puppeteer-core):
// typed text becomes a symbol on the canvas that reads back, the downloads
// read back, and an input that cannot be encoded shows why under the field.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { test } from 'node:test';

import puppeteer from 'puppeteer-core';

import { BUILD, SOURCE, readSymbols, runCli, temporaryFolder } from './support.js';
import { serve } from './serve.mjs';

const CHROMIUM = '/usr/bin/chromium';
const skip = !existsSync(CHROMIUM) && `no ${CHROMIUM} (sh scripts/install-deps.sh wasm installs Debian's chromium)`;

// The canvas as a PNG file, for the reader.
async function canvasFile(page, path) {
  const url = await page.$eval('#preview', (canvas) => canvas.toDataURL('image/png'));
  writeFileSync(path, Buffer.from(url.slice(url.indexOf(',') + 1), 'base64'));
  return path;
}

async function waitForFile(path) {
  for (let tries = 0; !existsSync(path); tries++) {
    assert.ok(tries < 100, `${path} was not downloaded`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

test('the page makes labels in the browser', { skip }, async (t) => {
  const server = await serve(join(BUILD, 'web'), 0);
  t.after(() => server.close());
  // As root, Chromium runs only without its sandbox.
  const browser = await puppeteer.launch({ executablePath: CHROMIUM, args: ['--no-sandbox'] });
  t.after(() => browser.close());
  const page = await browser.newPage();
  await page.setViewport({ width: 900, height: 760 });
  const folder = temporaryFolder(t);
  const session = await page.createCDPSession();
  await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder });
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForFunction(() => document.getElementById('status').textContent !== '');

  const sample = await page.$eval('#text', (field) => field.value);
  await page.$eval('#text', (field) => field.select());
  await page.type('#text', 'SN-000042 typed');
  assert.deepEqual(readSymbols([await canvasFile(page, join(folder, 'sample.png'))]), [['SN-000042 typed']]);
  assert.notEqual(sample, '');

  await page.click('#png');
  await page.click('#svg');
  const png = join(folder, 'glyphrun.png');
  const svg = join(folder, 'glyphrun.svg');
  await waitForFile(png);
  await waitForFile(svg);
  execFileSync('rsvg-convert', ['-o', join(folder, 'svg.png'), svg]);
  assert.deepEqual(readSymbols([png, join(folder, 'svg.png')]), [['SN-000042 typed'], ['SN-000042 typed']]);

  const wrong = '(01)09506000134353';
  await page.click('#gs1');
  await page.$eval('#text', (field) => field.select());
  await page.type('#text', wrong);
  assert.equal(await page.$eval('#error', (line) => line.textContent), runCli('--gs1', wrong).error);

  await page.click('#gs1');
  await page.$eval('#text', (field) => field.select());
  await page.type('#text', sample);
  await page.click('#hri');
  // Into the build, so that a test run leaves the tracked picture alone;
  // GLYPHRUN_SCREENSHOT=docs/web.png retakes the README's.
  await page.screenshot({ path: process.env.GLYPHRUN_SCREENSHOT ?? join(BUILD, 'web.png') });
});
