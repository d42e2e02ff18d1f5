#pragma once

#include "data/Recordset.h"
#include "data/Variant.h"
#include "query/ChosenValues.h"
#include "query/DrillDown.h"
#include "query/FieldCatalogue.h"
#include "query/PrintLayout.h"
#include "query/QrCode.h"
#include "query/QueryStatements.h"
#include "query/ResultPage.h"
#include "query/ValueChoices.h"
#include "query/ValueCounts.h"
#include "ui/TemplateDialog.h"

#include <functional>
#include <QHash>
#include <QImage>
#include <QList>
#include <QRect>

class QLineEdit;
class QPushButton;
class QTimer;

class QLabel;

namespace glimora::data {
class DbError;
}
namespace glimora::components {
class CAdodc;
class CWebBrowser2;
} // namespace glimora::components
namespace glimora::ui {
class DropDownCombo;
class SkinButton;
} // namespace glimora::ui

namespace glimora::query {

class ReadAloudVoice;
class TitleStrip;

// The public query screen: a drill-down through value buttons (mode 0) or up to 19 filter
// lists (mode 1), the paged table of matching records or the picture of one record, and
// the home page while nobody touches the station.
class QueryDialog : public ui::TemplateDialog
{
    Q_OBJECT
public:
    static constexpr int FilterCount = 19;

    explicit QueryDialog(QWidget* parent = nullptr);
    ~QueryDialog() override;

    // Runs once, from the constructor: false after a fatal set-up error, when the screen
    // has already closed itself.
    bool OnInitDialog();
    bool isReady() const { return m_ready; }
    // A kiosk's screen: the close picture does nothing and the home page keeps to its site.
    void lockIn();
    int exec() override;

    // A kiosk start pauses on a lost database connection instead of showing the error box:
    // the handler gets what the server said and the screen closes. Unset (an interactive
    // start), the box shows as it always did.
    using ConnectionLossHandler = std::function<void(const QString& serverText)>;
    static void setConnectionLossHandler(ConnectionLossHandler handler);

    // A system command of the window; 0x0010 (low four bits ignored) opens the about box.
    // Returns whether the command was handled here.
    bool OnSysCommand(unsigned int commandId);

    void ApplyMode();
    bool LoadTitles();

    // The drill-down step with a chosen value (at level 0, the first level's column name).
    void RunLevel(const QString& value);
    void LoadRecords();
    // With [show] search on: the search entry and its debounce timer.
    void setUpSearch();
    void placeSearchEntry();
    void OnSearchTimeout();
    QStringList searchColumns() const;

    void SetupFilterLabels();
    void FillFilterList(const QString& column, int listId);
    void BuildFilterWhere();
    // With [show] multiselect: a tap on an entry of list n ticks it or takes it back.
    void setUpSeveralValues();
    // With [show] counts: each value button says how many records it leads to, when the
    // server counts them within the budget.
    void setUpCounts();
    ValueCounts* valueCounts() const { return m_valueCounts.get(); }
    QStringList withCounts(
        const QStringList& values, const QStringList& captions, const QString& column, const QString& where);
    void OnFilterPicked(int n, int index);
    // The condition of the lists, list `without` left out (0 for none); `anyOf` gets each
    // list's ticked values.
    QueryStatements::FilterCondition listsCondition(int without, std::array<QStringList, 20>& anyOf) const;
    void showEntryCounts(ui::DropDownCombo* list, const QString& column, int n);
    static int filterNumberOf(int listId); // 0 for no filter list

    // With [print] on and a printer or PDF folder: the print button, and what it prints.
    void setUpPrinting();
    ui::SkinButton* printButton() const { return m_printButton; }
    PrintSlip printSlip() const;
    void OnPrint();
    // The current record's link from the [print] link template; empty for none.
    QString recordLink() const;
    const QrCode& recordQrCode() const { return m_recordQr; }

    // With [show] speech on: the read-aloud button, what it reads, and its voice.
    void setUpReadAloud();
    QPushButton* readAloudButton() const { return m_readAloudButton; }
    // The summary line and the record last touched on the result page (the page's first
    // until one is touched), or the current record of the picture view.
    QString readAloudText() const;
    void OnReadAloud();
    // With [show] largetext 1 or 2: the 大字 button, and the large text it switches.
    void setUpLargeText();
    void setLargeText(bool on);
    bool largeText() const { return m_largeText; }
    QPushButton* largeTextButton() const { return m_largeTextButton; }
    // Whether the screen starts (and goes back to, when idle) in large text.
    static bool startsLarge();

    // The picture view.
    void ShowRecordPicture();
    void ClearDisplayArea();

    // The idle check of timer 0, and the home page's address.
    void IdleCheck();
    static QString homePageAddress();

    // State, for the screen's own tests and tools.
    int level() const { return m_drillDown.level(); }
    const DrillDown& drillDown() const { return m_drillDown; }
    const FieldCatalogue& catalogue() const { return m_catalogue; }
    QString whereClause() const { return m_whereClause; }
    data::Recordset resultCursor() const { return m_resultCursor; }
    // What the empty result page says for the search on display.
    QString searchFoundNothing() const;
    int pageStep() const { return m_pageStep; }
    // Where the page on display put its record rows.
    ResultPage::DrawnRows drawnRows() const { return m_drawnRows; }
    int mode() const { return m_mode; }
    bool pictureView() const { return m_pictureView; }
    const QImage& picture() const { return m_picture; }
    bool homePageShown() const;
    // The process-wide titles that LoadTitles reads.
    static QString companyName();
    static QString reportTitle();
    const ValueChoices& valueChoices() const { return m_choices; }
    // The bottom of the display area: the top of the tab row.
    int displayBottom() const;

    // The value-button and filter-list ids, in slot order.
    static QList<int> valueButtonIds();
    static int filterListId(int n);
    static int filterLabelId(int n);
    ui::DropDownCombo* filterList(int n) const;
    QLabel* filterLabel(int n) const;

signals:
    void aboutBoxRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class PictureState { Cleared, NoPicture, Picture };

    bool loadCatalogue();
    void fail(const QString& message);
    // Closes the screen through the handler when `error` is a lost connection and one is set.
    bool closeOnLostConnection(const data::DbError& error);
    void showValueButtons();
    // The value buttons in use at their places: with [show] tidy those without a value hidden
    // and the rest spread over their rows; in large text fewer and wider to a row.
    void tidyValueButtons();
    // As many to a row as let every caption of the level stand whole in large text.
    int valueButtonsPerRow() const;
    void LayoutPanel();
    void placeTitle(bool pictureView);
    components::CAdodc* dataControl();

    // Handlers.
    void OnValueButton(int id);
    void OnFirstLevel();
    void OnPreviousLevel();
    void OnNextLevel();
    void OnLastLevel();
    void OnPageUp();
    void OnPageDown();
    void OnSecondaryPageUp();
    void OnSecondaryPageDown();
    void OnQuery();
    void OnClear();
    void OnFilterDropDown(int id);
    void OnCategoryTab();
    void OnConditionTab();
    void OnDataViewTab();
    void OnPictureViewTab();
    void OnClosePicture();
    void OnPaint(QPainter& painter);
    void OnTimer(int timerId);
    bool OnKeyPreTranslate(QWidget* receiver, QKeyEvent* event);
    bool OnMousePreTranslate(QWidget* receiver, QMouseEvent* event);
    void inputSeen();

    void placePrintButton();
    void placeReadAloudButton();
    void noteTouchedRow(const QPoint& at);
    // The lists that the page on display holds to several values, by column, as they show them.
    QHash<QString, QString> pageSeveralValues() const;
    // What a screen reader announces for the controls whose names are not their captions.
    void nameControlsForScreenReaders();
    void placeLargeTextButton();
    void fitLargeText();
    void widenPair(int firstId, int secondId, int left);
    // The fonts and colours of the controls no skin draws, for the text size and skin set of the moment.
    void styleUnskinnedControls();
    QSize tabSize(int templateHeight) const;
    // One of the shared fonts, enlarged in large text.
    QFont screenFont(int sharedFontIndex) const;
    QStringList printedRecord(const QList<int>& widths) const;
    void paintPicture(QPainter& painter);
    void paintRecordQrCode(QPainter& painter);
    void paintResultPage(QPainter& painter);
    QRect pictureBox() const;
    // The secondary page buttons draw the result page at once, in the picture view too.
    void drawResultPageNow();

    bool m_ready = false;
    bool m_closedAtSetup = false;
    bool m_lockedIn = false;
    FieldCatalogue m_catalogue;
    DrillDown m_drillDown;
    ValueChoices m_choices;
    QString m_whereClause;
    // The condition of the records on display: the summary line reads the condition, so a
    // step that loads nothing new goes back to it.
    QString m_pageWhereClause;
    data::Recordset m_resultCursor;
    int m_pageStep = 0;
    int m_mode = 0;
    bool m_pictureView = false;
    bool m_resultPageNow = false;
    data::Variant m_pictureData = data::Variant::null();
    QImage m_picture;
    PictureState m_pictureState = PictureState::Cleared;
    components::CWebBrowser2* m_browser = nullptr;
    components::CAdodc* m_ownDataControl = nullptr;
    TitleStrip* m_titleStrip = nullptr;
    QHash<int, QRect> m_templatePlaces;
    QList<QRect> m_valueButtonPlaces; // of a full level, as the panel was last laid out
    ChosenValues m_chosen;
    std::unique_ptr<ValueCounts> m_valueCounts;
    bool m_chosenSeveral = false; // [show] multiselect, as the screen opened
    // Of the page on display: each column held to several ticked values, with their text.
    // The lists held to several values, and the condition of the page they were asked for.
    QHash<QString, QString> m_pageSeveralValues;
    QString m_severalValuesWhere;
    QLineEdit* m_searchEntry = nullptr;
    QTimer* m_searchTimer = nullptr;
    ui::SkinButton* m_printButton = nullptr;
    QPushButton* m_largeTextButton = nullptr;
    bool m_largeText = false;
    QrCode m_recordQr;
    QPushButton* m_readAloudButton = nullptr;
    ReadAloudVoice* m_voice = nullptr;
    // The row of the result page touched last, with the page's first record at the time.
    int m_touchedRow = -1;
    ResultPage::DrawnRows m_drawnRows;
    long m_touchedPageStart = 0;
    // The normalised text searched for by the records on display, empty for none.
    QString m_searchQuery;
};

} // namespace glimora::query
