#include "maintenance/XlsxRecordWriter.h"

#include "maintenance/ExportedValue.h"

#include <QDateTime>
#include <QIODevice>

#include <charconv>
#include <cmath>
#include <utility>

namespace glimora::maintenance {

namespace {

constexpr qsizetype FlushAt = 1 << 20;
// Digits that a spreadsheet's double keeps exactly.
constexpr int ExactDigits = 15;

const char contentTypes[]
    = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
      "<Override PartName=\"/xl/workbook.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
      "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
      "<Override PartName=\"/xl/styles.xml\" "
      "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
      "</Types>";

const char packageRelationships[]
    = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
      "Target=\"xl/workbook.xml\"/></Relationships>";

const char workbookRelationships[]
    = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
      "Target=\"worksheets/sheet1.xml\"/>"
      "<Relationship Id=\"rId2\" "
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
      "Target=\"styles.xml\"/></Relationships>";

// Style 1 shows a date and time.
const char styles[]
    = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
      "<numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\"yyyy-mm-dd hh:mm:ss\"/></numFmts>"
      "<fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font></fonts>"
      "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
      "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
      "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
      "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
      "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
      "</cellXfs></styleSheet>";

const char sheetStart[]
    = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
      "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";

const char sheetEnd[] = "</sheetData></worksheet>";

QByteArray escapedAttribute(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

bool isHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// "_x" with four hex digits and "_" is how a sheet writes a character XML cannot hold.
bool looksLikeEscape(const QString& text, qsizetype i)
{
    return i + 6 < text.size() && text.at(i + 1) == u'x' && text.at(i + 6) == u'_' && isHex(text.at(i + 2))
        && isHex(text.at(i + 3)) && isHex(text.at(i + 4)) && isHex(text.at(i + 5));
}

void appendColumnName(QByteArray& out, int column)
{
    char letters[4];
    int count = 0;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        letters[count++] = char('A' + (n - 1) % 26);
    while (count > 0)
        out.append(letters[--count]);
}

int significantDigits(QByteArrayView digits)
{
    qsizetype first = 0;
    while (first < digits.size() && (digits[first] == '0' || digits[first] == '.' || digits[first] == '-'))
        ++first;
    int count = 0;
    for (qsizetype i = first; i < digits.size(); ++i) {
        if (digits[i] >= '0' && digits[i] <= '9')
            ++count;
    }
    return count;
}

// The serial day number of a wall-clock time; false before 1 March 1900, where the
// spreadsheets' calendar counts a day that never was.
bool serialOf(const QDateTime& value, double& serial)
{
    static const QDate epoch(1899, 12, 30);
    const qint64 days = epoch.daysTo(value.date());
    if (days < 61)
        return false;
    serial = double(days) + double(value.time().msecsSinceStartOfDay()) / 86'400'000.0;
    return true;
}

} // namespace

XlsxRecordWriter::XlsxRecordWriter(QIODevice& device, const QString& sheetName)
    : m_zip(device)
    , m_sheetName(sheetName)
{
    m_buffer.reserve(FlushAt + 64 * 1024);
}

QString XlsxRecordWriter::errorString() const
{
    return m_error.isEmpty() ? m_zip.errorString() : m_error;
}

bool XlsxRecordWriter::writeHeader(const QStringList& captions)
{
    const QByteArray workbook
        = QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                     "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                     "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                     "<sheets><sheet name=\"")
        + escapedAttribute(m_sheetName) + "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    if (!m_zip.addPart("[Content_Types].xml", contentTypes)
        || !m_zip.addPart("_rels/.rels", packageRelationships) || !m_zip.addPart("xl/workbook.xml", workbook)
        || !m_zip.addPart("xl/_rels/workbook.xml.rels", workbookRelationships)
        || !m_zip.addPart("xl/styles.xml", styles) || !m_zip.beginPart("xl/worksheets/sheet1.xml"))
        return false;
    m_buffer.append(sheetStart);
    m_buffer.append("<row r=\"1\">");
    for (const QString& caption : captions) {
        m_buffer.append("<c t=\"inlineStr\"><is><t");
        appendText(caption);
        m_buffer.append("</t></is></c>");
    }
    m_buffer.append("</row>");
    return true;
}

// The text of a <t> element, from just after its name.
void XlsxRecordWriter::appendText(const QString& text)
{
    if (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()))
        m_buffer.append(" xml:space=\"preserve\"");
    m_buffer.append('>');
    qsizetype plainFrom = 0;
    const auto plainUpTo = [&](qsizetype i) {
        if (i > plainFrom)
            m_buffer.append(QStringView(text).sliced(plainFrom, i - plainFrom).toUtf8());
        plainFrom = i + 1;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c == u'&') {
            plainUpTo(i);
            m_buffer.append("&amp;");
        } else if (c == u'<') {
            plainUpTo(i);
            m_buffer.append("&lt;");
        } else if (c == u'>') {
            plainUpTo(i);
            m_buffer.append("&gt;");
        } else if (c == u'\r') {
            // A bare CR would be read as a line end and turned into LF.
            plainUpTo(i);
            m_buffer.append("&#13;");
        } else if ((c < 0x20 && c != u'\t' && c != u'\n') || c == 0xFFFE || c == 0xFFFF) {
            plainUpTo(i);
            char escape[8];
            std::snprintf(escape, sizeof escape, "_x%04X_", unsigned(c));
            m_buffer.append(escape, 7);
        } else if (c == u'_' && looksLikeEscape(text, i)) {
            plainUpTo(i);
            m_buffer.append("_x005F_");
        }
    }
    plainUpTo(text.size());
}

void XlsxRecordWriter::appendCell(const data::Variant& value)
{
    using Kind = data::Variant::Kind;
    const auto open = [this](const char* attributes) {
        m_buffer.append("<c");
        if (m_gap) {
            m_buffer.append(" r=\"");
            appendColumnName(m_buffer, m_column);
            m_buffer.append(QByteArray::number(m_rows + 1));
            m_buffer.append('"');
            m_gap = false;
        }
        m_buffer.append(attributes);
    };
    const auto text = [&](const QString& content) {
        open(" t=\"inlineStr\"><is><t");
        appendText(content);
        m_buffer.append("</t></is></c>");
    };
    switch (value.kind()) {
    case Kind::Empty:
    case Kind::Null:
    case Kind::Bytes:
        m_gap = true;
        return;
    case Kind::String:
        // An empty text stays a text: it reads back as empty, not as null.
        text(value.toString());
        return;
    case Kind::Boolean:
        open(" t=\"b\"><v>");
        m_buffer.append(value.toBoolean() ? '1' : '0');
        m_buffer.append("</v></c>");
        return;
    case Kind::DateTime: {
        double serial = 0;
        if (!serialOf(value.toDateTime(), serial)) {
            QByteArray written;
            ExportedValue::appendDateTime(written, value.toDateTime());
            text(QString::fromLatin1(written));
            return;
        }
        open(" s=\"1\"><v>");
        char digits[32];
        const auto end = std::to_chars(digits, digits + sizeof digits, serial).ptr;
        m_buffer.append(digits, end - digits);
        m_buffer.append("</v></c>");
        return;
    }
    case Kind::Int16:
    case Kind::Int32:
    case Kind::Int64:
    case Kind::Decimal:
    case Kind::Single:
    case Kind::Double: {
        QByteArray number;
        ExportedValue::append(number, value);
        // A sheet's number is finite: an infinity or NaN in one damages the workbook.
        const bool exact = value.kind() == Kind::Single || value.kind() == Kind::Double
            ? std::isfinite(value.toDouble())
            : significantDigits(number) <= ExactDigits;
        if (!exact) {
            text(QString::fromLatin1(number));
            return;
        }
        open("><v>");
        m_buffer.append(number);
        m_buffer.append("</v></c>");
        return;
    }
    }
}

bool XlsxRecordWriter::writeRow(const QList<data::Variant>& row, const QList<int>& columns)
{
    if (m_rows >= MaximumRecords) {
        if (m_error.isEmpty())
            m_error = QString::fromUtf8("工作表最多容纳 %1 条记录，请导出为 CSV 文件。").arg(MaximumRecords);
        return false;
    }
    ++m_rows;
    m_buffer.append("<row r=\"");
    m_buffer.append(QByteArray::number(m_rows + 1));
    m_buffer.append("\">");
    m_gap = false;
    for (m_column = 0; m_column < columns.size(); ++m_column)
        appendCell(row.at(columns.at(m_column)));
    m_buffer.append("</row>");
    return m_buffer.size() < FlushAt ? m_error.isEmpty() : flush();
}

bool XlsxRecordWriter::flush()
{
    if (!m_error.isEmpty() || !m_zip.write(std::exchange(m_buffer, QByteArray())))
        return false;
    m_buffer.reserve(FlushAt + 64 * 1024);
    return true;
}

bool XlsxRecordWriter::finish()
{
    m_buffer.append(sheetEnd);
    return flush() && m_zip.endPart() && m_zip.finish();
}

} // namespace glimora::maintenance
