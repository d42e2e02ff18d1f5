#include "ui/DropDownCombo.h"

#include "ui/FingerSizedStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCollator>
#include <QCursor>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QScreen>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <algorithm>

namespace glimora::ui {

namespace {

// The combo box's own delegate draws the same, less the count.
class CountedEntries : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant count = index.data(DropDownCombo::CountRole);
        if (count.isValid())
            option->text += QStringLiteral(" (%1)").arg(count.toLongLong());
    }
};

} // namespace

DropDownCombo::DropDownCombo(bool sorted, QWidget* parent)
    : QComboBox(parent)
    , m_sorted(sorted)
{
    setEditable(true);
    // Typing chooses or filters; it never adds entries of its own.
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    // Entries that share a long beginning and end (two makers' "北京…公司") differ in the
    // middle, which is what a middle ellipsis cuts out.
    view()->setTextElideMode(Qt::ElideRight);
    // Installed after the pop-up's own filter, so it sees the release first.
    view()->viewport()->installEventFilter(this);
    view()->installEventFilter(this);
}

void DropDownCombo::setFingerSized(bool on)
{
    if (on == isFingerSized())
        return;
    QStyle* previous = m_fingerStyle;
    m_fingerStyle = on ? new FingerSizedStyle(this) : nullptr;
    QStyle* style = on ? m_fingerStyle : QApplication::style();
    setStyle(style);
    view()->setStyle(style);
    view()->verticalScrollBar()->setStyle(style);
    // By pixels the list follows the finger; by whole rows it would jump under it.
    view()->setVerticalScrollMode(on ? QAbstractItemView::ScrollPerPixel : QAbstractItemView::ScrollPerItem);
    if (QLineEdit* edit = lineEdit()) {
        if (on)
            edit->installEventFilter(this);
        else
            edit->removeEventFilter(this);
    }
    delete previous;
}

bool DropDownCombo::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != nullptr && watched == lineEdit() && isFingerSized() && m_textTapOpensList
        && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && isEnabled()) {
        // The box's text is a target like its arrow; typing stays possible once the list closes.
        showPopup();
        return true;
    }
    if (watched == view() && isFingerSized() && forwardTyping(event))
        return true;
    if (watched == view()->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            m_pressAt = mouse->position().toPoint();
            // A finger laid on a list in flight stops it where it is.
            if (m_fling)
                m_fling->stop();
            m_scrolledAtPress = view()->verticalScrollBar()->value();
            m_lastMoveAt = m_pressAt.y();
            m_lastMoveTime = mouse->timestamp();
            m_speed = 0;
            m_dragged = false;
            break;
        }
        case QEvent::MouseMove: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if ((mouse->buttons() & Qt::LeftButton)
                && (mouse->position().toPoint() - m_pressAt).manhattanLength()
                    >= QApplication::startDragDistance())
                m_dragged = true;
            if (m_dragged && isFingerSized()) {
                // A finger's swipe (a touch screen's, delivered as a drag) moves the list with it.
                const int y = mouse->position().toPoint().y();
                view()->verticalScrollBar()->setValue(m_scrolledAtPress + m_pressAt.y() - y);
                trackSpeed(y, mouse->timestamp());
                return true;
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            if (m_dragged) {
                // A swipe over the list: the finger was scrolling, not choosing.
                m_dragged = false;
                if (isFingerSized())
                    fling(static_cast<QMouseEvent*>(event)->timestamp());
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void DropDownCombo::trackSpeed(int y, quint64 time)
{
    if (time > m_lastMoveTime) {
        const double speed = double(m_lastMoveAt - y) / double(time - m_lastMoveTime);
        // Smoothed, so that one late event does not decide the throw.
        m_speed = 0.6 * speed + 0.4 * m_speed;
    }
    m_lastMoveAt = y;
    m_lastMoveTime = time;
}

void DropDownCombo::fling(quint64 releaseTime)
{
    // A finger that stopped before it lifted placed the list; one still moving throws it on.
    constexpr quint64 StillAfter = 100; // ms
    constexpr double SlowestThrow = 0.3; // pixels per ms
    constexpr int Glide = 500; // ms
    if (releaseTime - m_lastMoveTime > StillAfter || std::abs(m_speed) < SlowestThrow)
        return;
    QScrollBar* bar = view()->verticalScrollBar();
    if (!m_fling) {
        m_fling = new QPropertyAnimation(bar, "value", this);
        m_fling->setEasingCurve(QEasingCurve::OutCubic);
        m_fling->setDuration(Glide);
    }
    // With the ease-out the list starts at the finger's speed and comes to rest.
    const int distance = int(m_speed * Glide / 3.0);
    m_fling->setStartValue(bar->value());
    m_fling->setEndValue(std::clamp(bar->value() + distance, bar->minimum(), bar->maximum()));
    m_fling->start();
}

// A tap on the text opened the list, but a keyboard's typing is meant for the text (a price
// in a range list): the list closes and the text takes the key.
bool DropDownCombo::forwardTyping(QEvent* event)
{
    QLineEdit* edit = lineEdit();
    if (!edit)
        return false;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.isEmpty() || !text.at(0).isPrint()
            || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
            return false;
        hidePopup();
        QKeyEvent copy(key->type(), key->key(), key->modifiers(), text, key->isAutoRepeat(), key->count());
        QCoreApplication::sendEvent(edit, &copy);
        return true;
    }
    if (event->type() == QEvent::InputMethod
        && !static_cast<QInputMethodEvent*>(event)->commitString().isEmpty()) {
        hidePopup();
        edit->insert(static_cast<QInputMethodEvent*>(event)->commitString());
        return true;
    }
    return false;
}

void DropDownCombo::showCounts()
{
    if (!dynamic_cast<CountedEntries*>(itemDelegate()))
        setItemDelegate(new CountedEntries(this));
}

int DropDownCombo::compare(const QString& a, const QString& b)
{
    static const QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    return collator.compare(a, b);
}

int DropDownCombo::addString(const QString& text)
{
    int index = count();
    if (m_sorted) {
        // After the last entry that does not come after it, so equal entries keep their order.
        int low = 0;
        int high = count();
        while (low < high) {
            const int middle = (low + high) / 2;
            if (compare(itemText(middle), text) <= 0)
                low = middle + 1;
            else
                high = middle;
        }
        index = low;
    }
    const QString edited = currentText();
    insertItem(index, text);
    // Adding an entry never changes what the box shows.
    if (lineEdit())
        lineEdit()->setText(edited);
    return index;
}

void DropDownCombo::insertString(int index, const QString& text)
{
    const QString edited = currentText();
    insertItem(index, text);
    if (lineEdit())
        lineEdit()->setText(edited);
}

void DropDownCombo::showPopup()
{
    emit dropDownOpening();
    m_dragged = false;
    QComboBox::showPopup();
    if (m_popupFitsEntries)
        fitPopupToEntries();
    // A press that opened the list and slid onto it counts as a drag from where it began;
    // taken once the list stands in its place and at its entry, so a swipe moves it from there.
    m_pressAt = view()->viewport()->mapFromGlobal(QCursor::pos());
    m_scrolledAtPress = view()->verticalScrollBar()->value();
    m_lastMoveAt = m_pressAt.y();
    m_lastMoveTime = 0;
    m_speed = 0;
}

void DropDownCombo::fitPopupToEntries()
{
    QWidget* popup = view()->window();
    if (popup == window() || !popup->isVisible())
        return;
    // Frames and the scroll bar stay as they are; the entries get what they need.
    const int needed = view()->sizeHintForColumn(0) + popup->width() - view()->viewport()->width();
    if (needed <= popup->width())
        return;
    QRect place = popup->geometry();
    const QRect screen = this->screen()->availableGeometry();
    place.setWidth(std::min(needed, screen.width()));
    if (place.right() > screen.right())
        place.moveRight(screen.right());
    if (place.left() < screen.left())
        place.moveLeft(screen.left());
    popup->setGeometry(place);
}

} // namespace glimora::ui
