// The login page: the only page without a session, so it takes its language
// from the browser (or the last account that logged in here) until the
// account's own is known.

import {
  LANGUAGES, LANGUAGE_NAMES, preferredLanguage, rememberLanguage, setLanguage, t, translatePage,
} from './assets/i18n.js';
import { safeNext } from './assets/next_page.js';

const $ = (id) => document.getElementById(id);

function show(text, kind) {
  const box = $('message');
  box.textContent = text;
  box.className = `message ${kind}`;
  box.hidden = !text;
}

function nextPage() {
  return safeNext(new URLSearchParams(location.search).get('next') || '/', location.origin);
}

function chooseLanguage(language) {
  setLanguage(language);
  translatePage();
  document.title = t('app.title');
  const reason = new URLSearchParams(location.search).get('reason');
  if (reason === 'expired') show(t('login.expired'), 'warning');
  if (reason === 'logged-out') show(t('login.loggedOut'), 'info');
}

let waitTimer = null;

function waitBeforeRetry(seconds) {
  clearInterval(waitTimer);
  let left = Math.max(1, Math.ceil(seconds));
  $('submit').disabled = true;
  show(t('login.throttled', { s: left }), 'error');
  waitTimer = setInterval(() => {
    left -= 1;
    if (left <= 0) {
      clearInterval(waitTimer);
      $('submit').disabled = false;
      show('', 'info');
      return;
    }
    show(t('login.throttled', { s: left }), 'error');
  }, 1000);
}

async function logIn(event) {
  event.preventDefault();
  const name = $('name').value.trim();
  const password = $('password').value;
  if (!name || !password) {
    show(t('login.wrong'), 'error');
    return;
  }
  $('submit').disabled = true;
  show(t('login.busy'), 'info');
  let response;
  try {
    response = await fetch('/api/login', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json' },
      credentials: 'same-origin',
      body: JSON.stringify({ name, password }),
    });
  } catch (networkFailure) {
    $('submit').disabled = false;
    show(t('error.unreachable'), 'error');
    return;
  }
  let body = {};
  try { body = await response.json(); } catch (notJson) { /* the status says enough */ }
  if (response.ok) {
    rememberLanguage(body.language);
    location.replace(nextPage());
    return;
  }
  $('password').value = '';
  $('password').focus();
  if (response.status === 429) {
    waitBeforeRetry(Number(body.retryAfter) || Number(response.headers.get('Retry-After')) || 1);
    return;
  }
  $('submit').disabled = false;
  show(response.status === 401 ? t('login.wrong') : t('error.generic', { e: body.error || response.status }),
    'error');
}

function main() {
  const select = $('language');
  for (const code of LANGUAGES) {
    select.append(new Option(LANGUAGE_NAMES[code], code));
  }
  select.value = preferredLanguage();
  select.setAttribute('aria-label', 'Language / Sprache / Langue / Taal');
  select.addEventListener('change', () => {
    rememberLanguage(select.value);
    chooseLanguage(select.value);
  });
  chooseLanguage(select.value);
  $('login-form').addEventListener('submit', logIn);
  $('name').focus();
}

main();
