#pragma once

#include <QString>

namespace glimora::settings {

// The only access to uinfo.ini. A read sees the file as it is at that moment, so a value
// changed by the configuration screen or by hand takes effect at the next read; the file is
// read again only when its inode, size or timestamps changed.

// Fixes the folder of uinfo.ini; start-up passes the working directory of that moment.
// Until it is set, the current working directory is used.
void setSettingsDirectory(const QString& directory);
QString settingsDirectory();
QString settingsFilePath();

// The value of a key, cut to 3999 characters; `defaultValue` when the file, section or
// key is missing or the value is empty.
QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue);

// The value converted as the C library's decimal conversion does: leading digits, else 0.
int ReadSettingInt(const QString& section, const QString& key, const QString& defaultValue);

// Writes one key, creating the file, section or key as needed. The file is replaced
// atomically so that a crash never leaves half of it. Returns false, leaving the file as it
// was, when it exists but cannot be read (writing would lose every other setting), cannot
// be replaced, or cannot hold the value.
bool WriteSetting(const QString& section, const QString& key, const QString& value);

// An on/off option: "1" on, "0" or missing off. The write says false when the file cannot be written.
bool ReadSwitch(const QString& section, const QString& key);
bool WriteSwitch(const QString& section, const QString& key, bool on);

// atoi on a text: optional blanks and sign, then leading digits; 0 when there are none.
int leadingInteger(const QString& text);

// strtof on a text as it reads in the "C" locale, whatever the desktop's: optional blanks and
// sign, then a decimal (a point, never a comma), hexadecimal, infinity or NaN; 0 when there is
// none. Out of range: infinity, or 0 for a number too small.
float leadingFloat(const QString& text);

} // namespace glimora::settings
