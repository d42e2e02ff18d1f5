#!/usr/bin/env node
'use strict';

// node tools/demo-generator/generate.js                 demo workbooks and test fixtures
// node tools/demo-generator/generate.js --records N --out FILE   a records workbook of N rows

const path = require('path');
const { generateFixtures } = require('./lib/fixtures');
const { generateDemo, generateRecords } = require('./lib/demo');

const repository = path.resolve(__dirname, '..', '..');
const args = process.argv.slice(2);
const option = (name) => {
  const index = args.indexOf(name);
  return index >= 0 ? args[index + 1] : undefined;
};

if (option('--records')) {
  const count = Number.parseInt(option('--records'), 10);
  const out = option('--out');
  if (!Number.isInteger(count) || count < 1 || !out) {
    console.error('usage: generate.js --records N --out FILE');
    process.exit(2);
  }
  generateRecords(count, path.resolve(out));
} else {
  generateDemo(path.join(repository, 'demo'));
  generateFixtures(path.join(repository, 'tests', 'fixtures', 'workbooks'));
}
