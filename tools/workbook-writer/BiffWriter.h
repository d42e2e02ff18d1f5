#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Builds the workbook stream of an .xls (BIFF8, or BIFF5 with Latin-1 texts) record by
// record, for tests that need constructs no writer at hand produces on demand, and for the
// import benchmark. Records longer than a BIFF record may be are continued in CONTINUE
// records; texts split across them restate their compression, per part.
class BiffWriter
{
public:
    explicit BiffWriter(int version = 8);

    void addGlobal(quint16 type, const QByteArray& payload);
    // Shared strings in SST and CONTINUE records of at most maximumRecord bytes.
    void addSharedStrings(const QStringList& strings, int maximumRecord = 8224);
    void addSheet(const QString& name);
    // A record of the sheet added last.
    void addCell(quint16 type, const QByteArray& payload);
    // A record of fixed fields and then a BIFF8 text, continued as Excel continues texts:
    // each CONTINUE record begins with the compression flag of its characters.
    void addTextCell(quint16 type, const QByteArray& fields, const QString& text, int maximumRecord = 8224);
    QByteArray stream() const;
    // The stream in a compound file, as "Workbook" (BIFF8) or "Book" (BIFF5).
    QByteArray file() const;

    // Payload helpers.
    static QByteArray u16(quint16 value);
    static QByteArray u32(quint32 value);
    static QByteArray f64(double value);
    static QByteArray cell(quint16 row, quint16 column, quint16 xf);
    // A BIFF8 text: length (16 or 8 bits), flags, characters (compressed when they allow).
    static QByteArray text(const QString& value, int lengthBytes = 2);
    QByteArray label(quint16 row, quint16 column, const QString& value, quint16 xf = 0) const;
    static QByteArray number(quint16 row, quint16 column, double value, quint16 xf = 0);
    // A formula "=A1" with the cached result given as its eight bytes.
    static QByteArray formula(quint16 row, quint16 column, const QByteArray& result, quint16 xf = 0);
    static QByteArray formulaNumber(double value);
    static QByteArray formulaSpecial(quint8 kind, quint8 value = 0); // 0 text, 1 bool, 2 error, 3 empty
    // Cell formats: every one given here after the 16 that Excel always writes.
    void addFormat(quint16 id, const QString& code);
    // Returns the index of a new cell XF with this number format.
    quint16 addXf(quint16 formatId);

    QByteArray withContinues(quint16 type, const QByteArray& payload) const;

    static constexpr quint16 bof = 0x0809;
    static constexpr quint16 eof = 0x000a;
    static constexpr quint16 continueRecord = 0x003c;
    static constexpr quint16 sst = 0x00fc;
    static constexpr quint16 labelSst = 0x00fd;
    static constexpr quint16 labelRecord = 0x0204;
    static constexpr quint16 rstring = 0x00d6;
    static constexpr quint16 numberRecord = 0x0203;
    static constexpr quint16 rk = 0x027e;
    static constexpr quint16 mulRk = 0x00bd;
    static constexpr quint16 blank = 0x0201;
    static constexpr quint16 mulBlank = 0x00be;
    static constexpr quint16 boolErr = 0x0205;
    static constexpr quint16 formulaRecord = 0x0006;
    static constexpr quint16 string = 0x0207;
    static constexpr quint16 dateMode = 0x0022;
    static constexpr quint16 filePass = 0x002f;
    static constexpr quint16 codePage = 0x0042;

private:
    struct Sheet
    {
        QString name;
        QByteArray records;
    };
    static QByteArray record(quint16 type, const QByteArray& payload);

    int m_version;
    QByteArray m_globals;
    QByteArray m_formats;
    QByteArray m_xfs;
    quint16 m_xfCount = 0;
    QList<Sheet> m_sheets;
};
