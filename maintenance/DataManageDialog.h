#pragma once

#include "data/CatalogueEntry.h"
#include "data/Recordset.h"
#include "data/Variant.h"
#include "maintenance/RecordExport.h"
#include "ui/TemplateDialog.h"

#include <array>
#include <functional>
#include <QSet>

namespace glimora::maintenance {

// Data management: the records in a grid, edited in place, with a new empty record, a
// delete on double click, and a picture or document stored into d51 of a record.
class DataManageDialog : public ui::TemplateDialog
{
    Q_OBJECT
public:
    enum class Opening {
        Browse,
        // Data entry: a new record is added at once and its first cell takes the typing. Only
        // the records added here can be typed into or given a picture, and none is deleted:
        // changing the others is data management's right.
        NewRecord,
    };

    explicit DataManageDialog(QWidget* parent = nullptr, Opening opening = Opening::Browse);
    ~DataManageDialog() override;

    // False when the screen closed itself while opening (no catalogue, or it failed).
    bool isOpen() const { return !m_closedAtOpening; }
    // A screen that closed itself while opening returns at once.
    int exec() override;

    const data::Recordset& recordset() const { return m_recordset; }

    // Runs an export and tells how it ended; the back office shows its progress and offers a
    // cancel. Without one the export runs at once, on this thread.
    using ExportRunner = std::function<RecordExport::Result(const RecordExport&)>;
    void setExportRunner(ExportRunner runner) { m_exportRunner = std::move(runner); }
    // What an export writes now: the shown columns in the catalogue's order, under its captions.
    QList<RecordExport::Column> exportColumns() const;
    // Shows the export button of a screen built from this screen's template.
    static void showExportButton(ui::TemplateDialog& dialog);

private:
    void OnInitDialog();
    bool loadCatalogue();
    void loadGrid();
    void OnNewRecord();
    void OnUploadPicture();
    void OnExport();
    void OnGridDoubleClicked();
    void keepSearchIndex();
    void OnExit();
    void OnHelp();
    bool OnMouseWheel(QWidget* receiver, QWheelEvent* event);

    // The new record of "新增记录"; false when it could not be stored (silently, as there).
    bool addRecord();
    void closeAtOpening();
    void readyFirstCellForTyping();
    bool storePicture(const QString& path);

    static constexpr int CatalogueSlots = 60;
    std::array<data::CatalogueEntry, CatalogueSlots> m_catalogue;
    QString m_filter;
    data::Recordset m_recordset;
    data::Variant m_fileBytes;
    bool m_closedAtOpening = false;
    bool m_entryOnly = false;
    QSet<int> m_addedRows; // grid rows of the records added here
    QString m_recordSource; // the statement of the grid's records; empty without one
    QStringList m_columnNames; // the grid's columns by the names of their fields
    ExportRunner m_exportRunner;
};

} // namespace glimora::maintenance
