'use strict';
// Writes the import benchmark's sheet "records" (100,000 rows of ten columns, as
// EngineBench.cpp writes them) with the SheetJS library, and the same rows as CSV:
//   node bench/engine/sheetjs-workbook.js <folder>      (after npm ci in tools/demo-generator)
// then: glimora_engine_bench --import-file <folder>/records.xlsx <folder>/records.csv
const fs = require('fs');
const path = require('path');
const XLSX = require(path.join(__dirname, '../../tools/demo-generator/node_modules/xlsx'));

const folder = process.argv[2];
const categories = ['西药', '中成药', '检查', '化验', '治疗'];
const rows = [];
const csv = [];
for (let i = 0; i < 100000; ++i) {
  const texts = [`Name ${i + 1}`, categories[i % 5], `C${String(i % 977).padStart(5, '0')}`, '盒',
    `Maker ${i % 211}`, `Remark ${i % 13}`];
  const serial = 40909 + (i % 3650);
  const amount = i % 1000;
  const price = (i % 100000) / 100;
  rows.push([...texts.slice(0, 5), { t: 'n', v: serial, z: 'yyyy-mm-dd' }, amount, price, price * 2, texts[5]]);
  const date = new Date(Date.UTC(1899, 11, 30) + serial * 86400000).toISOString().slice(0, 10);
  csv.push([...texts.slice(0, 5), `${date} 00:00:00`, amount, price, price * 2, texts[5]].join(','));
}
const workbook = XLSX.utils.book_new();
XLSX.utils.book_append_sheet(workbook, XLSX.utils.aoa_to_sheet(rows), 'records');
XLSX.writeFile(workbook, path.join(folder, 'records.xlsx'), { compression: true });
fs.writeFileSync(path.join(folder, 'records.csv'), csv.join('\n') + '\n');
