#pragma once

#include "settings/PrintSetting.h"

#include <QDateTime>
#include <QFont>
#include <QList>
#include <QPageLayout>
#include <QString>
#include <QStringList>

class QPagedPaintDevice;

namespace glimora::query {

// What a printed slip holds: what the visitor sees on the query screen.
struct PrintSlip
{
    QString title;
    QString company;
    QString summary;
    // The shown columns: captions and the catalogue's widths, which share out the paper.
    QStringList captions;
    QList<int> widths;
    // One text per shown column for each record.
    QList<QStringList> records;
    // The current record's link; a QR code of it when not empty.
    QString link;
    QDateTime printedAt;
    // The cell height of the screen's table font (f3h): the paper keeps its proportion to the
    // columns.
    int textHeight = 15;
};

// Lays a slip out on A4 (a table with the screen's columns) or on an 80 mm receipt roll
// (each record as caption and value lines), and paints it on a printer or a PDF writer, with
// page n of N and the time printed at the foot of every page. Long texts wrap as on screen;
// rows grow to hold them, so nothing is cut.
class PrintLayout
{
public:
    using Paper = settings::PrintSetting::Paper;

    PrintLayout(PrintSlip slip, Paper paper);

    Paper paper() const { return m_paper; }
    QPageLayout pageLayout() const;
    // Sets the paper on `device` and paints every page. Returns the pages painted, or 0 when
    // the device refused the painter, a page or the finished job.
    int render(QPagedPaintDevice& device) const;

    // The lines of `text` in `width`: wrapped at words, inside a word that is wider than the
    // line, and elided on the last line that `height` holds.
    static QStringList wrap(const QString& text, const QFont& font, double width, double height);
    static QString pageLine(int page, int pages);
    static QString printedLine(const QDateTime& at);

private:
    PrintSlip m_slip;
    Paper m_paper;
};

} // namespace glimora::query
