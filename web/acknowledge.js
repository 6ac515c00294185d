// The page an alarm notice links to: the alarms the link names as they are
// now, and the button that acknowledges through the station's command, as
// the live table's does. The link only says what to show.

import { api, element, failStart, showMessage, startPage } from './assets/common.js';
import { t } from './assets/i18n.js';

const $ = (id) => document.getElementById(id);
const ROM = /^[0-9A-F]{16}$/;

// "alarm=ROM,ROM,unit" of the link; anything else in it is left out.
function namedAlarms() {
  const listed = new URLSearchParams(location.search).get('alarm') || '';
  return [...new Set(listed.toUpperCase().split(',').filter((name) => name === 'UNIT' || ROM.test(name)))];
}

function probeLine(rom, probes) {
  const probe = probes.find((row) => row.rom === rom);
  if (!probe) return element('li', { text: t('ack.noSuchProbe', { rom }) });
  const cells = (probe.cells || []).map((cell) => String(cell ?? '').trim()).filter(Boolean);
  const line = element('li', { attributes: { 'data-rom': rom, 'data-alarm': String(probe.alarm ?? 0) } },
    [element('a', { text: probe.name, attributes: { href: `/probe.html?rom=${encodeURIComponent(rom)}` } })]);
  const state = cells.slice(1).join(' · ');
  line.append(` ${state}`);
  if (!probe.alarm) line.append(` (${t('ack.ended')})`);
  return line;
}

function render(state, names) {
  const station = state.station || {};
  const list = $('alarms');
  list.replaceChildren(...names.map((name) => (name === 'UNIT'
    ? element('li', { attributes: { 'data-rom': 'unit' },
      text: `${t('ack.unit')}: ${station.networkLost ? t('ack.unitLost') : t('ack.ended')}` })
    : probeLine(name, state.probes || []))));
  const standing = Boolean(station.alarm);
  $('ack-form').hidden = !standing || Boolean(station.muted);
  if (!standing) showMessage($('ack-message'), t('ack.nothing'), 'info');
  else if (station.muted) showMessage($('ack-message'), t('ack.already'), 'info');
}

async function acknowledge(event, names) {
  event.preventDefault();
  const comment = $('ack-comment').value.trim();
  $('ack').disabled = true;
  try {
    await api('/api/mute', { method: 'POST', body: comment ? { comment } : {} });
    $('ack-form').hidden = true;
    showMessage($('ack-message'), t('ack.done'), 'info');
    render(await api('/api/live'), names);
    showMessage($('ack-message'), t('ack.done'), 'info');
  } catch (failure) {
    showMessage($('ack-message'), failure.status === 403 ? t('live.muteRefused')
      : t('error.generic', { e: failure.message }), 'error');
  } finally {
    $('ack').disabled = false;
  }
}

async function main() {
  const names = namedAlarms();
  const standing = api('/api/live');
  await startPage('live');
  render(await standing, names);
  $('ack-form').addEventListener('submit', (event) => acknowledge(event, names));
}

main().catch(failStart);
