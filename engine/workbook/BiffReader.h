#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <stdexcept>

namespace glimora::engine {

class BiffRecordCursor;
class CellMessageWriter;

// Reads one worksheet of a BIFF5 or BIFF8 workbook stream (the "Workbook" or "Book"
// stream of an .xls) and writes its cells as CellMessage cells: texts of every cell kind
// (shared, inline, rich, a formula's text result), numbers, dates told by the cell's
// format as Excel tells them, booleans as 1 and 0; error values are left out, so they
// read as NULL. Everything it reads is checked against the stream's bounds.
class BiffReader
{
public:
    // Why a workbook cannot be read; kind is a CellMessage failure kind.
    class Failure : public std::runtime_error
    {
    public:
        Failure(char kind, const char* detail)
            : std::runtime_error(detail)
            , m_kind(kind)
        {
        }
        char kind() const { return m_kind; }

    private:
        char m_kind;
    };

    explicit BiffReader(QByteArrayView stream);

    // Throws Failure.
    void readSheet(const QString& sheetName, CellMessageWriter& writer);

private:
    struct Record
    {
        quint16 type = 0;
        qsizetype start = 0; // of the payload
        qsizetype length = 0;
    };
    // A formula with a text result is followed by a STRING record holding the text.
    struct PendingString
    {
        bool waiting = false;
        quint16 row = 0;
        quint16 column = 0;
    };
    struct Sheet
    {
        QString name;
        quint32 offset = 0;
    };

    Record recordAt(qsizetype offset) const;
    QByteArrayView payload(const Record& record) const;
    // The record and the CONTINUE records after it; next is set to the record after them.
    BiffRecordCursor continued(const Record& record, qsizetype& next) const;
    void readGlobals();
    void readCells(qsizetype offset, CellMessageWriter& writer);
    // One cell record; offset moves past the CONTINUE records it has.
    void readCell(const Record& record, qsizetype& offset, CellMessageWriter& writer, PendingString& pending);
    void readFormula(QByteArrayView data, CellMessageWriter& writer, PendingString& pending) const;
    QString codePageText(BiffRecordCursor& cursor, quint32 count);
    // A text field of a cell, FORMAT or STRING record in this BIFF version.
    QString recordText(BiffRecordCursor& cursor, bool shortLength = false);
    bool isDateFormat(quint16 xf) const;
    void writeNumber(CellMessageWriter& writer, quint16 row, quint16 column, quint16 xf, double value) const;

    QByteArrayView m_stream;
    bool m_biff8 = true;
    bool m_date1904 = false;
    QStringDecoder m_codePage;
    QList<QByteArray> m_sharedStrings; // UTF-8
    QHash<quint16, QString> m_formats;
    QList<quint16> m_xfFormats;
    QList<bool> m_dateXfs;
    QList<Sheet> m_sheets;
};

} // namespace glimora::engine
