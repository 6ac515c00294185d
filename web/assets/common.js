// What every page after the login shares: the session, calls to the station,
// the station's texts, the navigation bar.

import {
  LANGUAGES, LANGUAGE_NAMES, rememberLanguage, setLanguage, t, translatePage,
} from './i18n.js';

const ROLE_RANK = { viewer: 0, operator: 1, admin: 2 };

let session = null;
let stationTexts = {};

export class ApiError extends Error {
  constructor(status, message, body) {
    super(message);
    this.status = status;
    this.body = body;
  }
}

export function toLogin(reason) {
  const here = location.pathname + location.search;
  const query = new URLSearchParams({ next: here });
  if (reason) query.set('reason', reason);
  location.replace('/login.html?' + query.toString());
}

// A call to the station's API. A changing request carries the session's CSRF
// token; an ended session sends the user to the login page rather than
// leaving a page that silently shows nothing. A call of the page's own timers
// says so (background), so that it does not keep an idle session alive.
export async function api(path, { method = 'GET', body, raw = false, background = false } = {}) {
  const headers = {};
  if (background) headers['X-Qrv-Background'] = '1';
  if (method !== 'GET') {
    headers['X-CSRF-Token'] = session ? session.csrf : '';
    if (body !== undefined) headers['Content-Type'] = 'application/json';
  }
  let response;
  try {
    response = await fetch(path, {
      method, headers, credentials: 'same-origin',
      body: body === undefined ? undefined : JSON.stringify(body),
    });
  } catch (networkFailure) {
    throw new ApiError(0, t('error.unreachable'));
  }
  if (response.status === 401 && path !== '/api/login') {
    toLogin('expired');
    throw new ApiError(401, t('login.expired'));
  }
  if (!response.ok) {
    let parsed = null;
    try { parsed = await response.json(); } catch (notJson) { /* keep the status text */ }
    const message = parsed && parsed.error ? parsed.error : `${response.status} ${response.statusText}`;
    throw new ApiError(response.status, message, parsed);
  }
  if (raw) return response;
  if (response.status === 204) return null;
  const type = response.headers.get('Content-Type') || '';
  return type.includes('json') ? response.json() : response.text();
}

export function currentSession() {
  return session;
}

export function mayAtLeast(role) {
  return session !== null && ROLE_RANK[session.role] >= ROLE_RANK[role];
}

// The station's own text for a key of its text tables, in the account's
// language; the key itself if the station does not know it, so that a missing
// text is visible rather than blank.
export function stationText(key) {
  return stationTexts[key] ?? key;
}

export function element(tag, { className, text, attributes } = {}, children = []) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text !== undefined) made.textContent = text;
  for (const [name, value] of Object.entries(attributes || {})) made.setAttribute(name, value);
  for (const child of children) made.append(child);
  return made;
}

export function showMessage(target, text, kind = 'info') {
  target.textContent = text;
  target.className = `message ${kind}`;
  target.hidden = !text;
}

function navLink(href, key, active) {
  const link = element('a', { text: t(key), attributes: { href } });
  if (active) link.setAttribute('aria-current', 'page');
  return link;
}

function buildNav(active) {
  const nav = document.getElementById('nav');
  if (!nav) return;
  nav.replaceChildren();
  const brand = element('a', { className: 'brand', text: 'Quorvanel', attributes: { href: '/' } });
  const links = element('div', { className: 'links' }, [
    navLink('/', 'nav.live', active === 'live'),
    navLink('/day.html', 'nav.days', active === 'days'),
    navLink('/reports.html', 'nav.reports', active === 'reports'),
  ]);
  if (mayAtLeast('admin')) links.append(navLink('/logs.html', 'nav.logs', active === 'logs'));

  const languages = element('select', {
    attributes: { id: 'language', 'aria-label': t('nav.language') },
  });
  for (const code of LANGUAGES) {
    const option = element('option', { text: LANGUAGE_NAMES[code], attributes: { value: code } });
    option.selected = code === session.language;
    languages.append(option);
  }
  languages.addEventListener('change', async () => {
    try {
      await api('/api/session/language', { method: 'POST', body: { language: languages.value } });
      rememberLanguage(languages.value);
      location.reload();
    } catch (failure) {
      languages.value = session.language;
    }
  });

  const who = element('span', {
    className: 'who',
    text: `${session.name} (${t('role.' + session.role)})`,
  });
  const logout = element('button', {
    className: 'link', text: t('nav.logout'), attributes: { type: 'button', id: 'logout' },
  });
  logout.addEventListener('click', async () => {
    try { await api('/api/logout', { method: 'POST' }); } catch (alreadyGone) { /* gone anyway */ }
    location.replace('/login.html?reason=logged-out');
  });

  const toggle = element('button', {
    className: 'menu-toggle', text: '☰',
    attributes: { type: 'button', 'aria-label': t('nav.menu'), 'aria-expanded': 'false' },
  });
  const account = element('div', { className: 'account' }, [who, languages, logout]);
  const menu = element('div', { className: 'menu' }, [links, account]);
  toggle.addEventListener('click', () => {
    const open = nav.classList.toggle('open');
    toggle.setAttribute('aria-expanded', String(open));
  });
  nav.append(brand, toggle, menu);
}

// Learns who is logged in and the station's texts, then draws the common
// parts of the page. Resolves to the session.
export async function startPage(active) {
  // Both follow the session's cookie, so neither waits for the other.
  const [who, texts] = await Promise.all([api('/api/session'), api('/api/texts')]);
  session = who;
  setLanguage(session.language);
  rememberLanguage(session.language);
  stationTexts = texts.texts || {};
  document.title = `${t('app.title')}: ${document.title}`;
  translatePage();
  buildNav(active);
  document.body.classList.add(`role-${session.role}`);
  return session;
}

// Renders a page's start-up failure where the user sees it.
export function failStart(failure) {
  const main = document.querySelector('main');
  if (failure instanceof ApiError && failure.status === 401) return;
  const box = element('p', { className: 'message error', text: t('error.generic', { e: failure.message }) });
  main.prepend(box);
}

// "HH:MM" of minutes since midnight.
export function minuteText(minute) {
  const hours = Math.floor(minute / 60);
  const minutes = minute % 60;
  return `${String(hours).padStart(2, '0')}:${String(minutes).padStart(2, '0')}`;
}

// The time part of the station's ISO local time ("2026-12-08T11:40:05").
export function clockText(isoLocal) {
  return typeof isoLocal === 'string' && isoLocal.length >= 19 ? isoLocal.slice(11, 19) : '';
}

// "Calibration due 2027-01-07" or "... overdue since ...": empty while the
// probe's calibration is not due within 30 days, or it has none.
export function calibrationNote(calibration) {
  if (!calibration || !calibration.due) return '';
  return t(calibration.due === 'overdue' ? 'calib.overdue' : 'calib.dueSoon', { d: calibration.nextDue });
}

// "Time alarm: 75 min above the limit in 24 h": empty unless the probe's
// alarm on its time out of range stands.
export function timeAlarmNote(timeAlarm) {
  if (!timeAlarm || (timeAlarm.side !== 'high' && timeAlarm.side !== 'low')) return '';
  return t(`timeAlarm.${timeAlarm.side}`, { n: timeAlarm.minutes });
}

// Shows a note's text, or hides it when there is none; the data attribute
// says what kind of note it is, for the style.
export function showNote(note, text, dataKey, dataValue) {
  note.textContent = text;
  note.hidden = !text;
  note.dataset[dataKey] = dataValue || '';
}

export function hexColour(value, fallback) {
  return typeof value === 'string' && /^#[0-9A-Fa-f]{6}$/.test(value) ? value : fallback;
}
