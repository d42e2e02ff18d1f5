#include "query/ResultPage.h"

#include "data/DbError.h"
#include "data/ValueReaders.h"
#include "query/FieldCatalogue.h"
#include "query/QueryStatements.h"
#include "settings/SettingsFile.h"
#include "ui/LargeText.h"
#include "ui/ScreenPolish.h"
#include "ui/SharedFonts.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace glimora::query {

namespace {

const QColor Blue(0, 0, 255);
const QString Show = QStringLiteral("show");

int showInt(const char* key, const char* fallback)
{
    return settings::ReadSettingInt(Show, QString::fromLatin1(key), QString::fromLatin1(fallback));
}

} // namespace

ResultPage::Geometry ResultPage::Geometry::fromSettings()
{
    Geometry g;
    g.topBlank = showInt("topblank", "50");
    g.nameMove = showInt("namemove", "25");
    g.tabHead = showInt("tabhead", "20");
    g.titleHeight = showInt("f2h", "20");
    g.summaryHeight = showInt("f3h", "15");
    g.fBlank = showInt("fblank", "30");
    g.rowHeight = showInt("rhight", "45");
    return g;
}

QRect ResultPage::Geometry::titleBox(int right) const
{
    const int top = topBlank - nameMove;
    return QRect(QPoint(0, top), QPoint(right, top + fBlank + titleHeight - 1));
}

int ResultPage::Geometry::rowsPerPage(int bottom) const
{
    // A row height of 0 or less would never fill the page.
    if (rowHeight <= 0)
        return 0;
    return std::max(0, (bottom - fBlank - summaryHeight - tabHead - topBlank + nameMove) / rowHeight);
}

int ResultPage::DrawnRows::rowAt(int y) const
{
    if (height <= 0 || y < top)
        return -1;
    const int row = (y - top) / height;
    return row < count ? row : -1;
}

ResultPage::ResultPage(const FieldCatalogue& catalogue, data::Recordset cursor, const QString& whereClause)
    : m_catalogue(catalogue)
    , m_cursor(std::move(cursor))
    , m_whereClause(whereClause)
{
}

QString ResultPage::emptyMessage()
{
    return QString::fromUtf8("没有数据，配置错误或未导入数据。");
}

QString ResultPage::ColumnDisplayName(const QString& name) const
{
    return m_catalogue.displayName(name);
}

QString ResultPage::FormatCellValue(const data::Recordset& cursor, int position, const QString& name)
{
    const data::Field field = name.isEmpty() ? cursor.Item(position) : cursor.Item(name);
    const data::Variant value = field.Value();
    if (value.isNull() || value.isEmpty())
        return QString();
    switch (field.Type()) {
    case data::DataType::Numeric: {
        const double x = value.toDouble();
        return QString::asprintf(x != std::trunc(x) ? "%.2f" : "%.0f", x);
    }
    case data::DataType::DBTimeStamp: {
        const QDate date = value.toDateTime().date();
        return QString::asprintf("%d-%02d-%02d", date.year(), date.month(), date.day());
    }
    case data::DataType::VarWChar:
        return value.kind() == data::Variant::Kind::String ? value.toString().trimmed()
                                                           : data::ValueText(value);
    default:
        return QStringLiteral("*");
    }
}

QStringList ResultPage::cellLines(const QString& text, const QFont& font, int width, int height)
{
    const QFontMetrics metrics(font);
    if (width <= 0 || metrics.horizontalAdvance(text) <= width)
        return { text };
    // A long name cut at both ends of its cell reads as another name: it wraps instead.
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const int lineCount = std::max(1, height / std::max(1, metrics.lineSpacing()));
    QStringList lines;
    QTextLayout layout(flat, font);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (int(lines.size()) + 1 == lineCount) {
            lines << metrics.elidedText(flat.mid(line.textStart()), Qt::ElideRight, width);
            break;
        }
        lines << flat.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

ResultPage::Columns ResultPage::columns() const
{
    QStringList heads;
    for (int k = 1; k <= 4; ++k)
        heads << settings::ReadSetting(Show, QStringLiteral("head%1").arg(k), QStringLiteral("d%1").arg(k));
    Columns result;
    const bool onRecord = !m_cursor.isNull() && !m_cursor.EndOfFile() && !m_cursor.BOF();
    const auto addToSummary = [&](int k, const QString& value) {
        if (k > 0)
            result.summary += QString(10, QLatin1Char(' '));
        result.summary += ColumnDisplayName(heads[k]) + QStringLiteral(" : ") + value;
    };
    for (int k = 0; k < 4; ++k) {
        if (onRecord && m_severalValues.contains(heads[k])) {
            addToSummary(k, m_severalValues.value(heads[k]));
            heads[k].clear();
            continue;
        }
        if (!onRecord || !QueryStatements::fixesColumn(m_whereClause, heads[k])) {
            heads[k].clear();
            continue;
        }
        QString value;
        try {
            value = FormatCellValue(m_cursor, 0, heads[k]);
        } catch (const data::DbError&) {
            // The head column is not among the selected ones.
        }
        if (!value.isEmpty())
            addToSummary(k, value);
    }
    while (result.summary.startsWith(QLatin1Char(' ')))
        result.summary.remove(0, 1);

    // A picture column (d51) stays out of the table altogether: its cells are never drawn,
    // so a caption for it would push every caption right of it off its column.
    const int fieldCount = m_cursor.isNull() ? 0 : std::min(m_cursor.FieldCount(), 64);
    for (int j = 0; j < fieldCount; ++j) {
        const QString name = m_cursor.Item(j).Name();
        const CatalogueEntry* entry = m_catalogue.find(name);
        const bool shown = entry && !heads.contains(name) && name != QStringLiteral("d51");
        result.widths << (shown ? entry->width : 0);
        result.captions << (shown ? entry->chna : QString());
    }
    return result;
}

ResultPage::Flow ResultPage::flow(const QList<int>& widths, double scale, int pageWidth, bool wrap)
{
    Flow result;
    int x = 0;
    for (const int width : widths) {
        Place place;
        if (width == 0) {
            result.places << place;
            continue;
        }
        place.width = wrap ? std::min(int(std::ceil(width * scale)), std::max(1, pageWidth)) : width;
        if (wrap && x > 0 && x + place.width > pageWidth) {
            ++result.bands;
            x = 0;
        }
        place.band = result.bands - 1;
        place.x = x;
        x += place.width;
        result.places << place;
    }
    return result;
}

int ResultPage::draw(QPainter& painter, int left, int right, int bottom)
{
    Geometry g = Geometry::fromSettings();
    const QFont cellFont = m_largeText ? ui::LargeText::enlarged(ui::sharedFont(3)) : ui::sharedFont(3);
    const double scale = m_largeText ? ui::LargeText::scale(ui::sharedFont(3)) : 1.0;
    painter.save();
    painter.fillRect(QRect(QPoint(left, g.topBlank), QPoint(right, bottom)), Qt::white);
    painter.setPen(Blue);
    painter.setBackgroundMode(Qt::TransparentMode);

    const bool empty = m_cursor.isNull() || (m_cursor.BOF() && m_cursor.EndOfFile());
    if (empty) {
        painter.setFont(m_largeText ? ui::LargeText::enlarged(ui::sharedFont(2)) : ui::sharedFont(2));
        painter.drawText(QRect(QPoint(left, g.topBlank), QPoint(right, bottom)),
            Qt::AlignCenter | Qt::TextSingleLine, m_emptyMessage);
        painter.restore();
        return -1;
    }
    // A page never starts before the first record.
    if (m_cursor.BOF())
        m_cursor.MoveFirst();

    const Columns layout = columns();
    const Flow flowed = flow(layout.widths, scale, right - left - 4, m_largeText);
    // A record's lines each take a caption line and a row of the enlarged heights.
    const int headHeight = m_largeText ? int(std::ceil(g.tabHead * scale)) : g.tabHead;
    int lineHeight = m_largeText ? int(std::ceil(g.rowHeight * scale)) : g.rowHeight;
    if (m_largeText) {
        g.summaryHeight = std::max(g.summaryHeight, QFontMetrics(cellFont).height());
        // A page holds one record at least, or paging would never move: its lines take one
        // text line each where the enlarged rows would not fit.
        const int room
            = bottom - (g.topBlank - g.nameMove + g.fBlank + g.summaryHeight + headHeight * flowed.bands);
        if (lineHeight * flowed.bands > room)
            lineHeight = std::max(QFontMetrics(cellFont).lineSpacing() + 4, room / flowed.bands);
        g.tabHead = headHeight * flowed.bands;
        g.rowHeight = lineHeight * flowed.bands;
    }
    painter.setFont(cellFont);
    const int y1 = g.topBlank - g.nameMove + g.fBlank + g.summaryHeight;
    int summaryTop = y1 - g.summaryHeight;
    // A font taller than its row would sit on the rule under it.
    if (ui::ScreenPolish::enabled())
        summaryTop = std::min(summaryTop, y1 - 2 - QFontMetrics(painter.font()).height());
    painter.drawText(QRect(QPoint(2, summaryTop), QPoint(right, summaryTop + g.summaryHeight)),
        Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip, layout.summary);
    painter.drawLine(2, y1, right - 2, y1);

    const int fieldCount = int(layout.widths.size());
    const QList<Place>& places = flowed.places;
    for (int j = 0; j < fieldCount; ++j) {
        const Place& place = places[j];
        if (place.width == 0)
            continue;
        const int headTop = y1 + place.band * headHeight;
        if (flowed.bands == 1)
            painter.drawLine(place.x + 2, y1, place.x + 2, bottom - 1);
        else
            painter.drawLine(place.x + 2, headTop, place.x + 2, headTop + headHeight);
        painter.drawText(QRect(place.x + 2, headTop, place.width, headHeight),
            Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, layout.captions[j]);
    }

    int rowsDrawn = 0;
    for (int rowTop = y1 + g.tabHead; g.rowHeight > 0 && rowTop + g.rowHeight <= bottom;
         rowTop += g.rowHeight) {
        painter.drawLine(2, rowTop, right - 2, rowTop);
        for (const Place& place : places) {
            const int top = rowTop + place.band * lineHeight;
            if (place.width > 0 && flowed.bands > 1)
                painter.drawLine(place.x + 2, top, place.x + 2, top + lineHeight);
        }
        if (m_cursor.EndOfFile())
            continue;
        for (int j = 0; j < fieldCount; ++j) {
            const Place& place = places[j];
            if (place.width == 0)
                continue;
            QString text;
            try {
                text = FormatCellValue(m_cursor, j, QString());
            } catch (const data::DbError&) {
                text = QStringLiteral("*");
            }
            const QStringList lines = cellLines(text, painter.font(), place.width, lineHeight);
            painter.drawText(QRect(place.x + 2, rowTop + place.band * lineHeight, place.width, lineHeight),
                Qt::AlignCenter | (lines.size() == 1 ? Qt::TextSingleLine : 0),
                lines.join(QLatin1Char('\n')));
        }
        m_cursor.MoveNext();
        ++rowsDrawn;
    }
    m_drawnRows = { y1 + g.tabHead, g.rowHeight, rowsDrawn };
    const int pageStep = m_cursor.EndOfFile() ? g.rowsPerPage(bottom) : rowsDrawn;
    for (int i = 0; i < rowsDrawn; ++i) {
        try {
            m_cursor.MovePrevious();
        } catch (const data::DbError&) {
        }
    }
    painter.drawLine(2, bottom - 1, right - 2, bottom - 1);
    painter.restore();
    return pageStep;
}

} // namespace glimora::query
