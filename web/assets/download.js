// A report link that says what happens: rendering a month's PDF can take a
// while, another report may be rendering, a period may have no data. The
// link keeps its href (a plain download where scripts fail); the click
// fetches it, reports progress and hands the file to the browser.

import { api } from './common.js';
import { t } from './i18n.js';

const BUSY_RETRIES = 10;

function fileName(response, href) {
  const disposition = response.headers.get('Content-Disposition') || '';
  const named = /filename="?([^";]+)"?/.exec(disposition);
  return named ? named[1] : href.split('/').pop();
}

function wait(seconds) {
  return new Promise((resolve) => { setTimeout(resolve, seconds * 1000); });
}

export async function download(href, report) {
  report(t('reports.preparing'), 'info');
  for (let attempt = 0; ; ++attempt) {
    try {
      const response = await api(href, { raw: true });
      const blob = await response.blob();
      const url = URL.createObjectURL(blob);
      const link = document.createElement('a');
      link.href = url;
      link.download = fileName(response, href);
      document.body.append(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(url), 60000);
      report(t('reports.ready'), 'info');
      return true;
    } catch (failure) {
      if (failure.status === 503 && attempt < BUSY_RETRIES) {
        report(t('reports.busy'), 'info');
        await wait(Math.min(Number(failure.body && failure.body.retryAfter) || 2, 10));
        continue;
      }
      if (failure.status === 404) report(t('reports.noData'), 'warning');
      else if (failure.status === 504) report(t('reports.timeout'), 'error');
      else report(t('error.generic', { e: failure.message }), 'error');
      return false;
    }
  }
}

export function attachDownload(link, messageBox) {
  link.addEventListener('click', (event) => {
    event.preventDefault();
    if (link.getAttribute('aria-disabled') === 'true') return;
    link.setAttribute('aria-disabled', 'true');
    download(link.getAttribute('href'), (text, kind) => {
      messageBox.textContent = text;
      messageBox.className = `message ${kind}`;
      messageBox.hidden = !text;
    }).finally(() => link.removeAttribute('aria-disabled'));
  });
}
