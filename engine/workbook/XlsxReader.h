#pragma once

#include "engine/workbook/WorkbookReader.h"
#include "engine/workbook/XmlScanner.h"
#include "engine/workbook/ZipPackage.h"

#include <functional>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

class QXmlStreamReader;

namespace glimora::engine {

class SheetCells;

// Reads a worksheet of an Office Open XML workbook (.xlsx). The worksheet is scanned as it
// is inflated and its cells handed on one by one, so memory does not follow the size of the
// sheet. Documents with a DTD are refused outright: no entity is ever declared, let alone
// expanded.
class XlsxReader
{
public:
    explicit XlsxReader(const QString& path, ZipPackage::Limits limits = {});

    WorkbookTable read(const QString& sheetName, bool headerRow);
    // Hands the sheet's cells to cells as they are read; throws WorkbookError.
    void read(const QString& sheetName, SheetCells& cells);

private:
    struct Relationship
    {
        QString type;
        QString target; // a part name, resolved against the part that refers to it
    };

    void parsePart(const QString& part, const std::function<void(QXmlStreamReader&)>& onToken);
    // The same for the large parts, through XmlScanner.
    void scanPart(const QString& part, const std::function<void(XmlScanner&, XmlScanner::Token)>& onToken);
    QHash<QString, Relationship> readRelationships(const QString& part);
    QString findWorkbookPart();
    QString findSheetPart(const QString& workbookPart, const QString& sheetName);
    void readSharedStrings(const QString& part);
    void readStyles(const QString& part);
    void readSheet(const QString& part, SheetCells& cells);
    // The t attribute of a cell: how its value is written.
    enum class CellType { Number, SharedString, InlineString, FormulaString, Boolean, Error, Date };
    static CellType cellTypeOf(std::string_view attribute);
    void handCell(
        SheetCells& cells, qint64 row, int column, CellType type, int style, const std::string& text);

    QString m_path;
    ZipPackage m_package;
    bool m_date1904 = false;
    std::vector<std::string> m_sharedStrings; // UTF-8
    std::string m_decoded; // a text after its escapes
    QList<bool> m_dateStyles; // by cell format index
};

} // namespace glimora::engine
