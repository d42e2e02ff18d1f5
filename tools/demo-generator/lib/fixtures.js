'use strict';

// Workbooks for the workbook reader's tests, in tests/fixtures/workbooks.

const path = require('path');
const { buildWorkbook, writeXls, writeXlsx, editZip, encryptedPackage, writeFile } = require('./workbookFiles');
const { buildCatalogueRows, buildRecords } = require('./hospital');
const { serial1900, serial1904 } = require('./excelDate');

const NOTES_SHEET = { name: '说明', rows: [['本工作簿的字段目录在 contrast 工作表中。']] };

// A row that only the heading filter can tell from the fields, a hidden field, and a row
// whose first cell is empty: the catalogue import skips the last one.
const CATALOGUE_TEST_ROWS = [[], ['备注h', 'd9', 120, 9, 12, null], [null, 'd10', 80, 10, 13, null], []];

function cell(value, format) {
  return { t: 'n', v: value, z: format };
}

function datesSheet(serial) {
  const rows = [['label', 'value']];
  const add = (label, value, format) => rows.push([label, cell(value, format)]);
  return { rows, add, serial };
}

function dates1900() {
  const sheet = datesSheet(serial1900);
  sheet.add('first day', serial1900(1900, 1, 1), 'yyyy-mm-dd');
  sheet.add('before the phantom leap day', serial1900(1900, 2, 28), 'yyyy-mm-dd');
  sheet.add('after the phantom leap day', serial1900(1900, 3, 1), 'yyyy-mm-dd');
  sheet.add('builtin short date', serial1900(2012, 12, 31), 'm/d/yy');
  sheet.add('date and time', serial1900(2024, 6, 1, 14, 30), 'yyyy-mm-dd hh:mm');
  sheet.add('chinese date format', serial1900(2008, 8, 8), 'yyyy"年"m"月"d"日"');
  sheet.add('plain number', 45000.25, '0.00');
  return { name: 'dates', rows: sheet.rows };
}

function dates1904() {
  const sheet = datesSheet(serial1904);
  sheet.add('second day', serial1904(1904, 1, 2), 'yyyy-mm-dd');
  sheet.add('builtin short date', serial1904(2012, 12, 31), 'm/d/yy');
  sheet.add('date and time', serial1904(2024, 6, 1, 14, 30), 'yyyy-mm-dd hh:mm');
  sheet.add('plain number', 45000.25, '0.00');
  return { name: 'dates', rows: sheet.rows };
}

// A small records sheet with every kind of cell the import meets.
function recordsSheet() {
  const rows = buildRecords().slice(0, 21);
  rows.push(['化验', '血液', '血常规', null, '项', '检验科', null, '0500099', null, 20]);
  rows.push(['  留空格  ', null, '00123', null, null, null, null, '007', null, -1.5]);
  return { name: 'records', rows };
}

function generateFixtures(outputDirectory) {
  const out = (name) => path.join(outputDirectory, name);
  const catalogue = { name: 'contrast', rows: buildCatalogueRows({ extraFieldRows: CATALOGUE_TEST_ROWS }) };
  const contrastBook = buildWorkbook([NOTES_SHEET, catalogue]);
  const contrastXls = writeXls(contrastBook, out('contrast.xls'));
  writeXls(contrastBook, out('contrast-biff5.xls'), { biff5: true });
  const contrastXlsx = writeXlsx(contrastBook, out('contrast.xlsx'));

  const recordsBook = buildWorkbook([recordsSheet()]);
  writeXls(recordsBook, out('records.xls'));
  writeXlsx(recordsBook, out('records.xlsx'), { sharedStrings: false });

  writeXls(buildWorkbook([dates1900()]), out('dates-1900.xls'));
  writeXlsx(buildWorkbook([dates1900()]), out('dates-1900.xlsx'));
  writeXls(buildWorkbook([dates1904()], { date1904: true }), out('dates-1904.xls'));
  writeXlsx(buildWorkbook([dates1904()], { date1904: true }), out('dates-1904.xlsx'));

  writeXls(contrastBook, out('password.xls'), { passwordProtected: true });
  writeXls(contrastBook, out('password-encrypted.xls'), { encrypted: true });
  writeFile(out('password.xlsx'), encryptedPackage());

  writeFile(out('truncated.xls'), contrastXls.subarray(0, Math.floor(contrastXls.length * 0.6)));
  writeFile(out('truncated.xlsx'), contrastXlsx.subarray(0, Math.floor(contrastXlsx.length * 0.6)));
  const damagedXls = Buffer.from(contrastXls);
  for (let i = 512; i < damagedXls.length; i += 7) damagedXls[i] ^= 0xa5;
  writeFile(out('damaged.xls'), damagedXls);
  writeFile(out('damaged.xlsx'), editZip(contrastXlsx, {
    'xl/worksheets/sheet2.xml': '<?xml version="1.0"?><worksheet><sheetData><row r="1"><c r="A1"',
  }));
  // The "billion laughs": a reader that expanded entities would need gigabytes.
  const laughs = ['<!ENTITY l0 "ha">'];
  for (let i = 1; i < 10; i += 1) laughs.push(`<!ENTITY l${i} "${`&l${i - 1};`.repeat(10)}">`);
  writeFile(out('entities.xlsx'), editZip(contrastXlsx, {
    'xl/worksheets/sheet2.xml': `<?xml version="1.0"?><!DOCTYPE worksheet [${laughs.join('')}]>`
      + '<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>'
      + '<row r="1"><c r="A1" t="inlineStr"><is><t>&l9;</t></is></c></row></sheetData></worksheet>',
  }));
}

module.exports = { generateFixtures };
