#pragma once

#include <QDateTime>
#include <QString>

class QPrinter;

namespace glimora::query {

class PrintLayout;

// Where a slip goes: a CUPS printer by name, or a PDF file in a folder. Each returns the
// message for the visitor when the slip could not be made, or "" when it was.
class SlipOutput
{
public:
    static QString toPrinter(const PrintLayout& layout, const QString& printerName);
    // The slip on a printer already set up; `printerName` is for the message.
    static QString toPrinter(const PrintLayout& layout, QPrinter& printer, const QString& printerName);
    // Writes slip-<time>.pdf in `folder` (made when missing); `written` gets the file's path.
    static QString toPdf(
        const PrintLayout& layout, const QString& folder, const QDateTime& at, QString* written = nullptr);
};

} // namespace glimora::query
