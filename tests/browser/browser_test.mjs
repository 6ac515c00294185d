// The dashboard in a real browser on a simulated station, as its users use
// it: an operator watches the live table change, sees the alarm come and
// mutes it from a phone, opens a probe, a stored day and a month's PDF; a
// viewer may look but not mute, and a crafted login link cannot send her
// elsewhere; the live table fits a phone. A failed step names what it
// waited for and leaves the page's screenshot and console in the artifacts
// folder.

import { mkdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

import {
  PASSWORD, launchBrowser, loadPuppeteer, logIn, option, startStation, until,
} from './harness.mjs';

const program = option('station-program');
const webRoot = option('web-root');
const artifacts = option('artifacts');
const puppeteer = loadPuppeteer(option('node-modules'));

// The sample network's second freezer, the one that warms: a threshold of
// its minutes above the limit is set before the station starts.
const FREEZER_2_ROM = '280C002B1A0000A7';
const TIME_ALARMS = JSON.stringify({ time_alarms: [{ rom: FREEZER_2_ROM, minutes_above: 4 }] });

const DESKTOP = { width: 1280, height: 900 };
const PHONE = { width: 390, height: 844, deviceScaleFactor: 1, isMobile: true, hasTouch: true };

let passed = 0;
let failed = 0;
const consoleLines = [];
const pageErrors = [];

function watch(page, who) {
  page.on('console', (message) => consoleLines.push(`${who} ${message.type()}: ${message.text()}`));
  page.on('pageerror', (error) => pageErrors.push(`${who}: ${error.message}`));
}

async function step(name, page, body) {
  const started = Date.now();
  try {
    await body();
    passed += 1;
    console.log(`ok   ${name} (${Date.now() - started} ms)`);
  } catch (failure) {
    failed += 1;
    console.log(`FAIL ${name}: ${failure.message}`);
    const base = join(artifacts, name.replace(/[^A-Za-z0-9]+/g, '-'));
    try {
      await page.screenshot({ path: `${base}.png`, fullPage: true });
      writeFileSync(`${base}.html`, await page.content());
    } catch (noPage) { /* the browser is gone: the console says why */ }
    writeFileSync(`${base}.console.txt`, consoleLines.join('\n'));
    throw failure;
  }
}

function valueCells(page) {
  return page.$$eval('#results tbody tr', (rows) => rows.map((row) => row.cells[1].textContent));
}

async function operatorSession(browser, station) {
  const page = await browser.newPage();
  watch(page, 'operator');
  await page.setViewport(DESKTOP);

  let freezerRom = null;
  await step('operator logs in and sees the live table', page, async () => {
    await logIn(page, station.url, 'olga');
    await page.waitForSelector('#results tbody tr', { visible: true, timeout: 15000 });
    await page.waitForSelector('#connection.live', { timeout: 10000 });
    const headers = await page.$$eval('#results thead th', (cells) => cells.map((cell) => cell.textContent));
    if (headers.some((text) => !text.trim())) throw new Error(`empty column title in ${JSON.stringify(headers)}`);
  });

  await step('a value changes on the live table without a reload', page, async () => {
    await page.evaluate(() => { window.notReloaded = true; });
    const before = await valueCells(page);
    await until('a value cell to change', 20000, async () => {
      const now = await valueCells(page);
      return now.some((text, row) => before[row] !== undefined && text !== before[row]);
    });
    if (!(await page.evaluate(() => window.notReloaded === true))) throw new Error('the page was reloaded');
  });

  await step('the alarm banner comes with a row in alarm', page, async () => {
    await page.waitForSelector('#banner:not([hidden])', { timeout: 45000 });
    const alarmRow = await page.$('#results tbody tr:not([data-alarm="0"])');
    if (!alarmRow) throw new Error('a banner without a row in alarm');
  });

  await step('the operator writes the comment and mutes on a phone', page, async () => {
    await page.setViewport(PHONE);
    await page.waitForSelector('#banner:not([hidden]) #mute-comment', { visible: true, timeout: 15000 });
    const box = await page.evaluate(() => {
      const input = document.getElementById('mute-comment').getBoundingClientRect();
      const button = document.getElementById('mute').getBoundingClientRect();
      return {
        viewport: window.innerWidth, page: document.documentElement.scrollWidth,
        left: input.left, right: input.right, height: input.height,
        buttonLeft: button.left, buttonRight: button.right,
        // Phones zoom into a field whose text is smaller than this.
        fontSize: parseFloat(getComputedStyle(document.getElementById('mute-comment')).fontSize),
      };
    });
    await page.screenshot({ path: join(artifacts, 'mute-comment-phone.png') });
    const inside = (left, right) => left >= 0 && right <= box.viewport;
    // Room for a sentence: at least half of the phone's width, and no sideways scrolling.
    if (!inside(box.left, box.right) || !inside(box.buttonLeft, box.buttonRight)
      || box.right - box.left < box.viewport / 2 || box.height < 32 || box.fontSize < 16
      || box.page > box.viewport) {
      throw new Error(`the comment box on a phone: ${JSON.stringify(box)}`);
    }
    const comment = 'checked the freezer, door was ajar; closed it at the morning round';
    await page.type('#mute-comment', comment);
    const typed = await page.$eval('#mute-comment', (input) => input.value);
    if (typed !== comment) throw new Error(`the box took "${typed}"`);
    await page.click('#mute');
    await page.waitForSelector('#muted-text:not([hidden])', { timeout: 10000 });
    await page.waitForSelector('#unmute:not([hidden])', { timeout: 1000 });
    await page.setViewport(DESKTOP);
  });

  await step('a notice\'s link leads through the login to its alarm and acknowledges it', page, async () => {
    const rom = await page.$eval('#results tbody tr:not([data-alarm="0"])', (row) => row.dataset.rom);
    await page.click('#unmute');
    await page.waitForSelector('#mute:not([hidden])', { timeout: 10000 });
    // Opened on a phone, where the browser has no session yet.
    const phone = await browser.createBrowserContext();
    try {
      const notice = await phone.newPage();
      watch(notice, 'notice');
      await notice.goto(`${station.url}/acknowledge?alarm=${rom}&notice=qrv-browser-1`,
        { waitUntil: 'domcontentloaded' });
      await notice.waitForSelector('#name', { visible: true, timeout: 10000 });
      await notice.type('#name', 'olga');
      await notice.type('#password', PASSWORD);
      await Promise.all([
        notice.waitForNavigation({ waitUntil: 'domcontentloaded', timeout: 15000 }),
        notice.click('#submit'),
      ]);
      const back = new URL(notice.url());
      if (back.pathname !== '/acknowledge' || back.searchParams.get('alarm') !== rom) {
        throw new Error(`the login led to ${notice.url()}`);
      }
      await notice.waitForSelector(`#alarms li[data-rom="${rom}"]`, { timeout: 10000 });
      await notice.waitForSelector('#ack-form:not([hidden])', { timeout: 5000 });
      await notice.type('#ack-comment', 'from the notice');
      await notice.click('#ack');
      await until('the page to say it is acknowledged', 10000, () => notice.$eval('#ack-message',
        (box) => !box.hidden && box.textContent.startsWith('Acknowledged.')));
    } finally {
      await phone.close();
    }
    // The station's own acknowledgement: the live table shows it muted.
    await page.waitForSelector('#muted-text:not([hidden])', { timeout: 10000 });
  });

  await step('the probe page shows the value, its settings and today\'s graph with limits', page, async () => {
    // The sample network's freezer that warms: its limits lie near its values.
    const freezer = await page.$$eval('#results tbody tr a', (links) => {
      const link = links.find((candidate) => candidate.textContent.trim() === 'Freezer 2');
      return link ? link.href : null;
    });
    if (!freezer) throw new Error('no row "Freezer 2" in the live table');
    freezerRom = new URL(freezer).searchParams.get('rom');
    await page.goto(freezer, { waitUntil: 'domcontentloaded' });
    await page.waitForSelector('#current:not([hidden]) #big-value', { timeout: 10000 });
    await page.waitForSelector('#settings:not([hidden]) dd', { timeout: 10000 });
    const days = await page.$$eval('#windows tbody th', (cells) => cells.map((cell) => cell.textContent));
    if (days.length !== 7 || days[5] !== 'Saturday') throw new Error(`the alarm days are ${JSON.stringify(days)}`);
    const graph = await until('today\'s graph with its values and limit lines', 20000, () => page.evaluate(() => {
      const chart = window.Chart && window.Chart.getChart(document.getElementById('today-graph'));
      if (!chart || chart.data.datasets[0].data.length === 0) return null;
      return { lines: chart.data.datasets.length, colours: chart.data.datasets.map((set) => set.borderColor) };
    }), 500);
    // The values' curve and its alarm and pre-alarm limits.
    if (graph.lines < 3 || !graph.colours.includes('#FF0000') || !graph.colours.includes('#FF6600')) {
      throw new Error(`limit lines missing: ${JSON.stringify(graph)}`);
    }
  });

  await step('a calibration set beside the running station shows as overdue on both pages', page, async () => {
    // Still on the freezer's page. The file is what quorvanel-report
    // calibration writes; the station rereads it when it changes.
    const rom = new URL(page.url()).searchParams.get('rom');
    writeFileSync(join(station.directory, 'QRVCalibration.json'), JSON.stringify({
      calibrations: [{
        rom, gain: 1, offset: 0.5, date: '2020-01-01', instrument: 'RT-1', certificate: 'C-1',
        next_due: '2021-01-01', who: 'inspector',
      }],
    }));
    await page.waitForSelector('#calibration-note[data-due="overdue"]:not([hidden])', { timeout: 15000 });
    const onProbe = await page.$eval('#calibration-note', (note) => note.textContent);
    if (!onProbe.includes('2021-01-01')) throw new Error(`the probe page says "${onProbe}"`);
    await page.goto(`${station.url}/index.html`, { waitUntil: 'domcontentloaded' });
    const selector = `#results tbody tr[data-rom="${rom}"] .calibration-note[data-due="overdue"]:not([hidden])`;
    await page.waitForSelector(selector, { timeout: 15000 });
    const others = await page.$$eval('#results tbody .calibration-note:not([hidden])', (notes) => notes.length);
    if (others !== 1) throw new Error(`${others} rows carry a calibration note`);
  });

  await step('the freezer\'s time out of range shows on both pages, also right after loading', page, async () => {
    if (freezerRom !== FREEZER_2_ROM) throw new Error(`"Freezer 2" is ${freezerRom} now: mend FREEZER_2_ROM`);
    const selector = `#results tbody tr[data-rom="${FREEZER_2_ROM}"] .time-alarm-note[data-side="high"]:not([hidden])`;
    await page.waitForSelector(selector, { timeout: 30000 });
    const others = await page.$$eval('#results tbody .time-alarm-note:not([hidden])', (notes) => notes.length);
    if (others !== 1) throw new Error(`${others} rows carry a time alarm`);
    await page.reload({ waitUntil: 'domcontentloaded' });
    await page.waitForSelector(selector, { timeout: 5000 });
    await page.goto(`${station.url}/probe.html?rom=${FREEZER_2_ROM}`, { waitUntil: 'domcontentloaded' });
    await page.waitForSelector('#time-alarm-note[data-side="high"]:not([hidden])', { timeout: 5000 });
    const text = await page.$eval('#time-alarm-note', (note) => note.textContent);
    if (!/^Time alarm: \d+ min above the limit in 24 h$/.test(text)) throw new Error(`the probe page says "${text}"`);
  });

  await step('a stored day opens with its graph', page, async () => {
    await page.goto(`${station.url}/day.html`, { waitUntil: 'domcontentloaded' });
    await page.waitForSelector('#day option', { timeout: 15000 });
    await until('the day\'s graph', 15000, () => page.evaluate(() => {
      const chart = window.Chart && window.Chart.getChart(document.getElementById('day-graph'));
      return chart && chart.data.datasets[0].data.length > 0;
    }));
    const probes = await page.$$eval('#probe option', (options) => options.length);
    if (probes < 2) throw new Error(`the day lists ${probes} probes`);
    // The freezer's day, reached as from its probe page, with its limits.
    await page.goto(`${station.url}/day.html?rom=${freezerRom}`, { waitUntil: 'domcontentloaded' });
    const graph = await until('the freezer\'s day with its limit lines', 15000, () => page.evaluate(() => {
      const chart = window.Chart && window.Chart.getChart(document.getElementById('day-graph'));
      if (!chart || chart.data.datasets[0].data.length === 0) return null;
      return { name: document.getElementById('day-probe-name').textContent,
        colours: chart.data.datasets.map((set) => set.borderColor) };
    }), 500);
    if (!graph.name.startsWith('Freezer 2') || !graph.colours.includes('#FF0000')
      || !graph.colours.includes('#FF6600')) {
      throw new Error(`the stored day's limit lines are missing: ${JSON.stringify(graph)}`);
    }
  });

  await step('the pages keep loading after many page changes', page, async () => {
    // Each live page holds a stream, and a browser has six connections to
    // the station: pages left behind must give theirs up.
    for (let round = 0; round < 5; ++round) {
      await page.goto(`${station.url}/`, { waitUntil: 'domcontentloaded', timeout: 10000 });
      await page.waitForSelector('#results tbody tr', { visible: true, timeout: 10000 });
      await page.goto(`${station.url}/probe.html?rom=${freezerRom}`, { waitUntil: 'domcontentloaded', timeout: 10000 });
      await page.waitForSelector('#current:not([hidden]) #big-value', { timeout: 10000 });
    }
  });

  await step('a month PDF downloads', page, async () => {
    await page.goto(`${station.url}/reports.html`, { waitUntil: 'domcontentloaded' });
    await page.waitForSelector('#downloads:not([hidden]) #pdf', { timeout: 10000 });
    const href = await page.$eval('#pdf', (link) => link.getAttribute('href'));
    if (!/^\/api\/reports\/month\/\d{4}-\d{2}\.pdf$/.test(href)) throw new Error(`month link ${href}`);
    const start = await page.evaluate(async (path) => {
      const response = await fetch(path);
      const bytes = new Uint8Array(await response.arrayBuffer());
      return { status: response.status, type: response.headers.get('Content-Type'),
        head: String.fromCharCode(...bytes.slice(0, 5)) };
    }, href);
    if (start.status !== 200 || !start.head.startsWith('%PDF')) {
      throw new Error(`the month PDF: ${JSON.stringify(start)}`);
    }
    await page.click('#pdf');
    await until('the page to report the download', 30000, () => page.$eval('#message', (box) => !box.hidden
      && box.className.includes('info') && box.textContent.length > 0 && !box.textContent.endsWith('…')));
  });

  await step('the live table fits a phone', page, async () => {
    await page.setViewport(PHONE);
    await page.goto(station.url, { waitUntil: 'domcontentloaded' });
    await page.waitForSelector('#results tbody tr', { visible: true, timeout: 15000 });
    const widths = await page.evaluate(() => ({
      viewport: window.innerWidth,
      page: document.documentElement.scrollWidth,
      table: document.getElementById('results').getBoundingClientRect().right,
    }));
    const shot = join(artifacts, 'live-table-phone.png');
    const png = await page.screenshot({ path: shot, fullPage: true });
    // A PNG's width is the big-endian word at byte 16.
    const shotWidth = Buffer.from(png).readUInt32BE(16);
    // A mobile viewport widens itself to a page that is too wide, so the
    // phone's own width is the measure.
    if (Math.max(widths.viewport, widths.page, widths.table, shotWidth) > PHONE.width) {
      throw new Error(`wider than the ${PHONE.width} px viewport: ${JSON.stringify({ ...widths, shotWidth })}`);
    }
  });

  await step('the operator logs out', page, async () => {
    await page.setViewport(DESKTOP);
    await page.waitForSelector('#logout', { timeout: 5000 });
    await Promise.all([page.waitForNavigation({ timeout: 10000 }), page.click('#logout')]);
    const status = await page.evaluate(async () => (await fetch('/api/live')).status);
    if (status !== 401) throw new Error(`the API answered ${status} after the log-out`);
  });
  await page.close();
}

async function viewerSession(browser, station) {
  const page = await browser.newPage();
  watch(page, 'viewer');
  await page.setViewport(DESKTOP);
  await step('a crafted link does not lead the viewer off the station after logging in', page, async () => {
    // The browser drops the tab, so the path would become //other-host/.
    await logIn(page, station.url, 'victor', '/%09/other-host.invalid/');
    const landed = new URL(page.url());
    if (landed.origin !== new URL(station.url).origin || landed.pathname !== '/') {
      throw new Error(`sent on to ${page.url()}`);
    }
  });
  await step('a viewer sees the table but is refused the mute', page, async () => {
    await page.waitForSelector('#results tbody tr', { visible: true, timeout: 15000 });
    const muteVisible = await page.$eval('#mute-form', (form) => form.offsetParent !== null);
    if (muteVisible) throw new Error('the viewer is offered the mute');
    const answer = await page.evaluate(async () => {
      const { csrf } = await (await fetch('/api/session')).json();
      const response = await fetch('/api/mute', {
        method: 'POST', headers: { 'Content-Type': 'application/json', 'X-CSRF-Token': csrf }, body: '{}',
      });
      return response.status;
    });
    if (answer !== 403) throw new Error(`the viewer's mute was answered ${answer}`);
    const page403 = await page.evaluate(async () => (await fetch('/acknowledge?alarm=unit')).status);
    if (page403 !== 403) throw new Error(`the viewer's acknowledgement page was answered ${page403}`);
  });
  await step('every page text exists in all four languages', page, async () => {
    const missing = await page.evaluate(async () => (await import('/assets/i18n.js')).missingKeys());
    if (missing.length > 0) throw new Error(`missing: ${missing.join(', ')}`);
  });
  await step('reports are offered by ISO week and graphs leave far limits out', page, async () => {
    const found = await page.evaluate(async () => {
      const { isoWeek, periodsOf } = await import('/assets/periods.js');
      const { limitsNear } = await import('/assets/graph.js');
      return {
        weeks: ['2026-12-31', '2027-01-03', '2027-01-04', '2024-12-30', '2021-01-03', '2020-12-31']
          .map((date) => isoWeek(date).join('-')),
        periods: periodsOf(['2026-11-30', '2026-12-01', '2026-12-07']),
        // A disabled high limit of 125 beside a freezer at -18 would flatten
        // its curve; the near ones stay.
        freezer: limitsNear({ alarmLow: -25, alarmHigh: 125, preLow: -22, preHigh: -15 }, -19, -17)
          .map((line) => line.value),
      };
    });
    const expect = (what, got, wanted) => {
      if (JSON.stringify(got) !== JSON.stringify(wanted)) {
        throw new Error(`${what}: ${JSON.stringify(got)}, not ${JSON.stringify(wanted)}`);
      }
    };
    expect('ISO weeks', found.weeks, ['2026-53', '2026-53', '2027-1', '2025-1', '2020-53', '2020-53']);
    expect('periods', found.periods, {
      day: ['2026-12-07', '2026-12-01', '2026-11-30'], week: ['2026-50', '2026-49'], month: ['2026-12', '2026-11'],
    });
    expect('limits near a freezer', found.freezer, [-15, -22, -25]);
  });
  await page.close();
}

async function main() {
  mkdirSync(artifacts, { recursive: true });
  const started = Date.now();
  const station = await startStation({
    // Thirty times faster: the sample network's freezer alarm comes within
    // half a minute and stands long enough to be muted.
    program, webRoot, accounts: { olga: 'operator', victor: 'viewer' }, fastClock: 30,
    files: { 'QRVTimeAlarms.json': TIME_ALARMS },
  });
  let browser = null;
  try {
    browser = await launchBrowser(puppeteer);
    await operatorSession(browser, station);
    await viewerSession(browser, station);
    const policy = consoleLines.filter((line) => line.includes('Content Security Policy'));
    if (pageErrors.length > 0 || policy.length > 0) {
      failed += 1;
      console.log(`FAIL the pages ran without script errors:\n  ${[...pageErrors, ...policy].join('\n  ')}`);
    } else {
      passed += 1;
    }
  } catch (failure) {
    // The step printed and saved what it knew.
  } finally {
    if (browser) await browser.close();
    writeFileSync(join(artifacts, 'station.log'), station.log());
    await station.stop();
  }
  console.log(`browser test: ${Math.round((Date.now() - started) / 1000)} s`);
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 && passed > 0 ? 0 : 1);
}

main().catch((failure) => {
  console.log(`FAIL setting up: ${failure.message}`);
  console.log('0 passed, 1 failed');
  process.exit(1);
});
