// The page in headless Chromium: from an input event on the text field to
// the new symbol on the canvas, for 30-byte labels, measured in the page
// with performance.now() (the handler draws before it returns). Run by
// bench/js.sh after make js.
import puppeteer from 'puppeteer-core';

import { serve } from '../../web/serve.mjs';

const server = await serve(new URL('../web/', import.meta.url).pathname, 0);
const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', args: ['--no-sandbox'] });
try {
  const page = await browser.newPage();
  await page.goto(`http://127.0.0.1:${server.address().port}/`);
  await page.waitForFunction(() => document.getElementById('status').textContent !== '');
  const times = await page.evaluate(() => {
    const field = document.getElementById('text');
    const spent = [];
    for (let i = 0; i < 1000; i++) {
      field.value = `LABEL-${String(i).padStart(6, '0')} LOT 2026-03-14 QA`;
      const start = performance.now();
      field.dispatchEvent(new Event('input'));
      spent.push(performance.now() - start);
    }
    return spent.sort((a, b) => a - b);
  });
  const at = (share) => times[Math.floor(share * (times.length - 1))].toFixed(2);
  console.log(`Chromium ${await browser.version()}: input to canvas, 1,000 labels of 30 bytes`);
  console.log(`median ${at(0.5)} ms, 90th percentile ${at(0.9)} ms, 99th ${at(0.99)} ms, worst ${at(1)} ms`);
} finally {
  await browser.close();
  server.close();
}
