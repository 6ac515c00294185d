// How fast the live table reaches a browser on loopback: the page's load
// until its rows are drawn, and a reading's way from the station to the
// page's table. Runs its own simulated station on real time (readings come
// at the station's own pace) and Debian's chromium.
//
//   node bench/web/page_load_bench.mjs --station-program build/release/src/app/station/quorvanel-station \
//        --web-root web --node-modules build/release/tests/browser/node_modules [--loads 30] [--seconds 60]

import { resolve } from 'node:path';

import {
  launchBrowser, loadPuppeteer, logIn, option, startStation,
} from '../../tests/browser/harness.mjs';

const loads = Number(option('loads', '30'));
const seconds = Number(option('seconds', '60'));

function summary(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const at = (share) => sorted[Math.min(sorted.length - 1, Math.floor(share * sorted.length))];
  return `n=${sorted.length} median ${at(0.5).toFixed(1)} ms, p95 ${at(0.95).toFixed(1)} ms, max ${sorted[sorted.length - 1].toFixed(1)} ms`;
}

// Marks, in the page, when the first row of the table exists and when each
// value cell changes, by the page's own clock.
function instrument() {
  window.benchRowsAt = null;
  window.benchChanges = [];
  new MutationObserver((records) => {
    const now = performance.now();
    if (window.benchRowsAt === null && document.querySelector('#results tbody tr')) window.benchRowsAt = now;
    for (const record of records) {
      const cell = record.target.nodeType === 1 ? record.target : record.target.parentElement;
      if (cell && cell.classList && cell.classList.contains('value')) {
        window.benchChanges.push({ at: performance.timeOrigin + now, rom: cell.parentElement.dataset.rom });
      }
    }
  }).observe(document, { subtree: true, childList: true, characterData: true });
}

async function main() {
  const puppeteer = loadPuppeteer(resolve(option('node-modules')));
  const station = await startStation({
    program: resolve(option('station-program')), webRoot: resolve(option('web-root')),
    accounts: { bench: 'viewer' }, fastClock: 1,
  });
  const browser = await launchBrowser(puppeteer);
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 900 });
    await logIn(page, station.url, 'bench');
    await page.waitForSelector('#results tbody tr', { timeout: 30000 });
    await page.evaluateOnNewDocument(instrument);

    const rowsDrawn = [];
    const loaded = [];
    // Each request of the load: when it started and ended, by its path.
    const requests = new Map();
    for (let i = 0; i < loads; ++i) {
      await page.goto(station.url, { waitUntil: 'load' });
      await page.waitForFunction(() => window.benchRowsAt !== null, { timeout: 10000 });
      rowsDrawn.push(await page.evaluate(() => window.benchRowsAt));
      loaded.push(await page.evaluate(() => performance.getEntriesByType('navigation')[0].loadEventEnd));
      const entries = await page.evaluate(() => [...performance.getEntriesByType('navigation'),
        ...performance.getEntriesByType('resource')].map((entry) => ({
        path: new URL(entry.name).pathname, start: entry.startTime,
        end: entry.responseEnd || entry.startTime + entry.duration, bytes: entry.encodedBodySize })));
      for (const entry of entries) {
        if (!requests.has(entry.path)) requests.set(entry.path, { start: [], end: [], bytes: entry.bytes });
        requests.get(entry.path).start.push(entry.start);
        requests.get(entry.path).end.push(entry.end);
      }
    }
    console.log(`live table, load event:      ${summary(loaded)}`);
    console.log(`live table, rows drawn:      ${summary(rowsDrawn)}`);
    console.log('requests (median start → end of the response, body bytes):');
    const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
    for (const [path, times] of [...requests].sort((a, b) => median(a[1].start) - median(b[1].start))) {
      console.log(`  ${path.padEnd(28)} ${median(times.start).toFixed(1).padStart(6)} → `
        + `${median(times.end).toFixed(1).padStart(6)} ms  ${times.bytes} B`);
    }

    // Reading to table: each changed row's lastRead (whole seconds of the
    // station's clock) against the moment its cell changed. The row's time
    // is cut to the second, so a measured delay d means a true one between
    // d - 1000 and d milliseconds.
    await page.evaluate(() => { window.benchChanges = []; });
    await new Promise((done) => { setTimeout(done, seconds * 1000); });
    const changes = await page.evaluate(() => window.benchChanges);
    // The rows' reading times, as a second page on the same stream gets them.
    const delays = await page.evaluate(async (windowSeconds) => new Promise((done) => {
      const found = [];
      const source = new EventSource('/api/events');
      source.addEventListener('update', (event) => {
        const receivedAt = Date.now();
        for (const row of JSON.parse(event.data).probes || []) {
          if (row.lastRead) found.push(receivedAt - new Date(row.lastRead).getTime());
        }
      });
      setTimeout(() => { source.close(); done(found); }, windowSeconds * 1000);
    }), Math.min(seconds, 30));
    console.log(`value cells changed:         ${changes.length} in ${seconds} s`);
    if (delays.length > 0) {
      console.log(`reading to page (upper bound, row time cut to the second): ${summary(delays)}`);
      console.log(`reading to page (lower bound): ${summary(delays.map((d) => Math.max(0, d - 1000)))}`);
    }
  } finally {
    await browser.close();
    await station.stop();
  }
}

main().catch((failure) => {
  console.error(failure.message);
  process.exit(1);
});
