'use strict';

// The demo workspace's workbooks: the field catalogue and the records to import.

const path = require('path');
const { buildWorkbook, writeXls, writeXlsx } = require('./workbookFiles');
const { buildCatalogueRows, buildRecords } = require('./hospital');

function generateDemo(demoDirectory) {
  writeXls(buildWorkbook([{ name: 'contrast', rows: buildCatalogueRows() }]), path.join(demoDirectory, 'Contrast.XLS'));
  writeXls(buildWorkbook([{ name: 'records', rows: buildRecords() }]), path.join(demoDirectory, 'records.xls'));
}

// BIFF8 holds at most 65,536 rows, the heading included.
const XLS_MAXIMUM_RECORDS = 65535;

// A larger records workbook for benchmarks; never committed. The name's extension picks
// the format: .xlsx, or BIFF8 for anything else.
function generateRecords(count, filePath) {
  const xlsx = filePath.toLowerCase().endsWith('.xlsx');
  if (!xlsx && count > XLS_MAXIMUM_RECORDS) {
    throw new Error(`an .xls workbook holds at most ${XLS_MAXIMUM_RECORDS} records; use an .xlsx name`);
  }
  const book = buildWorkbook([{ name: 'records', rows: buildRecords({ target: count }) }]);
  if (xlsx) writeXlsx(book, filePath);
  else writeXls(book, filePath);
}

module.exports = { generateDemo, generateRecords };
