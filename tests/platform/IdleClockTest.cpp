#include "platform/FakeIdleClock.h"
#include "platform/InputFilterIdleClock.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

using namespace glimora::platform;

TEST(IdleClockTest, IdleTimeSurvivesTheWrapAround)
{
    FakeIdleClock clock;
    clock.setLastInputTick(0xFFFFFF00u);
    clock.setTickCount(0xFFFFFF00u);
    EXPECT_EQ(clock.idleMilliseconds(), 0u);
    clock.advance(0x200); // past the wrap
    EXPECT_EQ(clock.tickCount(), 0x100u);
    EXPECT_EQ(clock.idleMilliseconds(), 0x200u);
    clock.touch();
    clock.advance(60000);
    EXPECT_EQ(clock.idleMilliseconds(), 60000u);
}

TEST(IdleClockTest, TestsCanReplaceTheMachineClock)
{
    IdleClock& machine = IdleClock::current();
    FakeIdleClock fake;
    IdleClock::setCurrent(&fake);
    EXPECT_EQ(&IdleClock::current(), &fake);
    IdleClock::setCurrent(nullptr);
    EXPECT_EQ(&IdleClock::current(), &machine);
    // The offscreen platform has no X display, so our own input filter measures.
    EXPECT_NE(dynamic_cast<InputFilterIdleClock*>(&machine), nullptr);
}

class InputFilterIdleClockTest : public ::testing::Test
{
protected:
    quint32 m_now = 1000;
    InputFilterIdleClock m_clock { [this] { return m_now; } };
    QWidget m_widget;
};

TEST_F(InputFilterIdleClockTest, IdleFromTheMomentItIsMade)
{
    m_now = 1500;
    EXPECT_EQ(m_clock.lastInputTick(), 1000u);
    EXPECT_EQ(m_clock.idleMilliseconds(), 500u);
}

TEST_F(InputFilterIdleClockTest, AKeyAnywhereInTheApplicationIsInput)
{
    m_now = 5000;
    QApplication::postEvent(&m_widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
    QApplication::sendPostedEvents();
    EXPECT_EQ(m_clock.lastInputTick(), 5000u);
    EXPECT_EQ(m_clock.idleMilliseconds(), 0u);
}

TEST_F(InputFilterIdleClockTest, MouseMovementAndWheelAreInputButPaintingIsNot)
{
    m_now = 2000;
    QMouseEvent move(
        QEvent::MouseMove, QPointF(3, 4), QPointF(3, 4), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&m_widget, &move);
    EXPECT_EQ(m_clock.lastInputTick(), 2000u);

    m_now = 3000;
    QEvent update(QEvent::UpdateRequest);
    QApplication::sendEvent(&m_widget, &update);
    EXPECT_EQ(m_clock.lastInputTick(), 2000u);

    QWheelEvent wheel(QPointF(1, 1), QPointF(1, 1), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(&m_widget, &wheel);
    EXPECT_EQ(m_clock.lastInputTick(), 3000u);
}
