// The alarm file and the program log, newest at the bottom as in the files.

import { api, failStart, mayAtLeast, showMessage, startPage } from './assets/common.js';
import { t } from './assets/i18n.js';

const $ = (id) => document.getElementById(id);

async function show() {
  const which = $('log-form').querySelector('input[name="which"]:checked').value;
  try {
    const text = await api(`/api/${which}?lines=${encodeURIComponent($('lines').value)}`);
    showMessage($('message'), '', 'info');
    const box = $('log-text');
    box.textContent = text || t('logs.empty');
    box.hidden = false;
    box.scrollTop = box.scrollHeight;
  } catch (failure) {
    $('log-text').hidden = true;
    showMessage($('message'), failure.status === 403 ? t('logs.adminOnly')
      : t('error.generic', { e: failure.message }), 'error');
  }
}

async function main() {
  await startPage('logs');
  if (!mayAtLeast('admin')) {
    showMessage($('message'), t('logs.adminOnly'), 'error');
    return;
  }
  $('log-form').hidden = false;
  $('log-form').addEventListener('change', show);
  $('refresh').addEventListener('click', show);
  await show();
}

main().catch(failStart);
