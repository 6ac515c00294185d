// Period reports: the printed day, week and month pages as PDF and the stored
// values as CSV, offered only for periods that have stored days.

import { api, element, failStart, showMessage, startPage, stationText } from './assets/common.js';
import { attachDownload } from './assets/download.js';
import { t } from './assets/i18n.js';

const $ = (id) => document.getElementById(id);

// The ISO 8601 week of a date: [week-year, week].
export function isoWeek(isoDate) {
  const [year, month, dayOfMonth] = isoDate.split('-').map(Number);
  const date = new Date(Date.UTC(year, month - 1, dayOfMonth));
  const weekday = date.getUTCDay() || 7;
  date.setUTCDate(date.getUTCDate() + 4 - weekday);
  const weekYear = date.getUTCFullYear();
  const firstDay = new Date(Date.UTC(weekYear, 0, 1));
  return [weekYear, Math.ceil(((date - firstDay) / 86400000 + 1) / 7)];
}

// The periods of each kind that have data, newest first, as the server names
// them in its report paths.
function periodsOf(days) {
  const unique = (list) => [...new Set(list)].sort().reverse();
  return {
    day: unique(days),
    week: unique(days.map((date) => {
      const [weekYear, week] = isoWeek(date);
      return `${weekYear}-${String(week).padStart(2, '0')}`;
    })),
    month: unique(days.map((date) => date.slice(0, 7))),
  };
}

function label(key) {
  return stationText(key).replace(/:\s*$/, '').trim();
}

async function main() {
  await startPage('reports');
  $('kind-day').textContent = label('TXT_DAY');
  $('kind-week').textContent = label('TXT_WEEK');
  $('kind-month').textContent = label('TXT_MONTH');
  attachDownload($('pdf'), $('message'));
  attachDownload($('csv'), $('message'));
  const days = (await api('/api/days')).days || [];
  if (days.length === 0) {
    showMessage($('message'), t('reports.none'), 'info');
    return;
  }
  const periods = periodsOf(days);
  const form = $('report-form');
  const select = $('period');
  const kind = () => form.querySelector('input[name="kind"]:checked').value;
  const links = () => {
    const path = `/api/reports/${kind()}/${select.value}`;
    $('pdf').href = `${path}.pdf`;
    $('csv').href = `${path}.csv`;
    $('downloads').hidden = !select.value;
  };
  const fill = () => {
    $('period-label').textContent = label(kind() === 'day' ? 'TXT_DAY' : kind() === 'week' ? 'TXT_WEEK' : 'TXT_MONTH');
    select.replaceChildren();
    for (const period of periods[kind()]) {
      select.append(element('option', { text: period, attributes: { value: period } }));
    }
    links();
  };
  form.addEventListener('change', (event) => {
    if (event.target === select) links();
    else fill();
  });
  form.hidden = false;
  fill();
}

main().catch(failStart);
