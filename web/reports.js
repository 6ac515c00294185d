// Period reports: the printed day, week and month pages as PDF and the stored
// values as CSV, offered only for periods that have stored days.

import { api, element, failStart, showMessage, startPage, stationText } from './assets/common.js';
import { attachDownload } from './assets/download.js';
import { t } from './assets/i18n.js';
import { periodsOf } from './assets/periods.js';

const $ = (id) => document.getElementById(id);

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
