#include "engine/workbook/XlsxReader.h"

#include "engine/workbook/ExcelDate.h"
#include "engine/workbook/NumberFormat.h"
#include "engine/workbook/SheetTableBuilder.h"

#include <charconv>
#include <limits>
#include <optional>
#include <QDir>
#include <QStringDecoder>
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

std::string_view trimmed(std::string_view text)
{
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

// A whole decimal number, as a row number or a style index is written.
bool parseInteger(std::string_view text, qint64& value)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// A number as a general XML reader would read it (a string that C++ cannot read goes to Qt).
bool parseNumber(std::string_view text, double& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (!text.empty() && error == std::errc() && end == text.data() + text.size())
        return true;
    bool ok = false;
    value = QString::fromUtf8(text.data(), qsizetype(text.size())).toDouble(&ok);
    return ok;
}

// Splits a reference such as "AB12" into a column and row counted from 0.
bool parseCellReference(std::string_view reference, int& column, qint64& row)
{
    size_t i = 0;
    qint64 columnNumber = 0;
    for (; i < reference.size() && i < 4; ++i) {
        const char letter = reference[i];
        if (letter >= 'a' && letter <= 'z')
            columnNumber = columnNumber * 26 + (letter - 'a' + 1);
        else if (letter >= 'A' && letter <= 'Z')
            columnNumber = columnNumber * 26 + (letter - 'A' + 1);
        else
            break;
    }
    qint64 rowNumber = 0;
    if (i == 0 || !parseInteger(reference.substr(i), rowNumber) || rowNumber < 1 || columnNumber < 1
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

// The same for UTF-8 text; most texts hold no "_x" and pass untouched.
const std::string& decodeEscapes(const std::string& text, std::string& decoded)
{
    if (text.find("_x") == std::string::npos)
        return text;
    const QByteArray bytes = decodeEscapes(QString::fromUtf8(text.data(), qsizetype(text.size()))).toUtf8();
    decoded.assign(bytes.constData(), size_t(bytes.size()));
    return decoded;
}

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

XlsxReader::XlsxReader(const QString& path, ZipPackage::Limits limits)
    : m_path(path)
    , m_package(path, limits)
{
}

WorkbookTable XlsxReader::read(const QString& sheetName, bool headerRow)
{
    SheetTableBuilder builder(m_path);
    read(sheetName, builder);
    return builder.finish(headerRow);
}

void XlsxReader::read(const QString& sheetName, SheetCells& cells)
{
    const QString workbookPart = findWorkbookPart();
    const QString sheetPart = findSheetPart(workbookPart, sheetName);
    for (const Relationship& relationship : readRelationships(workbookPart)) {
        if (relationship.type.endsWith(sharedStringsType))
            readSharedStrings(relationship.target);
        else if (relationship.type.endsWith(stylesType))
            readStyles(relationship.target);
    }
    readSheet(sheetPart, cells);
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

void XlsxReader::scanPart(
    const QString& part, const std::function<void(XmlScanner&, XmlScanner::Token)>& onToken)
{
    XmlScanner scanner(m_path, part);
    // XML may come in UTF-16 too, told by its byte order mark; the scanner reads UTF-8.
    std::optional<QStringDecoder> utf16;
    bool first = true;
    m_package.readChunks(part, [&](QByteArrayView chunk) {
        if (first && chunk.size() >= 2 && (chunk.startsWith("\xFF\xFE") || chunk.startsWith("\xFE\xFF")))
            utf16.emplace(chunk.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        first = false;
        if (utf16) {
            const QByteArray utf8 = QString(utf16->decode(chunk)).toUtf8();
            scanner.append(std::string_view(utf8.constData(), size_t(utf8.size())));
        } else {
            scanner.append(std::string_view(chunk.data(), size_t(chunk.size())));
        }
        for (XmlScanner::Token token = scanner.next(); token != XmlScanner::Token::NeedMore;
             token = scanner.next())
            onToken(scanner, token);
    });
    scanner.finish();
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
    std::string text;
    std::string decoded;
    int phoneticDepth = 0; // furigana runs (<rPh>) are not part of the text
    bool inText = false;
    scanPart(part, [&](XmlScanner& xml, XmlScanner::Token token) {
        const std::string_view name = xml.name();
        if (token == XmlScanner::Token::StartElement) {
            if (name == "si") {
                text.clear();
                if (xml.selfClosing())
                    m_sharedStrings.push_back(std::string());
            } else if (name == "rPh" && !xml.selfClosing()) {
                ++phoneticDepth;
            } else if (name == "t" && phoneticDepth == 0 && !xml.selfClosing()) {
                inText = true;
            }
        } else if (token == XmlScanner::Token::Text) {
            if (inText)
                xml.appendText(text);
        } else if (token == XmlScanner::Token::EndElement) {
            if (name == "t")
                inText = false;
            else if (name == "rPh")
                --phoneticDepth;
            else if (name == "si")
                m_sharedStrings.push_back(decodeEscapes(text, decoded));
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

void XlsxReader::readSheet(const QString& part, SheetCells& cells)
{
    qint64 row = -1;
    int nextColumn = 0;
    int column = 0;
    CellType type = CellType::Number;
    int style = 0;
    std::string text;
    std::string attribute;
    bool hasValue = false;
    bool inValue = false;
    bool inInlineString = false;
    int phoneticDepth = 0;

    auto endCell = [&]() {
        if (row < 0)
            throw WorkbookError::damaged(m_path, QStringLiteral("a cell lies outside any row"));
        if (hasValue)
            handCell(cells, row, column, type, style, text);
        nextColumn = column + 1;
    };

    scanPart(part, [&](XmlScanner& xml, XmlScanner::Token token) {
        const std::string_view name = xml.name();
        if (token == XmlScanner::Token::StartElement) {
            if (name == "c") {
                attribute.clear();
                qint64 cellRow = row;
                column = nextColumn;
                if (xml.attribute("r", attribute) && !attribute.empty()
                    && !parseCellReference(attribute, column, cellRow))
                    throw WorkbookError::damaged(
                        m_path, QStringLiteral("bad cell reference %1").arg(toQString(attribute)));
                if (cellRow != row)
                    throw WorkbookError::damaged(
                        m_path, QStringLiteral("cell %1 outside its row").arg(toQString(attribute)));
                attribute.clear();
                xml.attribute("t", attribute);
                type = cellTypeOf(attribute);
                attribute.clear();
                qint64 styleNumber = 0;
                style = xml.attribute("s", attribute) && parseInteger(attribute, styleNumber)
                        && styleNumber >= 0 && styleNumber <= std::numeric_limits<int>::max()
                    ? int(styleNumber)
                    : 0;
                text.clear(); // keeps its buffer for the next cell
                hasValue = false;
                if (xml.selfClosing())
                    endCell();
            } else if (name == "v") {
                inValue = !xml.selfClosing();
                hasValue = true;
            } else if (name == "row") {
                attribute.clear();
                qint64 number = 0;
                if (!xml.attribute("r", attribute) || attribute.empty())
                    number = row + 2;
                else if (!parseInteger(attribute, number))
                    number = 0;
                row = number - 1;
                if (row < 0)
                    throw WorkbookError::damaged(m_path, QStringLiteral("a row has no valid number"));
                nextColumn = 0;
            } else if (name == "is") {
                inInlineString = !xml.selfClosing();
                hasValue = true;
            } else if (name == "rPh") {
                if (!xml.selfClosing())
                    ++phoneticDepth;
            } else if (name == "t" && inInlineString && phoneticDepth == 0) {
                inValue = !xml.selfClosing();
            }
        } else if (token == XmlScanner::Token::Text) {
            if (inValue)
                xml.appendText(text);
        } else {
            if (name == "v" || name == "t") {
                inValue = false;
            } else if (name == "c") {
                endCell();
            } else if (name == "is") {
                inInlineString = false;
            } else if (name == "rPh") {
                --phoneticDepth;
            }
        }
    });
}

XlsxReader::CellType XlsxReader::cellTypeOf(std::string_view attribute)
{
    if (attribute.empty() || attribute == "n")
        return CellType::Number;
    if (attribute == "s")
        return CellType::SharedString;
    if (attribute == "inlineStr")
        return CellType::InlineString;
    if (attribute == "str")
        return CellType::FormulaString;
    if (attribute == "b")
        return CellType::Boolean;
    if (attribute == "e")
        return CellType::Error;
    if (attribute == "d")
        return CellType::Date;
    return CellType::Number;
}

void XlsxReader::handCell(
    SheetCells& cells, qint64 row, int column, CellType type, int style, const std::string& text)
{
    if (type == CellType::SharedString) {
        qint64 index = 0;
        if (!parseInteger(text, index) || index < 0 || size_t(index) >= m_sharedStrings.size())
            throw WorkbookError::damaged(m_path, QStringLiteral("a cell names a missing shared text"));
        cells.text(row, column, m_sharedStrings[size_t(index)]);
        return;
    }
    if (type == CellType::InlineString || type == CellType::FormulaString) {
        cells.text(row, column, decodeEscapes(text, m_decoded));
        return;
    }
    if (type == CellType::Error)
        return;
    if (type == CellType::Date) {
        // Read on UTC when the text names no offset: the desktop's zone may skip its hour.
        const QString iso = toQString(trimmed(text));
        QDateTime dateTime = iso.size() == 10
            ? QDateTime(QDate::fromString(iso, Qt::ISODate), QTime(0, 0), Qt::UTC)
            : QDateTime::fromString(iso + QLatin1Char('Z'), Qt::ISODateWithMs);
        if (!dateTime.isValid())
            dateTime = QDateTime::fromString(iso, Qt::ISODateWithMs);
        if (!dateTime.isValid()) {
            cells.text(row, column, text);
            return;
        }
        // The wall-clock time as written, whatever offset it names.
        cells.dateTime(row, column, QDateTime(dateTime.date(), dateTime.time(), Qt::UTC).toMSecsSinceEpoch());
        return;
    }
    const std::string_view digits = trimmed(text);
    double number = 0;
    if (!parseNumber(digits, number)) {
        if (!digits.empty())
            cells.text(row, column, text);
        return;
    }
    if (type == CellType::Boolean) {
        cells.number(row, column, number != 0.0 ? 1.0 : 0.0);
        return;
    }
    if (style >= 0 && style < m_dateStyles.size() && m_dateStyles.at(style)) {
        const QDateTime dateTime = ExcelDate::fromSerial(number, m_date1904);
        if (dateTime.isValid()) {
            cells.dateTime(row, column, dateTime.toMSecsSinceEpoch());
            return;
        }
    }
    cells.number(row, column, number);
}

} // namespace glimora::engine
