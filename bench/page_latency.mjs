// The page in headless Chromium: from a keystroke in the text field to the
// new symbol on the canvas, for 30-byte labels. Each label's first 29
// characters are put in the field and the 30th is typed as a key; the page
// measures with performance.now() from the key's keydown event to the end
// of the page's own input handler, which has drawn the symbol by then.
// Run by bench/js.sh after make js.
import puppeteer from 'puppeteer-core';

import { serve } from '../../web/serve.mjs';

const server = await serve(new URL('../web/', import.meta.url).pathname, 0);
const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
try {
  const page = await browser.newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForFunction(() => document.getElementById('status').textContent !== '');
  // Added after the page's handler, so they run after it.
  await page.evaluate(() => {
    const field = document.getElementById('text');
    window.spent = [];
    field.addEventListener('keydown', (event) => (window.keyAt = event.timeStamp));
    field.addEventListener('input', () => window.spent.push(performance.now() - window.keyAt));
  });
  for (let i = 0; i < 1000; i++) {
    const label = `LABEL-${String(i).padStart(6, '0')} LOT 2026-03-14 QA`;
    await page.$eval('#text', (field, start) => {
      field.value = start;
      field.focus();
      field.setSelectionRange(start.length, start.length);
    }, label.slice(0, -1));
    await page.keyboard.press(label.at(-1));
  }
  const times = await page.evaluate(() => window.spent.sort((a, b) => a - b));
  const status = await page.$eval('#status', (line) => line.textContent);
  const at = (share) => times[Math.floor(share * (times.length - 1))].toFixed(2);
  console.log(`Chromium ${await browser.version()}: keystroke to canvas, ${times.length} labels of 30 bytes (${status})`);
  console.log(`median ${at(0.5)} ms, 90th percentile ${at(0.9)} ms, 99th ${at(0.99)} ms, worst ${at(1)} ms`);
} finally {
  await browser.close();
  server.close();
}
