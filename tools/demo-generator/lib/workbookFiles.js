'use strict';

const fs = require('fs');
const path = require('path');
const XLSX = require('xlsx');
const CFB = require('cfb');
const codepage = require('codepage');

const RECORD_BOF = 0x0809;
const RECORD_BOUNDSHEET = 0x0085;
const RECORD_CODEPAGE = 0x0042;
const RECORD_LABEL = 0x0204;
const RECORD_FILEPASS = 0x002f;

// Real Excel files keep the workbook stream out of the compound file's mini stream;
// padding after the final EOF record gives the same layout.
const MINIMUM_STREAM_SIZE = 4096 + 512;

// Builds a workbook from sheets given as { name, rows }, each row a list of cell values:
// a string, a number, null for an empty cell, or a SheetJS cell object ({ t, v, z }).
function buildWorkbook(sheets, { date1904 = false } = {}) {
  const workbook = XLSX.utils.book_new();
  for (const sheet of sheets) {
    XLSX.utils.book_append_sheet(workbook, XLSX.utils.aoa_to_sheet(sheet.rows), sheet.name);
  }
  workbook.Workbook = workbook.Workbook || {};
  workbook.Workbook.WBProps = { date1904 };
  return workbook;
}

function readRecords(stream) {
  const records = [];
  let offset = 0;
  while (offset + 4 <= stream.length) {
    const type = stream.readUInt16LE(offset);
    const length = stream.readUInt16LE(offset + 2);
    records.push({ type, data: Buffer.from(stream.subarray(offset + 4, offset + 4 + length)), offset });
    offset += 4 + length;
  }
  return records;
}

// Serialises records again and points every BOUNDSHEET entry at the new place of its sheet.
function writeRecords(records) {
  const newOffsets = new Map();
  let offset = 0;
  for (const record of records) {
    if (record.type === RECORD_BOF && record.offset !== undefined) newOffsets.set(record.offset, offset);
    offset += 4 + record.data.length;
  }
  const parts = [];
  for (const record of records) {
    if (record.type === RECORD_BOUNDSHEET) {
      const target = newOffsets.get(record.data.readUInt32LE(0));
      if (target !== undefined) record.data.writeUInt32LE(target, 0);
    }
    const header = Buffer.alloc(4);
    header.writeUInt16LE(record.type, 0);
    header.writeUInt16LE(record.data.length, 2);
    parts.push(header, record.data);
  }
  return Buffer.concat(parts);
}

function rewriteStream(fileBuffer, rewrite) {
  const container = CFB.read(fileBuffer, { type: 'buffer' });
  const entry = CFB.find(container, 'Workbook') || CFB.find(container, 'Book');
  let stream = rewrite(Buffer.from(entry.content));
  if (stream.length < MINIMUM_STREAM_SIZE) {
    stream = Buffer.concat([stream, Buffer.alloc(MINIMUM_STREAM_SIZE - stream.length)]);
  }
  entry.content = stream;
  entry.size = stream.length;
  return Buffer.from(CFB.write(container, { type: 'buffer' }));
}

// SheetJS writes BIFF5 labels in code page 1252, which cannot hold Chinese; a workbook
// saved by a Chinese Excel 95 carries code page 936 (GBK) instead.
function recodeBiff5ToGbk(workbook, stream) {
  const records = readRecords(stream);
  let sheetIndex = -2; // the first BOF opens the workbook globals
  let boundSheets = 0;
  for (const record of records) {
    if (record.type === RECORD_BOF) sheetIndex += 1;
    if (record.type === RECORD_CODEPAGE) record.data.writeUInt16LE(936, 0);
    if (record.type === RECORD_BOUNDSHEET) {
      const name = Buffer.from(codepage.utils.encode(936, workbook.SheetNames[boundSheets]));
      boundSheets += 1;
      record.data = Buffer.concat([record.data.subarray(0, 6), Buffer.from([name.length]), name]);
    }
    if (record.type !== RECORD_LABEL || sheetIndex < 0) continue;
    const row = record.data.readUInt16LE(0);
    const column = record.data.readUInt16LE(2);
    const sheet = workbook.Sheets[workbook.SheetNames[sheetIndex]];
    const cell = sheet[XLSX.utils.encode_cell({ r: row, c: column })];
    const bytes = Buffer.from(codepage.utils.encode(936, String(cell.v)));
    const head = Buffer.alloc(8);
    record.data.copy(head, 0, 0, 6);
    head.writeUInt16LE(bytes.length, 6);
    record.data = Buffer.concat([head, bytes]);
  }
  return writeRecords(records);
}

// An RC4 FILEPASS record as Excel 97-2003 writes it for "password to open". With
// scramble, the records after it get garbled payloads as encryption leaves them (record
// headers, BOF records and the stream offsets of BOUNDSHEET stay in the clear); without,
// they stay readable.
function addFilePass(stream, { scramble = false } = {}) {
  const records = readRecords(stream);
  const filePass = Buffer.alloc(54);
  filePass.writeUInt16LE(1, 0); // RC4
  filePass.writeUInt16LE(1, 2);
  filePass.writeUInt16LE(1, 4);
  for (let i = 6; i < filePass.length; i += 1) filePass[i] = (i * 37) & 0xff;
  records.splice(1, 0, { type: RECORD_FILEPASS, data: filePass });
  if (scramble) {
    let key = 0x5a;
    for (const record of records.slice(2)) {
      if (record.type === RECORD_BOF) continue;
      const start = record.type === RECORD_BOUNDSHEET ? 4 : 0;
      for (let i = start; i < record.data.length; i += 1) {
        key = (key * 73 + 41) & 0xff;
        record.data[i] ^= key;
      }
    }
  }
  return writeRecords(records);
}

function writeXls(workbook, filePath, { biff5 = false, passwordProtected = false, encrypted = false } = {}) {
  const written = XLSX.write(workbook, { bookType: biff5 ? 'biff5' : 'biff8', type: 'buffer' });
  const file = rewriteStream(written, (stream) => {
    let result = biff5 ? recodeBiff5ToGbk(workbook, stream) : stream;
    if (passwordProtected || encrypted) result = addFilePass(result, { scramble: encrypted });
    return result;
  });
  writeFile(filePath, file);
  return file;
}

// Excel keeps texts in the shared-strings part; other writers put them in the cells.
function writeXlsx(workbook, filePath, { sharedStrings = true } = {}) {
  const file = Buffer.from(XLSX.write(workbook, { bookType: 'xlsx', type: 'buffer', compression: true, bookSST: sharedStrings }));
  writeFile(filePath, file);
  return file;
}

// Replaces (or adds) entries of a zip package, for hand-made damaged or hostile packages.
function editZip(fileBuffer, replacements) {
  const container = CFB.read(fileBuffer, { type: 'buffer' });
  for (const [name, content] of Object.entries(replacements)) {
    const entry = CFB.find(container, name);
    if (entry) {
      entry.content = Buffer.from(content);
      entry.size = entry.content.length;
    } else {
      CFB.utils.cfb_add(container, name, Buffer.from(content));
    }
  }
  return Buffer.from(CFB.write(container, { type: 'buffer', fileType: 'zip', compression: true }));
}

// What Office writes for a password-protected .xlsx: a compound file holding the
// encrypted package instead of a zip.
function encryptedPackage() {
  const container = CFB.utils.cfb_new();
  CFB.utils.cfb_add(container, 'EncryptionInfo', Buffer.alloc(1024, 4));
  CFB.utils.cfb_add(container, 'EncryptedPackage', Buffer.alloc(8192, 0x5a));
  return Buffer.from(CFB.write(container, { type: 'buffer' }));
}

function writeFile(filePath, content) {
  fs.mkdirSync(path.dirname(filePath), { recursive: true });
  fs.writeFileSync(filePath, content);
}

module.exports = { buildWorkbook, writeXls, writeXlsx, editZip, encryptedPackage, writeFile };
