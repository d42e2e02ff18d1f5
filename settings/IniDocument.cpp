#include "settings/IniDocument.h"

#include "settings/AsciiBlanks.h"

#include <optional>
#include <QStringDecoder>
#include <QStringEncoder>
#include <stdexcept>

namespace glimora::settings {

namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF");

bool isSectionLine(const QString& line, QString* name = nullptr)
{
    const QString trimmed = withoutAsciiBlanks(line);
    if (!trimmed.startsWith(u'['))
        return false;
    const qsizetype close = trimmed.indexOf(u']');
    if (close < 0)
        return false;
    if (name)
        *name = withoutAsciiBlanks(trimmed.mid(1, close - 1));
    return true;
}

// Splits "key = value" at the first "="; false for lines that hold no key.
bool splitKeyLine(const QString& line, QString& key, QString& value)
{
    const QString trimmed = withoutAsciiBlanks(line);
    if (trimmed.isEmpty() || trimmed.startsWith(u';'))
        return false;
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return false;
    // ASCII blanks only, as the old platform cut them: a wider space is part of a value.
    key = withoutAsciiBlanks(line.left(equals));
    value = withoutAsciiBlanks(line.mid(equals + 1));
    return true;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

std::optional<QString> decodeStrictly(const QByteArray& raw, const char* encoding)
{
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(raw);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Characters of UTF-8's two-byte range beyond Latin-1 (and C1 controls): the bytes of short
// GBK Chinese texts that happen to be valid UTF-8 nearly always read as these, while Chinese
// or Latin text written in UTF-8 does not hold them.
bool looksLikeMisreadGbk(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x80 && u <= 0x9F) || (u >= 0x100 && u <= 0x7FF))
            return true;
    }
    return false;
}

// Each line is decoded by its own bytes, never by the rest of the file: otherwise replacing
// the one line that is not UTF-8 would change how every other line reads. GBK lines that
// GBK cannot read are read as GB18030, the standard that extends it.
QString decodeLine(const QByteArray& raw, bool* isUtf8 = nullptr)
{
    const std::optional<QString> utf8 = decodeStrictly(raw, "UTF-8");
    if (isUtf8)
        *isUtf8 = utf8.has_value();
    if (utf8 && !looksLikeMisreadGbk(*utf8))
        return *utf8;
    if (const std::optional<QString> gbk = decodeStrictly(raw, "GBK")) {
        if (isUtf8)
            *isUtf8 = false;
        return *gbk;
    }
    if (utf8)
        return *utf8;
    QStringDecoder gb18030("GB18030", QStringDecoder::Flag::Stateless);
    return gb18030.decode(raw);
}

} // namespace

IniDocument IniDocument::fromBytes(const QByteArray& bytes)
{
    IniDocument document;
    QByteArray content = bytes;
    if (content.startsWith(utf8Bom)) {
        document.m_hasBom = true;
        content.remove(0, utf8Bom.size());
    }

    if (content.contains("\r\n"))
        document.m_lineEnding = QStringLiteral("\r\n");

    // Neither "\n" nor "\r" occurs inside a multi-byte character of UTF-8, GBK or GB18030,
    // so the bytes split into lines before decoding.
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        Line line;
        if (end < 0)
            end = content.size();
        else
            line.terminator = "\n";
        qsizetype textEnd = end;
        if (!line.terminator.isEmpty() && textEnd > start && content[textEnd - 1] == '\r') {
            --textEnd;
            line.terminator = "\r\n";
        }
        line.raw = content.mid(start, textEnd - start);
        if (line.raw.isNull())
            line.raw = QByteArray("");
        bool isUtf8 = true;
        line.text = decodeLine(line.raw, &isUtf8);
        if (!isUtf8)
            document.m_encoding = Encoding::Gbk;
        document.m_lines.append(line);
        start = end + 1;
    }
    return document;
}

QByteArray IniDocument::encode(const QString& text) const
{
    // The file's own encoding first; GB18030 holds all of Unicode where GBK cannot. A line
    // is written only in bytes that read back as the same text.
    const QList<const char*> encodings = m_encoding == Encoding::Utf8
        ? QList<const char*> { "UTF-8", "GBK", "GB18030" }
        : QList<const char*> { "GBK", "GB18030", "UTF-8" };
    for (const char* name : encodings) {
        QStringEncoder encoder(name, QStringEncoder::Flag::Stateless);
        const QByteArray bytes = encoder.encode(text);
        if (!encoder.hasError() && decodeLine(bytes) == text)
            return bytes;
    }
    throw std::invalid_argument("the text cannot be written so that it reads back unchanged");
}

QByteArray IniDocument::toBytes() const
{
    QByteArray bytes;
    if (m_hasBom)
        bytes = utf8Bom;
    const QByteArray lineEnding = m_lineEnding.toLatin1();
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines[i];
        bytes += line.written ? encode(line.text) : line.raw;
        const bool last = i == m_lines.size() - 1;
        if (!line.terminator.isEmpty())
            bytes += line.terminator;
        else if (!last)
            bytes += lineEnding; // the last line of the file no longer is
    }
    return bytes;
}

qsizetype IniDocument::findSection(const QString& section) const
{
    QString name;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (isSectionLine(m_lines[i].text, &name) && sameName(name, section))
            return i;
    }
    return -1;
}

qsizetype IniDocument::sectionEnd(qsizetype sectionIndex) const
{
    qsizetype i = sectionIndex + 1;
    while (i < m_lines.size() && !isSectionLine(m_lines[i].text))
        ++i;
    return i;
}

IniDocument::KeyLine IniDocument::findKey(qsizetype sectionIndex, const QString& key) const
{
    const qsizetype end = sectionEnd(sectionIndex);
    QString name;
    QString value;
    for (qsizetype i = sectionIndex + 1; i < end; ++i) {
        // Blanks around a key are not part of it, in the file or in the asking.
        if (splitKeyLine(m_lines[i].text, name, value) && sameName(name, withoutAsciiBlanks(key)))
            return { i, value };
    }
    return {};
}

// New keys go after the last non-blank line of their section, so that a blank line
// separating it from the next section stays where it is.
qsizetype IniDocument::insertionPoint(qsizetype sectionIndex) const
{
    qsizetype point = sectionEnd(sectionIndex);
    while (point > sectionIndex + 1 && withoutAsciiBlanks(m_lines[point - 1].text).isEmpty())
        --point;
    return point;
}

QString IniDocument::value(const QString& section, const QString& key) const
{
    const qsizetype sectionIndex = findSection(section);
    if (sectionIndex < 0)
        return {};
    const KeyLine line = findKey(sectionIndex, key);
    if (line.index < 0)
        return {};
    return line.value.isNull() ? QStringLiteral("") : line.value;
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value)
{
    // A value is one line of the file: a line break in it would cut the value short and
    // make the rest lines of their own, keys or even sections.
    QString oneLine = value;
    oneLine.replace(QLatin1String("\r\n"), QLatin1String(" "));
    oneLine.replace(u'\r', u' ');
    oneLine.replace(u'\n', u' ');
    Line line;
    line.text = key + u'=' + oneLine;
    line.written = true;
    line.terminator = m_lineEnding.toLatin1();
    // Refused here, before the file is touched, rather than when the document is written.
    encode(line.text);
    const qsizetype sectionIndex = findSection(section);
    if (sectionIndex < 0) {
        Line header;
        header.text = u'[' + section + u']';
        header.written = true;
        header.terminator = line.terminator;
        m_lines.append(header);
        m_lines.append(line);
        return;
    }
    const KeyLine existing = findKey(sectionIndex, key);
    if (existing.index >= 0) {
        // The replaced line keeps its own ending, even the missing one of a last line.
        line.terminator = m_lines[existing.index].terminator;
        m_lines[existing.index] = line;
    } else {
        m_lines.insert(insertionPoint(sectionIndex), line);
    }
}

} // namespace glimora::settings
