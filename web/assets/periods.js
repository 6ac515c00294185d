// The report periods that stored days fall in.

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
export function periodsOf(days) {
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
