// What the browser test and the page benchmark share: a simulated station of
// their own with the dashboard on a free loopback port, accounts on it, and
// Debian's chromium driven by puppeteer-core. Every wait has a deadline and
// says what it waited for.

import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';

export const PASSWORD = 'correct horse battery';

export function option(name, fallback) {
  const at = process.argv.indexOf(`--${name}`);
  if (at >= 0 && at + 1 < process.argv.length) return process.argv[at + 1];
  if (fallback === undefined) throw new Error(`--${name} is missing`);
  return fallback;
}

// puppeteer-core as npm installed it in the build folder (not beside the
// sources, which stay free of node_modules).
export function loadPuppeteer(nodeModules) {
  const require = createRequire(join(resolve(nodeModules), 'noop.js'));
  return require('puppeteer-core');
}

export function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

export async function until(what, deadlineMs, probe, everyMs = 100) {
  const end = Date.now() + deadlineMs;
  let last;
  for (;;) {
    try {
      last = await probe();
      if (last) return last;
    } catch (failure) {
      last = failure;
    }
    if (Date.now() >= end) {
      const detail = last instanceof Error ? `: ${last.message}` : '';
      throw new Error(`timed out after ${deadlineMs} ms waiting for ${what}${detail}`);
    }
    await new Promise((resolve) => { setTimeout(resolve, everyMs); });
  }
}

function run(program, args, input) {
  return new Promise((resolve, reject) => {
    const child = spawn(program, args, { stdio: ['pipe', 'pipe', 'pipe'] });
    let output = '';
    child.stdout.on('data', (chunk) => { output += chunk; });
    child.stderr.on('data', (chunk) => { output += chunk; });
    child.on('error', reject);
    child.on('close', (code) => {
      if (code === 0) resolve(output);
      else reject(new Error(`${program} ${args.join(' ')} ended with ${code}: ${output}`));
    });
    child.stdin.end(input);
  });
}

// A station directory of its own on the simulated unit, with accounts
// (name -> role) and the dashboard on a free port. The clock runs `fastClock`
// times faster so that alarms and stores come within seconds.
export async function startStation({
  program, webRoot, accounts, fastClock = 60, network, files = {},
}) {
  const directory = mkdtempSync(join(tmpdir(), 'qrv-web-'));
  // Station files the station reads as it starts.
  for (const [name, content] of Object.entries(files)) writeFileSync(join(directory, name), content);
  const port = await freePort();
  writeFileSync(join(directory, 'quorvanel.toml'), [
    '[web]',
    'enabled = true',
    `listen = "127.0.0.1:${port}"`,
    `root = ${JSON.stringify(webRoot)}`,
    // The idle timeout runs on the station's accelerated clock.
    'session_idle_minutes = 1440',
    '',
  ].join('\n'));
  for (const [name, role] of Object.entries(accounts)) {
    await run(program, ['--station', directory, 'user', 'add', name, '--role', role], `${PASSWORD}\n`);
  }
  const simulate = network ? `--simulate=${network}` : '--simulate';
  const child = spawn(program, ['--station', directory, simulate, `--fast-clock=${fastClock}`],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  let log = '';
  child.stdout.on('data', (chunk) => { log += chunk; });
  child.stderr.on('data', (chunk) => { log += chunk; });
  let exited = null;
  child.on('exit', (code, signal) => { exited = signal || code; });
  const url = `http://127.0.0.1:${port}`;
  const station = {
    directory, port, url, child,
    log: () => log,
    async stop() {
      if (exited === null) {
        const gone = new Promise((resolve) => { child.once('exit', resolve); });
        child.kill('SIGTERM');
        const killer = setTimeout(() => child.kill('SIGKILL'), 10000);
        await gone;
        clearTimeout(killer);
      }
      rmSync(directory, { recursive: true, force: true });
    },
  };
  try {
    await until(`the dashboard at ${url}`, 30000, async () => {
      if (exited !== null) throw new Error(`the station ended (${exited}): ${log}`);
      const response = await fetch(`${url}/login.html`);
      return response.ok;
    }, 200);
  } catch (failure) {
    await station.stop();
    throw failure;
  }
  return station;
}

export async function launchBrowser(puppeteer) {
  return puppeteer.launch({
    executablePath: process.env.QRV_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    // Root in CI, and no sandbox without user namespaces there.
    args: ['--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage', '--no-first-run',
      '--disable-background-networking', '--disable-component-update'],
  });
}

// next: the login page's query as a link would give it, taken as it is.
export async function logIn(page, url, name, next = null) {
  const query = next === null ? '' : `?next=${next}`;
  await page.goto(`${url}/login.html${query}`, { waitUntil: 'domcontentloaded' });
  await page.waitForSelector('#name', { visible: true, timeout: 10000 });
  await page.type('#name', name);
  await page.type('#password', PASSWORD);
  await Promise.all([
    page.waitForNavigation({ waitUntil: 'domcontentloaded', timeout: 15000 }),
    page.click('#submit'),
  ]);
  if (new URL(page.url()).pathname === '/login.html') {
    const message = await page.$eval('#message', (box) => box.textContent);
    throw new Error(`logging in as ${name} failed: ${message}`);
  }
}
