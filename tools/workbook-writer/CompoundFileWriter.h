#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Writes a compound file (version 3, 512-byte sectors) holding streams in its root storage:
// streams under the cut-off go to the mini stream, and a FAT of more than 109 sectors is
// continued in DIFAT sectors, as a large Excel file has it. Tests and the benchmark use it
// to build .xls files byte by byte.
class CompoundFileWriter
{
public:
    void addStream(const QString& name, const QByteArray& content);
    QByteArray write() const;

private:
    struct Stream
    {
        QString name;
        QByteArray content;
    };
    QList<Stream> m_streams;
};
