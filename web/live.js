// The live table: the station's results table, its alarm banner and the
// state of the network, kept current by the push stream.

import {
  api, calibrationNote, clockText, element, failStart, hexColour, mayAtLeast, showMessage,
  showNote, startPage, stationText, timeAlarmNote,
} from './assets/common.js';
import { t } from './assets/i18n.js';
import { LiveStream } from './assets/live_stream.js';

const ALARM_HEADING_ON = '#0000FF';
const ALARM_HEADING_OFF = '#FF0000';

const $ = (id) => document.getElementById(id);
const rowsByRom = new Map();

function cellText(text) {
  return String(text ?? '').trim();
}

function renderHeaders(station) {
  const headings = $('results').querySelectorAll('thead th');
  (station.headers || []).forEach((title, column) => {
    if (headings[column]) headings[column].textContent = cellText(title);
  });
  headings[3].style.color = station.alarmsEnabled ? ALARM_HEADING_ON : ALARM_HEADING_OFF;
}

function makeRow(rom) {
  const row = element('tr', { attributes: { 'data-rom': rom } });
  const link = element('a', { attributes: { href: `/probe.html?rom=${encodeURIComponent(rom)}` } });
  const note = element('span', { className: 'calibration-note' });
  const timeNote = element('span', { className: 'time-alarm-note' });
  row.append(
    element('td', { className: 'name' }, [link, note, timeNote]),
    element('td', { className: 'value' }),
    element('td', { className: 'status' }),
    element('td', { className: 'alarm' }),
  );
  return row;
}

function fillRow(row, probe) {
  const cells = probe.cells || [];
  row.cells[0].firstChild.textContent = cellText(cells[0] ?? probe.name);
  showNote(row.cells[0].querySelector('.calibration-note'), calibrationNote(probe.calibration),
    'due', probe.calibration && probe.calibration.due);
  showNote(row.cells[0].querySelector('.time-alarm-note'), timeAlarmNote(probe.timeAlarm),
    'side', probe.timeAlarm && probe.timeAlarm.side);
  for (let column = 1; column < 4; ++column) row.cells[column].textContent = cellText(cells[column]);
  row.style.backgroundColor = hexColour(probe.background, '#E0E0E0');
  row.style.color = hexColour(probe.color, '#000000');
  row.dataset.alarm = String(probe.alarm ?? 0);
}

function renderRows(probes) {
  const body = $('results').tBodies[0];
  const seen = new Set();
  probes.forEach((probe, position) => {
    seen.add(probe.rom);
    let row = rowsByRom.get(probe.rom);
    if (!row) {
      row = makeRow(probe.rom);
      rowsByRom.set(probe.rom, row);
    }
    fillRow(row, probe);
    if (body.rows[position] !== row) body.insertBefore(row, body.rows[position] || null);
  });
  for (const [rom, row] of rowsByRom) {
    if (!seen.has(rom)) {
      row.remove();
      rowsByRom.delete(rom);
    }
  }
}

function renderStation(station) {
  const banner = cellText(station.banner);
  $('banner').hidden = !banner;
  $('banner-text').textContent = banner;
  $('muted-text').hidden = !station.muted;
  $('muted-text').textContent = t('live.muted');
  $('mute').hidden = Boolean(station.muted);
  $('mute-comment').hidden = Boolean(station.muted);
  $('unmute').hidden = !station.muted;

  $('network-lost').hidden = !station.networkLost;
  $('network-lost').textContent = stationText('TXT_ALARM_INTERFACE');
  const lost = Number(station.probesLost) || 0;
  $('probes-lost').hidden = lost === 0;
  $('probes-lost').textContent = lost === 1 ? t('live.probesLost.one') : t('live.probesLost.many', { n: lost });
  // Someone on the call list could not be reached: the station's own words.
  const notice = cellText(station.noticeProblem);
  $('notice-problem').hidden = !notice;
  $('notice-problem').textContent = notice;
  $('paused').hidden = station.acquisition !== false;
  // The table's heading says it in red; a phone shows no headings.
  $('alarms-off').hidden = station.alarmsEnabled !== false;
  $('alarms-off').textContent = cellText((station.headers || [])[3]);
}

function render(state) {
  renderStation(state.station);
  renderHeaders(state.station);
  renderRows(state.probes || []);
  const empty = (state.probes || []).length === 0;
  // As in the station's window: while the interface unit does not answer the
  // table's values mean nothing, so it is not shown.
  $('results').hidden = empty || Boolean(state.station.networkLost);
  $('no-probes').hidden = !empty;
  $('updated').textContent = state.time ? t('conn.updated', { t: clockText(state.time) }) : '';
}

function showConnection(connected) {
  const badge = $('connection');
  badge.textContent = connected ? t('conn.live') : t('conn.lost');
  badge.className = `connection ${connected ? 'live' : 'lost'}`;
  $('stale').hidden = connected;
  document.body.classList.toggle('disconnected', !connected);
}

async function mute(event) {
  event.preventDefault();
  const comment = $('mute-comment').value.trim();
  try {
    await api('/api/mute', { method: 'POST', body: comment ? { comment } : {} });
    $('mute-comment').value = '';
    showMessage($('action-message'), t('live.muteDone'), 'info');
  } catch (failure) {
    showMessage($('action-message'), failureText(failure), 'error');
  }
}

async function unmute() {
  try {
    await api('/api/unmute', { method: 'POST' });
    showMessage($('action-message'), '', 'info');
  } catch (failure) {
    showMessage($('action-message'), failureText(failure), 'error');
  }
}

function failureText(failure) {
  if (failure.status === 403) return t('live.muteRefused');
  if (failure.status === 409) return t('live.nothingToMute');
  return t('error.generic', { e: failure.message });
}

async function prepareTestSms() {
  try {
    const { contacts } = await api('/api/contacts');
    const select = $('sms-contact');
    for (const contact of contacts || []) {
      select.append(element('option', { text: contact.name, attributes: { value: String(contact.index) } }));
    }
    $('sms-contact-label').hidden = (contacts || []).length === 0;
  } catch (failure) {
    $('sms-contact-label').hidden = true;
  }
  $('test-sms').addEventListener('click', async () => {
    const select = $('sms-contact');
    const body = select.options.length > 0 ? { contact: Number(select.value) } : {};
    $('test-sms').disabled = true;
    try {
      await api('/api/test-sms', { method: 'POST', body });
      showMessage($('action-message'), t('sms.sent'), 'info');
    } catch (failure) {
      showMessage($('action-message'), failure.status === 403 ? t('error.forbidden')
        : t('error.generic', { e: failure.message }), 'error');
    } finally {
      $('test-sms').disabled = false;
    }
  });
}

async function main() {
  // The stream opens at once; what it brings waits for the texts.
  let ready = null;
  let latest = null;
  const stream = new LiveStream({
    onState: (state) => { latest = state; if (ready) render(state); },
    onConnection: (connected) => { if (ready) showConnection(connected); },
  });
  // The table as it stands comes with the page (the page preloads it), so
  // the rows need not wait for the stream's first message.
  const standing = api('/api/live').catch(() => null);
  stream.start();
  ready = await startPage('live');
  $('mute').textContent = stationText('TXT_MUTE_ALARM');
  if (mayAtLeast('operator')) {
    $('mute-form').addEventListener('submit', mute);
    $('unmute').addEventListener('click', unmute);
    prepareTestSms();
  }
  if (!latest) {
    const initial = await standing;
    // The stream's first message may have come meanwhile, and is newer.
    if (!latest && initial) render(initial);
  }
  if (latest) render(latest);
  if (stream.connected) showConnection(true);
}

main().catch(failStart);
