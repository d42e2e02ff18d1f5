#include "query/PrintLayout.h"

#include "query/QrCode.h"
#include "ui/SharedFonts.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <functional>
#include <numeric>

namespace glimora::query {

namespace {

// The layout works in tenths of a millimetre; fonts are sized in the same unit.
constexpr double UnitsPerInch = 254.0;

struct Sizes
{
    QSizeF pageMm;
    double marginMm;
    int title, company, summary, text, foot; // font heights
    int qrSide;
};

Sizes sizesOf(PrintLayout::Paper paper)
{
    if (paper == PrintLayout::Paper::Receipt)
        return { QSizeF(80, 200), 4, 45, 35, 32, 32, 26, 380 };
    return { QSizeF(210, 297), 15, 60, 42, 38, 35, 30, 300 };
}

QFont paperFont(int height, bool bold)
{
    QFont font = ui::makeLogicalFont(16, 0, bold ? 700 : 400, QString::fromUtf8(bold ? "黑体" : "楷体"));
    font.setPixelSize(height);
    return font;
}

struct Block
{
    double height = 0;
    // A table row that needs the caption row above it at the top of a page.
    bool tableRow = false;
    std::function<void(QPainter&, double top)> paint;
};

class Composer
{
public:
    Composer(const PrintSlip& slip, PrintLayout::Paper paper, double width, double height)
        : m_slip(slip)
        , m_paper(paper)
        , m_sizes(sizesOf(paper))
        , m_width(width)
        , m_footHeight(footHeight())
        , m_bodyHeight(height - m_footHeight)
    {
    }

    QList<Block> blocks()
    {
        QList<Block> list;
        addText(list, m_slip.title, paperFont(m_sizes.title, true), Qt::AlignHCenter);
        addText(list, m_slip.company, paperFont(m_sizes.company, false), Qt::AlignHCenter);
        addText(list, m_slip.summary, paperFont(m_sizes.summary, false), Qt::AlignLeft);
        addQrCode(list);
        list << gap(m_sizes.text / 2);
        if (m_paper == PrintLayout::Paper::Receipt)
            addReceiptRecords(list);
        else
            addTableRecords(list);
        return list;
    }

    // The blocks of each page, with their tops.
    using Page = QList<std::pair<const Block*, double>>;
    QList<Page> paginate(const QList<Block>& list) const
    {
        QList<Page> pages(1);
        double y = 0;
        for (const Block& block : list) {
            if (y > 0 && y + block.height > m_bodyHeight) {
                pages.append(Page());
                y = 0;
                if (block.tableRow) {
                    pages.last().append(std::make_pair(&m_captionRow, 0.0));
                    y = m_captionRow.height;
                }
            }
            pages.last().append(std::make_pair(&block, y));
            y += block.height;
        }
        return pages;
    }

    void paintFoot(QPainter& painter, int page, int pages) const
    {
        const QFont font = paperFont(m_sizes.foot, false);
        painter.setFont(font);
        const double top = m_bodyHeight;
        painter.drawLine(QPointF(0, top + 10), QPointF(m_width, top + 10));
        const QString pageText = PrintLayout::pageLine(page, pages);
        const QString timeText = PrintLayout::printedLine(m_slip.printedAt);
        const double line = QFontMetricsF(font).lineSpacing();
        if (m_paper == PrintLayout::Paper::Receipt) {
            painter.drawText(QRectF(0, top + 20, m_width, line), Qt::AlignHCenter, pageText);
            painter.drawText(QRectF(0, top + 20 + line, m_width, line), Qt::AlignHCenter, timeText);
        } else {
            painter.drawText(QRectF(0, top + 20, m_width, line), Qt::AlignLeft, pageText);
            painter.drawText(QRectF(0, top + 20, m_width, line), Qt::AlignRight, timeText);
        }
    }

private:
    double footHeight() const
    {
        const double line = QFontMetricsF(paperFont(m_sizes.foot, false)).lineSpacing();
        return 30 + line * (m_paper == PrintLayout::Paper::Receipt ? 2 : 1);
    }

    // The most a cell may grow: a longer text is wrapped to a page and elided there.
    int tallestCell() const { return int(m_bodyHeight / 2); }

    static Block gap(double height)
    {
        return { height, false, [](QPainter&, double) {} };
    }

    static QStringList wrapped(const QString& text, const QFont& font, double width, int height)
    {
        return PrintLayout::wrap(text, font, width, height);
    }

    void addText(QList<Block>& list, const QString& text, const QFont& font, Qt::Alignment align) const
    {
        if (text.trimmed().isEmpty())
            return;
        const QStringList lines = wrapped(text, font, m_width, tallestCell());
        const double line = QFontMetricsF(font).lineSpacing();
        list << Block { line * lines.size() + 10, false, [=, width = m_width](QPainter& painter, double top) {
                           painter.setFont(font);
                           for (int i = 0; i < lines.size(); ++i)
                               painter.drawText(QRectF(0, top + i * line, width, line), align, lines[i]);
                       } };
    }

    void addQrCode(QList<Block>& list) const
    {
        const QrCode code = QrCode::encode(m_slip.link.toUtf8());
        if (code.isNull())
            return;
        const double side = m_sizes.qrSide;
        const double left = m_paper == PrintLayout::Paper::Receipt ? (m_width - side) / 2 : m_width - side;
        list << Block { side + 10, false,
            [=](QPainter& painter, double top) { code.paint(painter, QRectF(left, top, side, side)); } };
    }

    void addTableRecords(QList<Block>& list)
    {
        const int columns = int(std::min(m_slip.captions.size(), m_slip.widths.size()));
        const double total = std::accumulate(m_slip.widths.begin(), m_slip.widths.begin() + columns, 0.0);
        if (columns == 0 || total <= 0)
            return;
        QList<double> lefts;
        QList<double> widths;
        double x = 0;
        for (int j = 0; j < columns; ++j) {
            lefts << x;
            widths << m_slip.widths[j] * m_width / total;
            x += widths.last();
        }
        // The screen's font against the screen's columns: what fits a column there fits here.
        const int screenFont = m_slip.textHeight > 0 ? m_slip.textHeight : 15;
        QFont font = ui::makeLogicalFont(std::clamp(int(screenFont * m_width / total), 30, m_sizes.text), 0,
            400, QString::fromUtf8("楷体"));
        const double line = QFontMetricsF(font).lineSpacing();
        const double pad = 6;
        const auto row = [&](const QStringList& texts, bool tableRow) {
            QList<QStringList> cells;
            qsizetype most = 1;
            for (int j = 0; j < columns; ++j) {
                cells << wrapped(
                    j < texts.size() ? texts[j] : QString(), font, widths[j] - 2 * pad, tallestCell());
                most = std::max(most, cells.last().size());
            }
            const double height = most * line + 2 * pad;
            return Block { height, tableRow, [=](QPainter& painter, double top) {
                              painter.setFont(font);
                              for (int j = 0; j < columns; ++j) {
                                  const QRectF cell(lefts[j], top, widths[j], height);
                                  painter.drawRect(cell);
                                  painter.drawText(cell.adjusted(pad, pad, -pad, -pad), Qt::AlignCenter,
                                      cells[j].join(QLatin1Char('\n')));
                              }
                          } };
        };
        m_captionRow = row(m_slip.captions.mid(0, columns), false);
        list << m_captionRow;
        for (const QStringList& record : m_slip.records)
            list << row(record, true);
    }

    void addReceiptRecords(QList<Block>& list) const
    {
        const QFont font = paperFont(m_sizes.text, false);
        const QFontMetricsF metrics(font);
        const double line = metrics.lineSpacing();
        double captionWidth = 0;
        for (const QString& caption : m_slip.captions)
            captionWidth
                = std::max(captionWidth, metrics.horizontalAdvance(caption + QString::fromUtf8("：")));
        captionWidth = std::min(captionWidth, m_width * 0.4);
        const double valueWidth = m_width - captionWidth;
        const QPen rule(Qt::black, 3, Qt::DashLine);
        const Block separator { 20, false, [rule, width = m_width](QPainter& painter, double top) {
                                   painter.save();
                                   painter.setPen(rule);
                                   painter.drawLine(QPointF(0, top + 10), QPointF(width, top + 10));
                                   painter.restore();
                               } };
        list << separator;
        for (const QStringList& record : m_slip.records) {
            // A block for each field: a record longer than the roll's page goes on over the next.
            for (int j = 0; j < m_slip.captions.size(); ++j) {
                const QStringList caption
                    = wrapped(m_slip.captions[j] + QString::fromUtf8("："), font, captionWidth, int(line));
                const QStringList value
                    = wrapped(j < record.size() ? record[j] : QString(), font, valueWidth, tallestCell());
                list << Block { line * value.size(), false,
                    [=](QPainter& painter, double top) {
                        painter.setFont(font);
                        painter.drawText(QRectF(0, top, captionWidth, line), Qt::AlignLeft, caption.value(0));
                        for (int i = 0; i < value.size(); ++i)
                            painter.drawText(QRectF(captionWidth, top + i * line, valueWidth, line),
                                Qt::AlignLeft, value[i]);
                    } };
            }
            list << separator;
        }
    }

    const PrintSlip& m_slip;
    PrintLayout::Paper m_paper;
    Sizes m_sizes;
    double m_width;
    double m_footHeight;
    double m_bodyHeight;
    Block m_captionRow;
};

} // namespace

PrintLayout::PrintLayout(PrintSlip slip, Paper paper)
    : m_slip(std::move(slip))
    , m_paper(paper)
{
}

QStringList PrintLayout::wrap(const QString& text, const QFont& font, double width, double height)
{
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QFontMetricsF metrics(font);
    if (width <= 0 || metrics.horizontalAdvance(flat) <= width)
        return { flat };
    const int most = std::max(1, int(height / std::max(1.0, metrics.lineSpacing())));
    QTextLayout layout(flat, font);
    QTextOption option;
    // Words as on screen; a word longer than the column (a date, a code) breaks inside.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (int(lines.size()) + 1 == most) {
            lines << metrics.elidedText(flat.mid(line.textStart()), Qt::ElideRight, width);
            break;
        }
        QString piece = flat.mid(line.textStart(), line.textLength());
        while (piece.endsWith(QLatin1Char(' ')))
            piece.chop(1);
        lines << piece;
    }
    layout.endLayout();
    return lines;
}

QString PrintLayout::pageLine(int page, int pages)
{
    return QString::fromUtf8("第 %1 页 / 共 %2 页").arg(page).arg(pages);
}

QString PrintLayout::printedLine(const QDateTime& at)
{
    return QString::fromUtf8("打印时间 ") + at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QPageLayout PrintLayout::pageLayout() const
{
    const Sizes sizes = sizesOf(m_paper);
    const QPageSize size = m_paper == Paper::A4 ? QPageSize(QPageSize::A4)
                                                : QPageSize(sizes.pageMm, QPageSize::Millimeter,
                                                    QStringLiteral("Receipt 80 mm"), QPageSize::ExactMatch);
    const double m = sizes.marginMm;
    return QPageLayout(size, QPageLayout::Portrait, QMarginsF(m, m, m, m), QPageLayout::Millimeter);
}

int PrintLayout::render(QPagedPaintDevice& device) const
{
    // A printer that has no such paper keeps its own: the layout fills whatever page it gets.
    if (!device.setPageLayout(pageLayout()))
        device.setPageSize(pageLayout().pageSize());
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    const QRectF paper = device.pageLayout().paintRect(QPageLayout::Millimeter);
    Composer composer(m_slip, m_paper, paper.width() * 10, paper.height() * 10);
    const QList<Block> blocks = composer.blocks();
    const auto pages = composer.paginate(blocks);
    const double scale = device.logicalDpiX() / UnitsPerInch;
    for (int n = 0; n < pages.size(); ++n) {
        if (n > 0 && !device.newPage()) {
            painter.end();
            return 0;
        }
        painter.resetTransform();
        painter.scale(scale, device.logicalDpiY() / UnitsPerInch);
        painter.setPen(QPen(Qt::black, 2));
        for (const auto& [block, top] : pages[n])
            block->paint(painter, top);
        composer.paintFoot(painter, n + 1, int(pages.size()));
    }
    return painter.end() ? int(pages.size()) : 0;
}

} // namespace glimora::query
