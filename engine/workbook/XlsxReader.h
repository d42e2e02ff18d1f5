#pragma once

#include "engine/workbook/WorkbookReader.h"
#include "engine/workbook/ZipPackage.h"

#include <functional>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class QXmlStreamReader;

namespace glimora::engine {

class SheetTableBuilder;

// Reads a worksheet of an Office Open XML workbook (.xlsx). The worksheet is parsed as it
// is inflated, so memory follows the size of the table, not of the XML. Documents with a
// DTD are refused outright: no entity is ever declared, let alone expanded.
class XlsxReader
{
public:
    explicit XlsxReader(const QString& path, ZipPackage::Limits limits = {});

    WorkbookTable read(const QString& sheetName, bool headerRow);

private:
    struct Relationship
    {
        QString type;
        QString target; // a part name, resolved against the part that refers to it
    };

    void parsePart(const QString& part, const std::function<void(QXmlStreamReader&)>& onToken);
    QHash<QString, Relationship> readRelationships(const QString& part);
    QString findWorkbookPart();
    QString findSheetPart(const QString& workbookPart, const QString& sheetName);
    void readSharedStrings(const QString& part);
    void readStyles(const QString& part);
    void readSheet(const QString& part, SheetTableBuilder& builder);
    // The t attribute of a cell: how its value is written.
    enum class CellType { Number, SharedString, InlineString, FormulaString, Boolean, Error, Date };
    static CellType cellTypeOf(QStringView attribute);
    glimora::data::Variant cellValue(CellType type, int style, const QString& text) const;

    QString m_path;
    ZipPackage m_package;
    bool m_date1904 = false;
    QStringList m_sharedStrings;
    QList<bool> m_dateStyles; // by cell format index
};

} // namespace glimora::engine
