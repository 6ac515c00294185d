// A probe's page: its value and state as the big view shows them, kept live,
// today's curve with its limits, and its settings.

import {
  api, calibrationNote, clockText, element, failStart, hexColour, showMessage, showNote,
  startPage, stationText, timeAlarmNote,
} from './assets/common.js';
import { drawDayGraph } from './assets/graph.js';
import { t } from './assets/i18n.js';
import { LiveStream } from './assets/live_stream.js';

const $ = (id) => document.getElementById(id);
const WEEKDAY_KEYS = ['TXT_Monday', 'TXT_Tuesday', 'TXT_Wednesday', 'TXT_Thursday', 'TXT_Friday',
  'TXT_Saterday', 'TXT_Sunday'];
const TYPE_KEYS = { temperature: 'TXT_PROBE_TEMPERATURE', humidity: 'TXT_PROBE_HUMIDITY',
  switch: 'TXT_PROBE_SWITCH', unknown: 'TXT_PROBE_UNKNOWN' };
// Today's file grows at every store; the page takes the new points this often.
const TODAY_REFRESH_MS = 60000;

const rom = new URLSearchParams(location.search).get('rom') || '';
let probe = null;
let chart = null;

function label(key) {
  return stationText(key).replace(/:\s*$/, '').trim();
}

// The station's English weekday texts keep the printouts' old misspelling of
// Saturday; the page shows the word.
function weekday(day) {
  const text = label(WEEKDAY_KEYS[day] || '');
  return text === 'Saterday' ? 'Saturday' : text;
}

function showCurrent(row, view) {
  $('current').hidden = false;
  const cells = row.cells || [];
  $('big-value').textContent = (view ? view.value : cells[1] || '').trim() || '\u00a0';
  $('big-value').style.color = hexColour(view ? view.color : null,
    row.alarm >= 1 ? hexColour(row.background, '#000000') : '#000000');
  $('state-text').textContent = view ? view.state : [cells[2], cells[3]].filter(Boolean).join(' · ');
  $('last-read').textContent = row.lastRead ? row.lastRead.replace('T', ' ') : t('probe.never');
  showNote($('calibration-note'), calibrationNote(row.calibration), 'due',
    row.calibration && row.calibration.due);
  showNote($('time-alarm-note'), timeAlarmNote(row.timeAlarm), 'side',
    row.timeAlarm && row.timeAlarm.side);
}

function limitText(low, high, units) {
  return `${low} … ${high} ${units || ''}`.trim();
}

function showSettings(settings, row) {
  const list = $('settings-list');
  list.replaceChildren();
  const add = (key, value) => list.append(element('dt', { text: key }), element('dd', { text: value }));
  const yesNo = (flag) => (flag ? t('probe.yes') : t('probe.no'));
  add(label('TXT_PROBE_ONLINE'), (row.cells && row.cells[2] ? row.cells[2] : row.status).trim());
  add(t('probe.line'), String(settings.line));
  if (row.type === 'switch') {
    add(t('probe.alarmLimits'), label(settings.alarmHigh >= 1 ? 'TXT_SWITCH_OPEN' : 'TXT_SWITCH_CLOSED'));
  } else {
    add(t('probe.alarmLimits'), limitText(settings.alarmLow, settings.alarmHigh, row.units));
    add(t('probe.preLimits'), limitText(settings.preLow, settings.preHigh, row.units));
    add(t('probe.preDelay'), t('probe.seconds', { n: settings.preDelay }));
  }
  add(t('probe.alarmDelay'), t('probe.seconds', { n: settings.alarmDelay }));
  add(t('probe.sms'), yesNo(settings.sms));
  add(t('probe.relay'), yesNo(settings.relay));
  if (row.type !== 'switch') {
    add(t('probe.calibration'), row.calibration ? row.calibration.nextDue : t('probe.notCalibrated'));
  }
  add('ROM', rom);

  $('windows-title').textContent = t('probe.windows');
  const body = $('windows').tBodies[0];
  body.replaceChildren();
  (settings.windows || []).forEach((window, day) => {
    body.append(element('tr', {}, [
      element('th', { text: weekday(day) || window.day }),
      element('td', { text: `${window.start} – ${window.stop}` }),
    ]));
  });
  $('settings').hidden = false;
}

async function showToday(background = false) {
  const today = await api(`/api/probes/${encodeURIComponent(rom)}/today`, { background });
  $('today').hidden = false;
  $('today-title').textContent = `${label('TXT_TODAY_VIEW')} (${today.date})`;
  $('other-days').href = `/day.html?rom=${encodeURIComponent(rom)}`;
  const points = today.points || [];
  $('no-values').hidden = points.length > 0;
  if (chart) chart.destroy();
  chart = drawDayGraph($('today-graph'), {
    points, type: probe.row.type, units: probe.row.units,
    limits: probe.row.status === 'off' ? null : probe.settings,
  });
}

let refreshing = false;
let refreshAgain = false;

// The big view's texts come with the probe from the station; a live row
// says that they changed. One call at a time, the latest change last.
async function refreshProbe() {
  if (refreshing) {
    refreshAgain = true;
    return;
  }
  refreshing = true;
  try {
    do {
      refreshAgain = false;
      const fresh = await api(`/api/probes/${encodeURIComponent(rom)}`);
      probe = fresh;
      showCurrent(fresh.row, fresh.view);
    } while (refreshAgain);
  } catch (failure) {
    // The live row then, without the big view's words; the next change
    // tries again.
    showCurrent(probe.row, null);
  } finally {
    refreshing = false;
  }
}

function onLive(state) {
  const row = (state.probes || []).find((candidate) => candidate.rom === rom);
  $('updated').textContent = state.time ? t('conn.updated', { t: clockText(state.time) }) : '';
  if (!row || JSON.stringify(row) === JSON.stringify(probe.row)) return;
  probe.row = row;
  refreshProbe();
}

function onConnection(connected) {
  $('connection').textContent = connected ? t('conn.live') : t('conn.lost');
  $('connection').className = `connection ${connected ? 'live' : 'lost'}`;
  document.body.classList.toggle('disconnected', !connected);
}

async function main() {
  await startPage('live');
  if (!/^[0-9A-Fa-f]{16}$/.test(rom)) {
    showMessage($('message'), t('probe.notFound'), 'error');
    return;
  }
  try {
    probe = await api(`/api/probes/${encodeURIComponent(rom)}`);
  } catch (failure) {
    showMessage($('message'), failure.status === 404 ? t('probe.notFound')
      : t('error.generic', { e: failure.message }), 'error');
    return;
  }
  const row = probe.row;
  document.title = `${document.title.split(':')[0]}: ${row.name}`;
  $('probe-name').textContent = row.name;
  $('probe-type').textContent = stationText(TYPE_KEYS[row.type] || 'TXT_PROBE_UNKNOWN');
  showCurrent(row, probe.view);
  showSettings(probe.settings, row);
  await showToday();
  setInterval(() => showToday(true).catch(() => {}), TODAY_REFRESH_MS);
  new LiveStream({ onState: onLive, onConnection }).start();
}

main().catch(failStart);
