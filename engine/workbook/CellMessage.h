#pragma once

// The messages by which the .xls child hands a worksheet to its parent: a stream of
// messages, each one byte of kind and its fields in the machine's own byte order.
namespace glimora::engine::CellMessage {

// Message kinds.
constexpr char cell = 'C'; // row (u32), column (u16), cell kind, value
constexpr char failure = 'E'; // failure kind, detail text
constexpr char done = 'D';

// Cell kinds: a double, or a text (u32 length and UTF-8 bytes).
constexpr char number = 'n';
constexpr char text = 't';
constexpr char date = 'd'; // milliseconds since 1970 (i64), a wall-clock time taken as UTC

// Failure kinds.
constexpr char missingSheet = 's';
constexpr char damaged = 'x';
constexpr char passwordProtected = 'p';
constexpr char notAWorkbook = 'w';
constexpr char missingFile = 'f';
constexpr char tooLarge = 'l';

} // namespace glimora::engine::CellMessage
