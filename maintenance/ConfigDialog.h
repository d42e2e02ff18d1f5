#pragma once

#include "data/Recordset.h"
#include "query/FieldCatalogue.h"
#include "ui/TemplateDialog.h"

#include <functional>

namespace glimora::maintenance {

// System configuration: eight tabs over one editor, each keeping its value in uinfo.ini, in
// the catalogue's caption rows, or nowhere (the statement console of "sa"); the tab
// "标题名称" edits the catalogue's field rows in a grid instead.
class ConfigDialog : public ui::TemplateDialog
{
    Q_OBJECT
public:
    enum Tab {
        QueryStatementTab,
        ImportStatementTab,
        DatabaseNameTab,
        CompanyNameTab,
        ReportTitleTab,
        ColumnTitlesTab,
        CorrespondenceTab,
        BatchTab,
        ExtensionTab, // the newer capabilities' text settings
        TabCount
    };

    explicit ConfigDialog(QWidget* parent = nullptr);

    int currentTab() const { return m_currentTab; }
    // Selects a tab as a click on it would.
    void chooseTab(int tab);

private:
    void OnInitDialog();
    void OnTabChanged();
    void OnSave();
    void OnCancel();
    void OnExecute();
    void OnExit();
    void OnHelp();
    void OnHintsToggled();
    void OnTouchToggled();
    void OnPolishToggled();
    void OnKeyboardToggled();
    void OnSnapshotToggled();
    void OnScheduleToggled();
    void OnQuestionsToggled();
    void OnCountsToggled();
    void OnSeveralValuesToggled();
    void OnTidyToggled();
    void OnStatusToggled();
    void OnExportToggled();
    void OnPrintToggled();
    static query::FieldCatalogue loadedCatalogue();
    void OnScreenKeyboardToggled();
    void showScreenKeyboardScope();
    void OnSearchToggled();
    void OnReadAloudToggled();
    void OnLargeTextToggled();
    void showLargeTextMode();
    void OnContrastToggled();
    bool writeSwitch(int boxId, const std::function<bool(bool)>& write);
    bool OnMouseWheel(QWidget* receiver, QWheelEvent* event);

    void showEditor(const QString& text, bool storable);
    void bindCatalogueGrid();
    QString editorText() const;
    void setEditorText(const QString& text);
    static QString correspondenceText();

    int m_currentTab = QueryStatementTab;
    data::Recordset m_recordset;
};

} // namespace glimora::maintenance
