#include "ui/TemplateDialog.h"
#include "ui/BitmapStatic.h"
#include "ui/ComponentPlaceholder.h"
#include "ui/DropDownCombo.h"
#include "ui/SkinButton.h"
#include "ui/TabControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "tests/support/WaitFor.h"
#include <gtest/gtest.h>

using namespace glimora;
using ui::IDCANCEL;
using ui::IDOK;

namespace {

// A screen whose handlers only count what reached them.
class ProbeDialog : public ui::TemplateDialog
{
public:
    explicit ProbeDialog(int templateId)
        : TemplateDialog(templateId)
    {
    }

    // Registration is protected: screens do it in their constructors.
    void listen()
    {
        onClicked(1003, &ProbeDialog::clicked);
        onClicked(idRange(1004, 1005), &ProbeDialog::clickedWithId);
        onDoubleClicked(1127, &ProbeDialog::doubleClicked);
        onDropDown({ 1000, 1001 }, &ProbeDialog::droppedDown);
        onSelectionChanged(1102, &ProbeDialog::selectionChanged);
        onTreeClicked(1127, &ProbeDialog::treeClicked);
        onTimer(&ProbeDialog::timer);
        onPaint(&ProbeDialog::paint);
        onKeyPreTranslate(&ProbeDialog::key);
        onMousePreTranslate(&ProbeDialog::mouse);
        onMouseWheel(&ProbeDialog::wheel);
    }
    void listenToPictures()
    {
        onClicked(1143, &ProbeDialog::clicked);
        onDoubleClicked(1140, &ProbeDialog::doubleClicked);
    }
    void listenToGrid() { onDoubleClicked(1106, &ProbeDialog::doubleClicked); }
    void enterAsTab(const QList<int>& except) { enableEnterAsTab(except); }
    void swallowEscape() { enableEscapeSwallowing(); }
    void handleOk() { onClicked(IDOK, &ProbeDialog::clicked); }

    int clicks = 0;
    QList<int> clickIds;
    int doubleClicks = 0;
    QList<int> dropDowns;
    int selectionChanges = 0;
    QList<QPoint> treeClicks;
    QList<int> timerIds;
    int paints = 0;
    int keys = 0;
    int mousePresses = 0;
    int wheels = 0;
    bool swallowWheel = true;

private:
    void clicked() { ++clicks; }
    void clickedWithId(int id) { clickIds.append(id); }
    void doubleClicked() { ++doubleClicks; }
    void droppedDown(int id) { dropDowns.append(id); }
    void selectionChanged() { ++selectionChanges; }
    void treeClicked(const QPoint& point) { treeClicks.append(point); }
    void timer(int id) { timerIds.append(id); }
    void paint(QPainter&) { ++paints; }
    bool key(QWidget*, QKeyEvent* event)
    {
        if (event->type() == QEvent::KeyPress)
            ++keys;
        return false;
    }
    bool mouse(QWidget*, QMouseEvent* event)
    {
        if (event->type() == QEvent::MouseButtonPress)
            ++mousePresses;
        return false;
    }
    bool wheel(QWidget*, QWheelEvent*)
    {
        ++wheels;
        return swallowWheel;
    }
};

// A turn towards the user: scrolls down.
void sendWheel(QWidget* target)
{
    const QPointF inside(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent event(inside, target->mapToGlobal(inside), QPoint(), QPoint(0, -120), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

TEST(TemplateDialog, FindsControlsByIdAndKind)
{
    ui::TemplateDialog login(129);
    EXPECT_NE(login.control<QComboBox>(1000), nullptr);
    EXPECT_NE(login.control<ui::DropDownCombo>(1001), nullptr);
    EXPECT_NE(login.skinButton(1), nullptr);
    EXPECT_EQ(login.control<QCheckBox>(1000), nullptr);
    EXPECT_EQ(login.control(4242), nullptr);
    EXPECT_EQ(login.control(res::StaticId), nullptr);
    EXPECT_EQ(login.controlId(login.control(1128)), 1128);
    EXPECT_THROW(ui::TemplateDialog(101), std::invalid_argument);
}

TEST(TemplateDialog, OkAndCancelButtonsEndTheRunUnlessHandled)
{
    ui::TemplateDialog password(175);
    QTimer::singleShot(0, &password, [&password]() { password.skinButton(1)->click(); });
    EXPECT_EQ(password.runModal(), IDOK);

    QTimer::singleShot(0, &password, [&password]() { password.skinButton(2)->click(); });
    EXPECT_EQ(password.runModal(), IDCANCEL);

    ProbeDialog handled(175);
    handled.handleOk();
    handled.show();
    handled.skinButton(1)->click();
    EXPECT_EQ(handled.clicks, 1);
    EXPECT_TRUE(handled.isVisible());
}

TEST(TemplateDialog, CloseBoxAndEscapeEndWithCancel)
{
    ui::TemplateDialog config(131);
    QTimer::singleShot(0, &config, [&config]() { config.close(); });
    EXPECT_EQ(config.runModal(), IDCANCEL);

    QTimer::singleShot(0, &config, [&config]() { QTest::keyClick(&config, Qt::Key_Escape); });
    EXPECT_EQ(config.runModal(), IDCANCEL);

    QTimer::singleShot(0, &config, [&config]() { config.endDialog(7); });
    EXPECT_EQ(config.runModal(), 7);
}

TEST(TemplateDialog, RoutesButtonClicksThroughTheHandlerTable)
{
    ProbeDialog admin(130);
    admin.listen();
    admin.show();
    QTest::mouseClick(admin.skinButton(1003), Qt::LeftButton);
    QTest::mouseClick(admin.skinButton(1005), Qt::LeftButton);
    QTest::mouseClick(admin.skinButton(1004), Qt::LeftButton);
    QTest::mouseClick(admin.skinButton(1012), Qt::LeftButton); // no handler: nothing happens
    EXPECT_EQ(admin.clicks, 1);
    EXPECT_EQ(admin.clickIds, QList<int>({ 1005, 1004 }));
    EXPECT_TRUE(admin.isVisible());
}

TEST(TemplateDialog, NotifyingPicturesReportClicksAndDoubleClicks)
{
    ProbeDialog query(102);
    query.listenToPictures();
    query.show();
    QTest::mouseClick(query.control(1143), Qt::LeftButton);
    EXPECT_EQ(query.clicks, 1);
    QTest::mouseDClick(query.control(1140), Qt::LeftButton);
    EXPECT_EQ(query.doubleClicks, 1);
    // The banner does not notify.
    QTest::mouseDClick(query.control(1142), Qt::LeftButton);
    EXPECT_EQ(query.doubleClicks, 1);
}

TEST(TemplateDialog, DropDownOpeningLetsTheHandlerFillTheList)
{
    ProbeDialog login(129);
    login.listen();
    login.show();
    login.control<QComboBox>(1001)->showPopup();
    EXPECT_EQ(login.dropDowns, QList<int>({ 1001 }));
    login.control<QComboBox>(1001)->hidePopup();
}

TEST(TemplateDialog, TabSelectionChangesOnlyWhenTheUserChoosesATab)
{
    ProbeDialog config(131);
    config.listen();
    auto* tabs = config.control<ui::TabControl>(1102);
    tabs->addTab(QStringLiteral("A"));
    tabs->addTab(QStringLiteral("B"));
    config.show();
    tabs->setCurrentIndex(1);
    EXPECT_EQ(config.selectionChanges, 0);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_EQ(config.selectionChanges, 1);
}

TEST(TemplateDialog, TreeClicksCarryThePointAndDoubleClicksArrive)
{
    ProbeDialog users(176);
    users.listen();
    auto* tree = users.control<QTreeWidget>(1127);
    new QTreeWidgetItem(tree, { QStringLiteral("root") });
    users.show();
    const QPoint onItem = tree->visualItemRect(tree->topLevelItem(0)).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, onItem);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(5, tree->viewport()->height() - 5));
    EXPECT_EQ(users.treeClicks, QList<QPoint>({ onItem, QPoint(5, tree->viewport()->height() - 5) }));
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, onItem);
    EXPECT_EQ(users.doubleClicks, 1);
}

TEST(TemplateDialog, TimersKeepTheScreensIds)
{
    ProbeDialog progress(133);
    progress.listen();
    progress.setTimer(0, 5);
    progress.setTimer(0, 5); // restarting replaces, never doubles
    EXPECT_TRUE(progress.isTimerActive(0));
    EXPECT_EVENTUALLY(progress.timerIds.size() >= 2);
    EXPECT_EQ(progress.timerIds.count(0), progress.timerIds.size());
    progress.stopTimer(0);
    EXPECT_FALSE(progress.isTimerActive(0));
    progress.setTimer(3, 5);
    EXPECT_EVENTUALLY(progress.timerIds.contains(3));
}

TEST(TemplateDialog, PaintHandlerDrawsOverTheBackground)
{
    ProbeDialog about(100);
    about.listen();
    about.grab();
    EXPECT_GE(about.paints, 1);
}

TEST(TemplateDialog, EnterMovesOnLikeTabExceptOnTheNamedControls)
{
    ProbeDialog login(129);
    login.enterAsTab({ 1 });
    login.handleOk();
    login.show();
    QApplication::setActiveWindow(&login);
    auto* password = login.control<QLineEdit>(1002);
    password->setFocus();
    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_TRUE(login.skinButton(1)->hasFocus());
    EXPECT_EQ(login.clicks, 0);

    QTest::keyClick(login.skinButton(1), Qt::Key_Return);
    EXPECT_EQ(login.clicks, 1);
    EXPECT_TRUE(login.isVisible());
}

TEST(TemplateDialog, SwallowedEscapeNeverClosesTheScreen)
{
    ProbeDialog query(102);
    query.swallowEscape();
    query.listen();
    query.show();
    QTest::keyClick(&query, Qt::Key_Escape);
    EXPECT_TRUE(query.isVisible());
    // The screen's own key handler still sees it first.
    EXPECT_EQ(query.keys, 1);
}

TEST(TemplateDialog, MousePreTranslationSeesEachPressOnce)
{
    ProbeDialog users(182);
    users.listen();
    users.show();
    // A label ignores the press, which then travels to the dialog: still one press.
    QTest::mouseClick(users.control(1167), Qt::LeftButton);
    QTest::mouseClick(users.control(1002), Qt::LeftButton);
    QTest::mouseClick(users.skinButton(1005), Qt::LeftButton);
    EXPECT_EQ(users.mousePresses, 3);
}

TEST(TemplateDialog, WheelHandlerMaySwallowTheTurn)
{
    ProbeDialog config(131);
    config.listen();
    auto* editor = config.control<QPlainTextEdit>(1103);
    editor->setPlainText(QString(QStringLiteral("line\n")).repeated(200));
    config.show();
    sendWheel(editor->viewport());
    EXPECT_EQ(config.wheels, 1);
    EXPECT_EQ(editor->verticalScrollBar()->value(), 0);

    config.swallowWheel = false;
    sendWheel(editor->viewport());
    EXPECT_EQ(config.wheels, 2);
    EXPECT_GT(editor->verticalScrollBar()->value(), 0);
}

TEST(TemplateDialog, MessageBoxesOverTheScreenAreNotItsInput)
{
    ProbeDialog login(129);
    login.listen();
    login.show();
    QWidget box(&login, Qt::Dialog);
    auto* inside = new QLineEdit(&box);
    box.show();
    QTest::mouseClick(inside, Qt::LeftButton);
    QTest::keyClick(inside, Qt::Key_A);
    EXPECT_EQ(login.mousePresses, 0);
    EXPECT_EQ(login.keys, 0);
}

TEST(TemplateDialog, RegisteredComponentsReplaceThePlaceholders)
{
    ui::TemplateDialog::setComponentFactory(res::ControlKind::DataGrid,
        [](const res::ControlTemplate&, QWidget* parent) { return new QTableView(parent); });
    ProbeDialog data(176);
    ui::TemplateDialog::setComponentFactory(res::ControlKind::DataGrid, nullptr);
    data.listenToGrid();
    auto* grid = data.control<QTableView>(1106);
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(grid->geometry(), data.dialogTemplate().pixelRect(*data.dialogTemplate().findControl(1106)));
    EXPECT_NE(data.control<ui::ComponentPlaceholder>(1024), nullptr);

    data.show();
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton);
    EXPECT_EQ(data.doubleClicks, 1);

    ui::TemplateDialog later(176);
    EXPECT_NE(later.control<ui::ComponentPlaceholder>(1106), nullptr);
}

TEST(TemplateDialog, ComponentsMayWrapTheirView)
{
    ui::TemplateDialog::setComponentFactory(
        res::ControlKind::DataGrid, [](const res::ControlTemplate&, QWidget* parent) {
            auto* frame = new QFrame(parent);
            (new QTableView(frame))->setGeometry(0, 0, 200, 100);
            return frame;
        });
    ProbeDialog data(176);
    ui::TemplateDialog::setComponentFactory(res::ControlKind::DataGrid, nullptr);
    data.listenToGrid();
    data.show();
    auto* view = data.control(1106)->findChild<QTableView*>();
    ASSERT_NE(view, nullptr);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton);
    EXPECT_EQ(data.doubleClicks, 1);
    // The scroll bars are not the grid's rows.
    QTest::mouseDClick(view->verticalScrollBar(), Qt::LeftButton);
    EXPECT_EQ(data.doubleClicks, 1);
}

} // namespace
