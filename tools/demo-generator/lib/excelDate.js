'use strict';

// Serial day numbers as Excel stores them, computed from the calendar date alone so that
// the machine's time zone never changes a generated file.
const DAY_MS = 86400000;

function serial1900(year, month, day, hours = 0, minutes = 0) {
  const days = (Date.UTC(year, month - 1, day) - Date.UTC(1899, 11, 30)) / DAY_MS;
  // Excel counts the fictitious 1900-02-29, so days before March 1900 are one lower.
  const corrected = days < 61 ? days - 1 : days;
  return corrected + (hours * 60 + minutes) / 1440;
}

function serial1904(year, month, day, hours = 0, minutes = 0) {
  const days = (Date.UTC(year, month - 1, day) - Date.UTC(1904, 0, 1)) / DAY_MS;
  return days + (hours * 60 + minutes) / 1440;
}

module.exports = { serial1900, serial1904 };
