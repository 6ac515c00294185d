// The login page's rule for where to go after logging in, on the links a
// phishing mail would carry. Plain node, no browser: node's URL parser is the
// WHATWG one the browsers follow.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { safeNext } from '../../web/assets/next_page.js';

const origin = 'http://station.lan:8080';
// What the login page reads from ?next= after URLSearchParams decoded it.
const asDecoded = (raw) => new URLSearchParams(`next=${raw}`).get('next');

test('a page of this station is kept with its query and fragment', () => {
  assert.equal(safeNext('/probe.html?rom=280100000000005A#today', origin),
    '/probe.html?rom=280100000000005A#today');
  assert.equal(safeNext(asDecoded('%2Fday.html%3Fdate%3D2026-01-05'), origin),
    '/day.html?date=2026-01-05');
});

test('anything that leaves the station goes to the live table', () => {
  for (const raw of ['/%09/other-host/', '/%0A/other-host/', '/%0D%0A/other-host',
    '//other-host/', '/\\other-host/', '/%5Cother-host', '/\t\\other-host',
    'https://other-host/', 'javascript:alert(1)', '', '%2F%2Fother-host']) {
    assert.equal(safeNext(asDecoded(raw), origin), '/', raw);
  }
  assert.equal(safeNext(null, origin), '/');
});
