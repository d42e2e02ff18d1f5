#pragma once

#include <QString>

namespace glimora::settings {

// Printing and the record's QR code on the query screen, section `print`: `enabled` gates it
// all (0 or missing: the screen is as it always was); `printer` a CUPS printer, `pdf` a folder
// for PDF slips (with neither, nothing is printed); `paper` a4 or receipt; `limit` the most
// records printed when `records` is all (otherwise the page on display); `link` the record
// link template of the QR code.
class PrintSetting
{
public:
    static constexpr int DefaultLimit = 200;
    enum class Paper { A4, Receipt };

    static bool enabled();
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
    // Enabled, with a printer or a PDF folder to print to.
    static bool printing();
    static QString printer();
    // The PDF folder, absolute (relative to the station's folder); empty for none.
    static QString pdfFolder();
    static Paper paper();
    static bool allRecords();
    static int limit();
    // The link template when enabled; empty otherwise.
    static QString linkTemplate();
};

} // namespace glimora::settings
