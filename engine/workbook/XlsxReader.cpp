#include "engine/workbook/XlsxReader.h"

#include "engine/workbook/ExcelDate.h"
#include "engine/workbook/NumberFormat.h"
#include "engine/workbook/SheetTableBuilder.h"

#include <QDir>
#include <QXmlStreamReader>

namespace glimora::engine {

using glimora::data::Variant;

namespace {

const QString officeDocumentType = QStringLiteral("/officeDocument");
const QString sharedStringsType = QStringLiteral("/sharedStrings");
const QString stylesType = QStringLiteral("/styles");

QString relationshipsPartOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

QString resolveTarget(const QString& sourcePart, const QString& target)
{
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target).mid(1);
    const QString folder = sourcePart.left(sourcePart.lastIndexOf(QLatin1Char('/')) + 1);
    return QDir::cleanPath(QLatin1Char('/') + folder + target).mid(1);
}

// "r:id" of a sheet element; its prefix may be any name bound to the relationships namespace.
QString relationshipIdOf(const QXmlStreamAttributes& attributes)
{
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty())
            return attribute.value().toString();
    }
    return {};
}

bool isTrue(QStringView value)
{
    return value == u"1" || value == u"true";
}

// Splits a reference such as "AB12" into a column and row counted from 0.
bool parseCellReference(QStringView reference, int& column, qint64& row)
{
    qsizetype i = 0;
    qint64 columnNumber = 0;
    for (; i < reference.size() && reference.at(i).isLetter() && i < 4; ++i)
        columnNumber = columnNumber * 26 + (reference.at(i).toUpper().unicode() - 'A' + 1);
    bool ok = false;
    const qint64 rowNumber = reference.mid(i).toLongLong(&ok);
    if (i == 0 || !ok || rowNumber < 1 || columnNumber < 1
        || columnNumber > SheetTableBuilder::maximumColumns)
        return false;
    column = int(columnNumber - 1);
    row = rowNumber - 1;
    return true;
}

// Excel writes characters that XML cannot hold (a carriage return, control characters) as
// _xHHHH_, and a literal "_x" that would read as such an escape as _x005F_x.
QString decodeEscapes(const QString& text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    auto hexDigit = [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'_' && i + 6 < text.size() && text.at(i + 1) == u'x' && text.at(i + 6) == u'_'
            && hexDigit(text.at(i + 2)) && hexDigit(text.at(i + 3)) && hexDigit(text.at(i + 4))
            && hexDigit(text.at(i + 5))) {
            result += QChar(char16_t(QStringView(text).mid(i + 2, 4).toUShort(nullptr, 16)));
            i += 6;
        } else {
            result += text.at(i);
        }
    }
    return result;
}

} // namespace

XlsxReader::XlsxReader(const QString& path, ZipPackage::Limits limits)
    : m_path(path)
    , m_package(path, limits)
{
}

WorkbookTable XlsxReader::read(const QString& sheetName, bool headerRow)
{
    const QString workbookPart = findWorkbookPart();
    const QString sheetPart = findSheetPart(workbookPart, sheetName);
    for (const Relationship& relationship : readRelationships(workbookPart)) {
        if (relationship.type.endsWith(sharedStringsType))
            readSharedStrings(relationship.target);
        else if (relationship.type.endsWith(stylesType))
            readStyles(relationship.target);
    }
    SheetTableBuilder builder(m_path);
    readSheet(sheetPart, builder);
    return builder.finish(headerRow);
}

void XlsxReader::parsePart(const QString& part, const std::function<void(QXmlStreamReader&)>& onToken)
{
    QXmlStreamReader xml;
    bool finished = false;
    auto parseAvailable = [&]() {
        while (!finished) {
            xml.readNext();
            if (xml.hasError()) {
                if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                    return;
                throw WorkbookError::damaged(m_path, QStringLiteral("%1: %2").arg(part, xml.errorString()));
            }
            if (xml.tokenType() == QXmlStreamReader::DTD)
                throw WorkbookError::damaged(m_path, QStringLiteral("%1 declares a document type").arg(part));
            if (xml.tokenType() == QXmlStreamReader::EndDocument)
                finished = true;
            else
                onToken(xml);
        }
    };
    m_package.readChunks(part, [&](QByteArrayView chunk) {
        xml.addData(chunk.toByteArray());
        parseAvailable();
    });
    if (!finished)
        throw WorkbookError::damaged(m_path, QStringLiteral("%1 ends too early").arg(part));
}

QHash<QString, XlsxReader::Relationship> XlsxReader::readRelationships(const QString& part)
{
    QHash<QString, Relationship> relationships;
    const QString relationshipsPart = relationshipsPartOf(part);
    if (!m_package.contains(relationshipsPart))
        return relationships;
    parsePart(relationshipsPart, [&](QXmlStreamReader& xml) {
        if (xml.isStartElement() && xml.name() == u"Relationship") {
            const QXmlStreamAttributes attributes = xml.attributes();
            if (attributes.value(QLatin1StringView("TargetMode")) == u"External")
                return;
            relationships.insert(attributes.value(QLatin1StringView("Id")).toString(),
                { attributes.value(QLatin1StringView("Type")).toString(),
                    resolveTarget(part, attributes.value(QLatin1StringView("Target")).toString()) });
        }
    });
    return relationships;
}

QString XlsxReader::findWorkbookPart()
{
    // The package's own relationships live in "_rels/.rels", those of the part "" as it were.
    for (const Relationship& relationship : readRelationships(QString())) {
        if (!relationship.type.endsWith(officeDocumentType))
            continue;
        // An .xlsb workbook keeps its parts in a binary form this reader does not know.
        if (!relationship.target.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
            throw WorkbookError::notAWorkbook(m_path);
        return relationship.target;
    }
    if (m_package.contains(QStringLiteral("xl/workbook.xml")))
        return QStringLiteral("xl/workbook.xml");
    throw WorkbookError::notAWorkbook(m_path);
}

QString XlsxReader::findSheetPart(const QString& workbookPart, const QString& sheetName)
{
    QString relationshipId;
    bool found = false;
    parsePart(workbookPart, [&](QXmlStreamReader& xml) {
        if (!xml.isStartElement())
            return;
        if (xml.name() == u"workbookPr") {
            m_date1904 = isTrue(xml.attributes().value(QLatin1StringView("date1904")));
        } else if (xml.name() == u"sheet" && !found
            && xml.attributes().value(QLatin1StringView("name")).compare(sheetName, Qt::CaseInsensitive)
                == 0) {
            found = true;
            relationshipId = relationshipIdOf(xml.attributes());
        }
    });
    if (!found)
        throw WorkbookError::missingSheet(m_path, sheetName);
    const QHash<QString, Relationship> relationships = readRelationships(workbookPart);
    const auto relationship = relationships.constFind(relationshipId);
    if (relationship == relationships.constEnd())
        throw WorkbookError::damaged(m_path, QStringLiteral("the worksheet %1 has no part").arg(sheetName));
    return relationship->target;
}

void XlsxReader::readSharedStrings(const QString& part)
{
    QString text;
    int phoneticDepth = 0; // furigana runs (<rPh>) are not part of the text
    bool inText = false;
    parsePart(part, [&](QXmlStreamReader& xml) {
        if (xml.isStartElement()) {
            if (xml.name() == u"si")
                text.clear();
            else if (xml.name() == u"rPh")
                ++phoneticDepth;
            else if (xml.name() == u"t" && phoneticDepth == 0)
                inText = true;
        } else if (xml.isCharacters()) {
            if (inText)
                text += xml.text();
        } else if (xml.isEndElement()) {
            if (xml.name() == u"t")
                inText = false;
            else if (xml.name() == u"rPh")
                --phoneticDepth;
            else if (xml.name() == u"si")
                m_sharedStrings.append(decodeEscapes(text));
        }
    });
}

void XlsxReader::readStyles(const QString& part)
{
    QHash<int, QString> customFormats;
    QList<int> cellFormats;
    bool inCellFormats = false;
    parsePart(part, [&](QXmlStreamReader& xml) {
        if (xml.isStartElement()) {
            if (xml.name() == u"numFmt")
                customFormats.insert(xml.attributes().value(QLatin1StringView("numFmtId")).toInt(),
                    xml.attributes().value(QLatin1StringView("formatCode")).toString());
            else if (xml.name() == u"cellXfs")
                inCellFormats = true;
            else if (xml.name() == u"xf" && inCellFormats)
                cellFormats.append(xml.attributes().value(QLatin1StringView("numFmtId")).toInt());
        } else if (xml.isEndElement() && xml.name() == u"cellXfs") {
            inCellFormats = false;
        }
    });
    m_dateStyles.clear();
    for (int formatId : std::as_const(cellFormats)) {
        const auto custom = customFormats.constFind(formatId);
        m_dateStyles.append(custom != customFormats.constEnd() ? NumberFormat::isDateCode(*custom)
                                                               : NumberFormat::isBuiltInDate(formatId));
    }
}

void XlsxReader::readSheet(const QString& part, SheetTableBuilder& builder)
{
    qint64 row = -1;
    int nextColumn = 0;
    int column = 0;
    CellType type = CellType::Number;
    int style = 0;
    QString text;
    bool hasValue = false;
    bool inValue = false;
    bool inInlineString = false;
    int phoneticDepth = 0;

    parsePart(part, [&](QXmlStreamReader& xml) {
        if (xml.isStartElement()) {
            const QStringView name = xml.name();
            if (name == u"row") {
                const QStringView number = xml.attributes().value(QLatin1StringView("r"));
                bool ok = true;
                row = number.isEmpty() ? row + 1 : number.toLongLong(&ok) - 1;
                if (!ok || row < 0)
                    throw WorkbookError::damaged(m_path, QStringLiteral("a row has no valid number"));
                nextColumn = 0;
            } else if (name == u"c") {
                const QXmlStreamAttributes attributes = xml.attributes();
                const QStringView reference = attributes.value(QLatin1StringView("r"));
                qint64 cellRow = row;
                column = nextColumn;
                if (!reference.isEmpty() && !parseCellReference(reference, column, cellRow))
                    throw WorkbookError::damaged(
                        m_path, QStringLiteral("bad cell reference %1").arg(reference));
                if (cellRow != row)
                    throw WorkbookError::damaged(
                        m_path, QStringLiteral("cell %1 outside its row").arg(reference));
                type = cellTypeOf(attributes.value(QLatin1StringView("t")));
                style = attributes.value(QLatin1StringView("s")).toInt();
                text.resize(0); // keeps its buffer for the next cell
                hasValue = false;
            } else if (name == u"v") {
                inValue = true;
                hasValue = true;
            } else if (name == u"is") {
                inInlineString = true;
                hasValue = true;
            } else if (name == u"rPh") {
                ++phoneticDepth;
            } else if (name == u"t" && inInlineString && phoneticDepth == 0) {
                inValue = true;
            }
        } else if (xml.isCharacters()) {
            if (inValue)
                text += xml.text();
        } else if (xml.isEndElement()) {
            const QStringView name = xml.name();
            if (name == u"v" || name == u"t") {
                inValue = false;
            } else if (name == u"is") {
                inInlineString = false;
            } else if (name == u"rPh") {
                --phoneticDepth;
            } else if (name == u"c") {
                if (row < 0)
                    throw WorkbookError::damaged(m_path, QStringLiteral("a cell lies outside any row"));
                if (hasValue)
                    builder.setCell(row, column, cellValue(type, style, text));
                nextColumn = column + 1;
            }
        }
    });
}

XlsxReader::CellType XlsxReader::cellTypeOf(QStringView attribute)
{
    if (attribute.isEmpty() || attribute == u"n")
        return CellType::Number;
    if (attribute == u"s")
        return CellType::SharedString;
    if (attribute == u"inlineStr")
        return CellType::InlineString;
    if (attribute == u"str")
        return CellType::FormulaString;
    if (attribute == u"b")
        return CellType::Boolean;
    if (attribute == u"e")
        return CellType::Error;
    if (attribute == u"d")
        return CellType::Date;
    return CellType::Number;
}

Variant XlsxReader::cellValue(CellType type, int style, const QString& text) const
{
    if (type == CellType::SharedString) {
        bool ok = false;
        const qsizetype index = text.toLongLong(&ok);
        if (!ok || index < 0 || index >= m_sharedStrings.size())
            throw WorkbookError::damaged(m_path, QStringLiteral("a cell names a missing shared text"));
        return Variant::fromString(m_sharedStrings.at(index));
    }
    if (type == CellType::InlineString || type == CellType::FormulaString)
        return Variant::fromString(decodeEscapes(text));
    if (type == CellType::Error)
        return Variant::null();
    if (type == CellType::Date) {
        QDateTime dateTime = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
        if (!dateTime.isValid())
            return Variant::fromString(text);
        if (dateTime.timeSpec() == Qt::LocalTime)
            dateTime = QDateTime(dateTime.date(), dateTime.time(), Qt::UTC);
        return Variant::fromDateTime(dateTime);
    }
    bool ok = false;
    const QStringView digits = QStringView(text).trimmed();
    const double number = digits.toDouble(&ok);
    if (!ok)
        return digits.isEmpty() ? Variant::null() : Variant::fromString(text);
    if (type == CellType::Boolean)
        return Variant::fromDouble(number != 0.0 ? 1.0 : 0.0);
    if (style >= 0 && style < m_dateStyles.size() && m_dateStyles.at(style)) {
        const QDateTime dateTime = ExcelDate::fromSerial(number, m_date1904);
        if (dateTime.isValid())
            return Variant::fromDateTime(dateTime);
    }
    return Variant::fromDouble(number);
}

} // namespace glimora::engine
