// The station's push stream, kept open: it reconnects by itself after a lost
// connection and tells the page whether what it shows is live. The state is
// the latest snapshot with every update merged into it, rows keyed by ROM.

import { api } from './common.js';

const RECONNECT_FIRST_MS = 1000;
const RECONNECT_MOST_MS = 15000;

export class LiveStream {
  // onState(state) after every snapshot or update; onConnection(connected).
  constructor({ onState, onConnection }) {
    this.onState = onState;
    this.onConnection = onConnection;
    this.state = null;
    this.source = null;
    this.retryMs = RECONNECT_FIRST_MS;
    this.retryTimer = null;
    this.connected = false;
  }

  start() {
    this.open();
    // A phone that wakes up, or a tab brought back, wants fresh values now,
    // not after the next back-off step.
    document.addEventListener('visibilitychange', () => {
      if (document.visibilityState === 'visible' && !this.connected) this.reconnectNow();
    });
    window.addEventListener('online', () => this.reconnectNow());
    // A page the browser keeps for going back would keep its stream open,
    // and a browser has only six connections to the station: a few page
    // changes would leave none for the next page. Closed when left, opened
    // again when shown again.
    window.addEventListener('pagehide', () => {
      clearTimeout(this.retryTimer);
      if (this.source) this.source.close();
      this.markConnected(false);
    });
    window.addEventListener('pageshow', (event) => {
      if (event.persisted) this.reconnectNow();
    });
  }

  open() {
    this.source = new EventSource('/api/events');
    this.source.addEventListener('open', () => {
      this.retryMs = RECONNECT_FIRST_MS;
    });
    this.source.addEventListener('snapshot', (event) => {
      this.state = JSON.parse(event.data);
      this.markConnected(true);
      this.onState(this.state);
    });
    this.source.addEventListener('update', (event) => {
      if (!this.state) return;
      this.merge(JSON.parse(event.data));
      this.markConnected(true);
      this.onState(this.state);
    });
    this.source.addEventListener('error', () => this.lost());
  }

  merge(update) {
    if (update.time) this.state.time = update.time;
    if (update.station) this.state.station = { ...this.state.station, ...update.station };
    for (const row of update.probes || []) {
      const at = this.state.probes.findIndex((known) => known.rom === row.rom);
      if (at >= 0) {
        this.state.probes[at] = row;
      } else {
        this.state.probes.push(row);
        this.state.probes.sort((a, b) => a.index - b.index);
      }
    }
  }

  markConnected(connected) {
    if (this.connected === connected) return;
    this.connected = connected;
    this.onConnection(connected);
  }

  // EventSource retries by itself only while the server answers with a
  // stream; a refused reconnect (an ended session, a restarting station)
  // closes it for good, so the page takes over with its own back-off.
  lost() {
    this.markConnected(false);
    if (this.source.readyState !== EventSource.CLOSED) return;
    this.source.close();
    clearTimeout(this.retryTimer);
    this.retryTimer = setTimeout(() => this.retry(), this.retryMs);
    this.retryMs = Math.min(this.retryMs * 2, RECONNECT_MOST_MS);
  }

  async retry() {
    try {
      await api('/api/session', { background: true });
    } catch (failure) {
      if (failure.status === 401) return; // api() went to the login page
      this.lost();
      return;
    }
    this.open();
  }

  reconnectNow() {
    if (this.connected) return;
    clearTimeout(this.retryTimer);
    if (this.source) this.source.close();
    this.retryMs = RECONNECT_FIRST_MS;
    this.retry();
  }
}
