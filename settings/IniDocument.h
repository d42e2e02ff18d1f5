#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace glimora::settings {

// The text of one settings file in the Windows profile format, read and edited line by
// line so that a write keeps every other line, comment and the order of the file.
class IniDocument
{
public:
    enum class Encoding { Utf8, Gbk };

    // Decodes each line by its own bytes: UTF-8, or GBK (GB18030 where GBK cannot read it)
    // when the line is not UTF-8 or reads as UTF-8 only as characters short GBK texts turn
    // into. A file with a GBK line is a GBK file.
    static IniDocument fromBytes(const QByteArray& bytes);
    // Lines that were not written come back byte for byte. Written lines are in the file's
    // encoding where it holds them and they read back unchanged; otherwise in GB18030 or
    // UTF-8, never with characters replaced.
    QByteArray toBytes() const;

    Encoding encoding() const { return m_encoding; }

    // The value after the first "=", blanks around it removed; a null string when the
    // section or key is missing. Names match case-insensitively; the first match wins.
    QString value(const QString& section, const QString& key) const;

    // Replaces the line of the key, or appends the key to its section, or the section
    // to the end of the document. Line breaks in the value are written as blanks.
    void setValue(const QString& section, const QString& key, const QString& value);

private:
    struct KeyLine
    {
        qsizetype index = -1;
        QString value;
    };
    // Index of the line "[section]", or -1.
    qsizetype findSection(const QString& section) const;
    // One past the last line that belongs to the section starting at sectionIndex.
    qsizetype sectionEnd(qsizetype sectionIndex) const;
    KeyLine findKey(qsizetype sectionIndex, const QString& key) const;
    qsizetype insertionPoint(qsizetype sectionIndex) const;

    struct Line
    {
        QString text;
        QByteArray raw; // the bytes read, terminator excluded; null once written
        QByteArray terminator; // as read; empty for a last line without one
        bool written = false;
    };
    QByteArray encode(const QString& text) const;

    QList<Line> m_lines;
    QString m_lineEnding = QStringLiteral("\n");
    Encoding m_encoding = Encoding::Utf8;
    bool m_hasBom = false;
};

} // namespace glimora::settings
