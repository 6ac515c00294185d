// A day's curve of one probe, drawn by Debian's Chart.js (loaded by the page
// as the global Chart), with the probe's alarm and pre-alarm limits.

import { minuteText, stationText } from './common.js';
import { t } from './i18n.js';

const ALARM_COLOUR = '#FF0000';
const PRE_ALARM_COLOUR = '#FF6600';
const CURVE_COLOUR = '#000080';
const MINUTES_PER_DAY = 1440;
// Limits farther than this (or than the values' own spread) from the values
// would squeeze the curve into a flat line, as a high limit of 125 would.
const LIMIT_REACH = 10;

export function limitsNear(limits, low, high) {
  const reach = Math.max(LIMIT_REACH, high - low);
  const near = (value) => Number.isFinite(value) && value >= low - reach && value <= high + reach;
  const lines = [];
  const add = (value, key, colour, dashed) => {
    if (near(value)) lines.push({ value, label: t(key), colour, dashed });
  };
  add(limits.alarmHigh, 'graph.alarmHigh', ALARM_COLOUR, false);
  add(limits.preHigh, 'graph.preHigh', PRE_ALARM_COLOUR, true);
  add(limits.preLow, 'graph.preLow', PRE_ALARM_COLOUR, true);
  add(limits.alarmLow, 'graph.alarmLow', ALARM_COLOUR, false);
  return lines;
}

function axisTitle(type, units) {
  if (type === 'temperature') return `${stationText('QRVNL_TEMPERATURE').trim()} ${units || ''}`.trim();
  if (type === 'humidity') return `${stationText('QRVNL_HUMIDITY').trim()} ${units || ''}`.trim();
  if (type === 'switch') return stationText('QRVNL_SWITCH').trim();
  return '';
}

// points: [[minute, value], ...]; limits: {alarmLow, alarmHigh, preLow,
// preHigh} or null (switches, probes that are off). Returns the chart, whose
// update(points) redraws it with new points.
export function drawDayGraph(canvas, { points, type, units, limits }) {
  const isSwitch = type === 'switch';
  const data = points.map(([minute, value]) => ({ x: minute, y: value }));
  const values = data.map((point) => point.y);
  const datasets = [{
    label: t('graph.values'),
    data,
    borderColor: CURVE_COLOUR,
    backgroundColor: CURVE_COLOUR,
    borderWidth: 1.5,
    pointRadius: data.length > 200 ? 0 : 2,
    stepped: isSwitch,
    tension: 0,
  }];
  if (!isSwitch && limits && values.length > 0) {
    for (const line of limitsNear(limits, Math.min(...values), Math.max(...values))) {
      datasets.push({
        label: `${line.label} ${line.value}`,
        data: [{ x: 0, y: line.value }, { x: MINUTES_PER_DAY, y: line.value }],
        borderColor: line.colour,
        backgroundColor: line.colour,
        borderWidth: 1.5,
        borderDash: line.dashed ? [6, 4] : [],
        pointRadius: 0,
      });
    }
  }
  const yScale = isSwitch
    ? {
      min: -0.5, max: 1.5,
      title: { display: true, text: axisTitle(type, units) },
      ticks: {
        stepSize: 0.5,
        callback: (value) => {
          if (value === 0) return stationText('TXT_SWITCH_CLOSED').trim();
          if (value === 1) return stationText('TXT_SWITCH_OPEN').trim();
          return '';
        },
      },
    }
    : { title: { display: true, text: axisTitle(type, units) }, grace: '5%' };
  return new Chart(canvas, {
    type: 'line',
    data: { datasets },
    options: {
      animation: false,
      maintainAspectRatio: false,
      parsing: false,
      normalized: true,
      interaction: { mode: 'nearest', intersect: false, axis: 'x' },
      scales: {
        x: {
          type: 'linear', min: 0, max: MINUTES_PER_DAY,
          title: { display: true, text: t('graph.time') },
          ticks: { stepSize: 120, maxRotation: 0, callback: (value) => minuteText(value) },
        },
        y: yScale,
      },
      plugins: {
        legend: { position: 'bottom', labels: { boxWidth: 14 } },
        tooltip: {
          callbacks: {
            title: (items) => (items.length ? minuteText(items[0].parsed.x) : ''),
          },
        },
      },
    },
  });
}
