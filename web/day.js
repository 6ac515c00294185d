// One stored day, probe by probe: the history view's graph, its minimum and
// maximum, stepping through the stored days.

import { api, element, failStart, showMessage, startPage, stationText } from './assets/common.js';
import { drawDayGraph } from './assets/graph.js';
import { t } from './assets/i18n.js';
import { attachDownload } from './assets/download.js';

const $ = (id) => document.getElementById(id);
const TYPE_KEYS = { temperature: 'TXT_PROBE_TEMPERATURE', humidity: 'TXT_PROBE_HUMIDITY',
  switch: 'TXT_PROBE_SWITCH', unknown: 'TXT_PROBE_UNKNOWN' };

let days = [];
let day = null;
let chart = null;

function wanted() {
  const query = new URLSearchParams(location.search);
  return { date: query.get('date'), rom: query.get('rom') };
}

function remember(date, rom) {
  const query = new URLSearchParams();
  if (date) query.set('date', date);
  if (rom) query.set('rom', rom);
  history.replaceState(null, '', `/day.html?${query.toString()}`);
}

function valueText(value, probe) {
  return `${Number(value).toFixed(1)} ${probe.units || ''}`.trim();
}

// A probe of the day by the key its file gives it, or by the ROM of the
// station's probe that has that key; the first one when neither is there.
function findProbe({ key, rom }) {
  return day.probes.find((candidate) => key && candidate.key === key)
    || day.probes.find((candidate) => rom && candidate.rom === rom)
    || day.probes[0];
}

function showProbe(wantedProbe) {
  const probe = findProbe(wantedProbe);
  $('probe').value = probe.key;
  remember(day.date, probe.rom);
  $('day-view').hidden = false;
  $('day-probe-name').textContent = `${probe.name} (${day.date})`;
  $('day-probe-type').textContent = stationText(TYPE_KEYS[probe.type] || 'TXT_PROBE_UNKNOWN');
  const hasValues = (probe.points || []).length > 0;
  const minMax = probe.type !== 'switch' && hasValues;
  $('day-max').textContent = minMax ? `${t('day.max')}: ${valueText(probe.max, probe)}` : '';
  $('day-min').textContent = minMax ? `${t('day.min')}: ${valueText(probe.min, probe)}` : '';
  $('no-probe-values').hidden = hasValues;
  if (chart) chart.destroy();
  chart = drawDayGraph($('day-graph'), { points: probe.points || [], type: probe.type, units: probe.units,
    limits: probe.limits || null });
}

async function showDay(date, wantedProbe) {
  showMessage($('message'), t('common.loading'), 'info');
  try {
    day = await api(`/api/days/${encodeURIComponent(date)}`);
  } catch (failure) {
    showMessage($('message'), failure.status === 404 ? t('reports.noData')
      : t('error.generic', { e: failure.message }), 'error');
    return;
  }
  showMessage($('message'), '', 'info');
  $('day').value = date;
  const at = days.indexOf(date);
  // The list runs newest first: "previous" is the older day.
  $('prev-day').disabled = at < 0 || at === days.length - 1;
  $('next-day').disabled = at <= 0;
  $('day-pdf').href = `/api/reports/day/${date}.pdf`;
  $('day-csv').href = `/api/reports/day/${date}.csv`;
  const select = $('probe');
  select.replaceChildren();
  for (const probe of day.probes) {
    select.append(element('option', { text: probe.name, attributes: { value: probe.key } }));
  }
  if (day.probes.length === 0) {
    $('day-view').hidden = true;
    showMessage($('message'), t('reports.noData'), 'info');
    return;
  }
  showProbe(wantedProbe);
}

async function main() {
  await startPage('days');
  attachDownload($('day-pdf'), $('message'));
  attachDownload($('day-csv'), $('message'));
  days = ((await api('/api/days')).days || []).slice().reverse();
  if (days.length === 0) {
    showMessage($('message'), t('day.none'), 'info');
    return;
  }
  const select = $('day');
  for (const date of days) select.append(element('option', { text: date, attributes: { value: date } }));
  $('pickers').hidden = false;
  const { date, rom } = wanted();
  const shown = () => ({ key: $('probe').value });
  select.addEventListener('change', () => showDay(select.value, shown()));
  $('probe').addEventListener('change', () => showProbe(shown()));
  $('prev-day').addEventListener('click', () => {
    const at = days.indexOf(select.value);
    if (at >= 0 && at + 1 < days.length) showDay(days[at + 1], shown());
  });
  $('next-day').addEventListener('click', () => {
    const at = days.indexOf(select.value);
    if (at > 0) showDay(days[at - 1], shown());
  });
  await showDay(days.includes(date) ? date : days[0], { rom });
}

main().catch(failStart);
