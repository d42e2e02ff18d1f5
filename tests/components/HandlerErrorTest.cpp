#include "components/CAdodc.h"
#include "components/CDataGrid.h"
#include "components/ComponentFactories.h"
#include "tests/components/GridDatabase.h"
#include "ui/OkMessageBox.h"
#include "ui/SkinButton.h"
#include "ui/TemplateDialog.h"

#include "tests/support/WaitFor.h"
#include <gtest/gtest.h>
#include <QPainter>
#include <QTest>

using namespace glimora;
using components::CAdodc;
using components::CDataGrid;
using ui::OkMessageBox;

namespace {

// The data management screen's controls with handlers that call the components without
// any error check, as the screens do.
class FailingScreen : public ui::TemplateDialog
{
public:
    explicit FailingScreen(const QString& connectionString)
        : TemplateDialog(176)
        , m_connectionString(connectionString)
    {
        onClicked(1025, &FailingScreen::loadFromMissingTable);
        onClicked(1020, &FailingScreen::loadRecords);
        onDoubleClicked(1106, &FailingScreen::captionOfMissingColumn);
        onTimer(&FailingScreen::timerFails);
        onPaint(&FailingScreen::paintFails);
        onKeyPreTranslate(&FailingScreen::keyFails);
    }

    void startFailingTimer() { setTimer(7, 10); }

    int stepsAfterTheFailure = 0;
    int timerRuns = 0;
    bool failPaint = false;
    bool failKeys = false;

private:
    void bind(const QString& statement)
    {
        auto* control = this->control<CAdodc>(1024);
        control->SetConnectionString(m_connectionString);
        control->SetRecordSource(statement);
        control->Refresh();
        this->control<CDataGrid>(1106)->SetDataSource(control->Recordset());
    }
    void loadFromMissingTable()
    {
        bind(QStringLiteral("select d1 from nosuchtable"));
        ++stepsAfterTheFailure;
    }
    void loadRecords() { bind(QStringLiteral("select d1,d16 from inquiry")); }
    void captionOfMissingColumn()
    {
        control<CDataGrid>(1106)->Columns().Item(7).SetCaption(QStringLiteral("x"));
        ++stepsAfterTheFailure;
    }
    void timerFails(int)
    {
        ++timerRuns;
        stopTimer(7);
        throw std::runtime_error("timer failed");
    }
    void paintFails(QPainter&)
    {
        if (failPaint)
            throw std::runtime_error("paint failed");
    }
    bool keyFails(QWidget*, QKeyEvent* event)
    {
        if (failKeys && event->type() == QEvent::KeyPress && event->key() == Qt::Key_F5)
            throw std::runtime_error("key failed");
        return false;
    }

    QString m_connectionString;
};

class HandlerErrorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        components::ComponentFactories::install();
        OkMessageBox::clearShownTexts();
        OkMessageBox::setAutoAnswer(QMessageBox::Ok);
        m_database.createRecords();
        m_screen = std::make_unique<FailingScreen>(m_database.connectionString());
        m_screen->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_screen.get()));
    }
    void TearDown() override { OkMessageBox::setAutoAnswer(QMessageBox::NoButton); }

    GridDatabase m_database;
    std::unique_ptr<FailingScreen> m_screen;
};

TEST_F(HandlerErrorTest, AFailedRefreshInAClickIsShownAndTheScreenStaysOpen)
{
    QTest::mouseClick(m_screen->skinButton(1025), Qt::LeftButton);

    ASSERT_EQ(OkMessageBox::shownTexts().size(), 1);
    EXPECT_TRUE(OkMessageBox::shownTexts().first().contains(QStringLiteral("nosuchtable")))
        << OkMessageBox::shownTexts().first().toStdString();
    EXPECT_EQ(m_screen->stepsAfterTheFailure, 0); // the handler ended at the failing call
    EXPECT_TRUE(m_screen->isVisible());

    // The screen still answers: the next click binds the grid.
    QTest::mouseClick(m_screen->skinButton(1020), Qt::LeftButton);
    EXPECT_EQ(OkMessageBox::shownTexts().size(), 1);
    EXPECT_EQ(m_screen->control<CDataGrid>(1106)->model()->rowCount(), 2);
}

TEST_F(HandlerErrorTest, AColumnOutOfRangeInADoubleClickIsShownAndTheScreenStaysOpen)
{
    QTest::mouseClick(m_screen->skinButton(1020), Qt::LeftButton);
    auto* grid = m_screen->control<CDataGrid>(1106);
    const QRect cell = grid->visualRect(grid->model()->index(0, 0));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());

    ASSERT_EQ(OkMessageBox::shownTexts().size(), 1);
    EXPECT_TRUE(OkMessageBox::shownTexts().first().startsWith(QStringLiteral("Item cannot be found")));
    EXPECT_EQ(m_screen->stepsAfterTheFailure, 0);
    EXPECT_TRUE(m_screen->isVisible());
}

TEST_F(HandlerErrorTest, TimersPaintsAndKeysThatFailAreShownOnce)
{
    m_screen->startFailingTimer();
    EXPECT_EVENTUALLY(OkMessageBox::shownTexts().contains(QStringLiteral("timer failed")));
    EXPECT_EQ(m_screen->timerRuns, 1);

    // A failing paint fails at every repaint; the person sees it once, outside the paint.
    OkMessageBox::clearShownTexts();
    m_screen->failPaint = true;
    m_screen->repaint();
    m_screen->repaint();
    EXPECT_EVENTUALLY(OkMessageBox::shownTexts() == QStringList { QStringLiteral("paint failed") });
    QTest::qWait(20);
    EXPECT_EQ(OkMessageBox::shownTexts().size(), 1);
    m_screen->failPaint = false;

    OkMessageBox::clearShownTexts();
    m_screen->failKeys = true;
    QTest::keyClick(m_screen->skinButton(1020), Qt::Key_F5);
    EXPECT_EQ(OkMessageBox::shownTexts(), QStringList { QStringLiteral("key failed") });
    EXPECT_TRUE(m_screen->isVisible());
}

} // namespace
