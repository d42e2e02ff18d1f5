#include "query/ReadAloudText.h"

#include "data/DbError.h"
#include "query/ResultPage.h"

#include <QRegularExpression>

namespace glimora::query {

namespace {

const QString Colon = QString::fromUtf8("：");
const QString Comma = QString::fromUtf8("，");
const QString FullStop = QString::fromUtf8("。");

// The page's summary line puts its parts apart by blanks and " : ": a voice needs the pauses.
QStringList summaryParts(const QString& summary)
{
    static const QRegularExpression gap(QStringLiteral("\\s{2,}"));
    QStringList parts;
    for (QString part : summary.split(gap, Qt::SkipEmptyParts)) {
        part = part.trimmed();
        part.replace(QStringLiteral(" : "), Colon);
        if (!part.isEmpty())
            parts << part;
    }
    return parts;
}

} // namespace

QString ReadAloudText::spoken(const QString& value)
{
    static const QRegularExpression date(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})$"));
    const QRegularExpressionMatch match = date.match(value);
    if (!match.hasMatch())
        return value;
    return QString::fromUtf8("%1年%2月%3日")
        .arg(match.captured(1).toInt())
        .arg(match.captured(2).toInt())
        .arg(match.captured(3).toInt());
}

QString ReadAloudText::compose(const QString& summary, const QStringList& captions, const QStringList& values)
{
    QStringList fields;
    for (int i = 0; i < values.size(); ++i) {
        const QString value = values[i].simplified();
        // An unreadable cell shows "*": nothing a voice can say.
        if (value.isEmpty() || value == QStringLiteral("*"))
            continue;
        const QString caption = captions.value(i).simplified();
        fields << (caption.isEmpty() ? spoken(value) : caption + Colon + spoken(value));
    }
    QStringList sentences;
    if (const QStringList parts = summaryParts(summary); !parts.isEmpty())
        sentences << parts.join(Comma) + FullStop;
    if (!fields.isEmpty())
        sentences << fields.join(Comma) + FullStop;
    return sentences.join(QString());
}

QString ReadAloudText::ofRecord(const FieldCatalogue& catalogue, data::Recordset cursor,
    const QString& whereClause, int offset, const QHash<QString, QString>& severalValues)
{
    if (cursor.isNull() || (cursor.BOF() && cursor.EndOfFile()))
        return QString();
    if (cursor.BOF())
        cursor.MoveFirst();
    ResultPage page(catalogue, cursor, whereClause);
    page.setSeveralValues(severalValues);
    const ResultPage::Columns columns = page.columns();
    int moved = 0;
    for (; moved < offset && !cursor.EndOfFile(); ++moved)
        cursor.MoveNext();
    QStringList captions;
    QStringList values;
    if (!cursor.EndOfFile()) {
        for (int j = 0; j < columns.widths.size(); ++j) {
            if (columns.widths[j] == 0)
                continue;
            captions << columns.captions[j];
            try {
                values << ResultPage::FormatCellValue(cursor, j, QString());
            } catch (const data::DbError&) {
                values << QStringLiteral("*");
            }
        }
    }
    // The cursor is the screen's: it goes back to the page's first record.
    for (int i = 0; i < moved; ++i)
        cursor.MovePrevious();
    return compose(columns.summary, captions, values);
}

} // namespace glimora::query
