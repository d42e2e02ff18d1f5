#include "settings/IniDocument.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace glimora::app {

namespace {

const QByteArray utf8Bom("\xEF\xBB\xBF");

bool isSectionLine(const QString& line, QString* name = nullptr)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return false;
    const qsizetype close = trimmed.indexOf(u']');
    if (close < 0)
        return false;
    if (name)
        *name = trimmed.mid(1, close - 1).trimmed();
    return true;
}

// Splits "key = value" at the first "="; false for lines that hold no key.
bool splitKeyLine(const QString& line, QString& key, QString& value)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u';'))
        return false;
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return false;
    key = line.left(equals).trimmed();
    value = line.mid(equals + 1).trimmed();
    return true;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
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

    QString text;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = utf8.decode(content);
    if (utf8.hasError()) {
        QStringDecoder gbk("GBK");
        text = gbk.decode(content);
        document.m_encoding = Encoding::Gbk;
    }

    if (text.contains(QLatin1String("\r\n")))
        document.m_lineEnding = QStringLiteral("\r\n");
    document.m_endsWithNewline = text.isEmpty() || text.endsWith(u'\n');
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    if (!text.isEmpty()) {
        document.m_lines = text.split(u'\n');
        if (document.m_endsWithNewline)
            document.m_lines.removeLast();
    }
    return document;
}

QByteArray IniDocument::toBytes() const
{
    QString text = m_lines.join(m_lineEnding);
    if (!m_lines.isEmpty() && m_endsWithNewline)
        text += m_lineEnding;
    if (m_encoding == Encoding::Gbk) {
        QStringEncoder gbk("GBK");
        return gbk.encode(text);
    }
    QByteArray bytes = text.toUtf8();
    if (m_hasBom)
        bytes.prepend(utf8Bom);
    return bytes;
}

qsizetype IniDocument::findSection(const QString& section) const
{
    QString name;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (isSectionLine(m_lines[i], &name) && sameName(name, section))
            return i;
    }
    return -1;
}

qsizetype IniDocument::sectionEnd(qsizetype sectionIndex) const
{
    qsizetype i = sectionIndex + 1;
    while (i < m_lines.size() && !isSectionLine(m_lines[i]))
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
        if (splitKeyLine(m_lines[i], name, value) && sameName(name, key.trimmed()))
            return { i, value };
    }
    return {};
}

// New keys go after the last non-blank line of their section, so that a blank line
// separating it from the next section stays where it is.
qsizetype IniDocument::insertionPoint(qsizetype sectionIndex) const
{
    qsizetype point = sectionEnd(sectionIndex);
    while (point > sectionIndex + 1 && m_lines[point - 1].trimmed().isEmpty())
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
    const QString line = key + u'=' + oneLine;
    const qsizetype sectionIndex = findSection(section);
    if (sectionIndex < 0) {
        m_lines.append(u'[' + section + u']');
        m_lines.append(line);
        m_endsWithNewline = true;
        return;
    }
    const KeyLine existing = findKey(sectionIndex, key);
    if (existing.index >= 0)
        m_lines[existing.index] = line;
    else
        m_lines.insert(insertionPoint(sectionIndex), line);
}

} // namespace glimora::app
