#include "ui/OnScreenKeyboard.h"

#include "ui/CandidateBar.h"
#include "ui/DropDownCombo.h"
#include "ui/EntryTyping.h"
#include "ui/PinyinCandidates.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace glimora::ui {

namespace {

constexpr int MaxSpelling = 24;

const char* const Look = R"(
glimora--ui--OnScreenKeyboard { background: #3b4049; }
QPushButton { background: #fbfbfb; color: #15181c; border: 1px solid #1f2227; border-radius: 6px; }
QPushButton[function="true"] { background: #c8cdd5; }
QPushButton:pressed { background: #4f8ff7; color: #ffffff; }
QPushButton:disabled { background: #6a707a; color: #9aa0a8; }
QLabel#spelling { color: #ffffff; }
)";

// About 12 mm on a 17" screen of 1280 x 1024.
constexpr int FingerSide = 50;

int gapFor(int side)
{
    return std::max(4, side / 8);
}

int rowCount(KeyboardLayout layout)
{
    return int(keyRows(layout).size()) + (layout == KeyboardLayout::Pinyin ? 1 : 0);
}

// A writable text entry of the keyboard's screen: a line edit, or the combo box it edits.
QWidget* entryAt(QWidget* widget, const QWidget* screen)
{
    auto* edit = qobject_cast<QLineEdit*>(widget);
    if (!edit || edit->isReadOnly() || !edit->isEnabled() || edit->window() != screen)
        return nullptr;
    auto* combo = qobject_cast<QComboBox*>(edit->parentWidget());
    return combo && combo->lineEdit() == edit ? static_cast<QWidget*>(combo) : edit;
}

bool isSecret(QWidget* entry)
{
    const QLineEdit* edit = EntryTyping::lineEditOf(entry);
    return edit && edit->echoMode() != QLineEdit::Normal;
}

// An entry that takes Latin letters as they are typed (the search takes initials, "amxl").
bool prefersLatin(QWidget* entry)
{
    const QLineEdit* edit = EntryTyping::lineEditOf(entry);
    return edit && edit->inputMethodHints().testFlag(Qt::ImhPreferLatin);
}

} // namespace

OnScreenKeyboard* OnScreenKeyboard::attachTo(QWidget* screen, OnScreenKeyboardSetting::Scope needed)
{
    if (!screen || !OnScreenKeyboardSetting::covers(needed))
        return nullptr;
    screen = screen->window();
    if (OnScreenKeyboard* existing = of(screen))
        return existing;
    return new OnScreenKeyboard(screen);
}

OnScreenKeyboard* OnScreenKeyboard::of(const QWidget* screen)
{
    return screen ? screen->window()->findChild<OnScreenKeyboard*>(QString(), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

int OnScreenKeyboard::keySide(const QSize& display)
{
    const double scale = std::min(display.width() / 1280.0, display.height() / 1024.0);
    return std::max(44, qRound(64 * scale));
}

OnScreenKeyboard::OnScreenKeyboard(QWidget* screen)
    : QWidget(screen)
    , m_screen(screen)
    , m_bar(new CandidateBar(this))
    , m_keys(new QWidget(this))
    , m_dock(screen, this)
{
    setAttribute(Qt::WA_StyledBackground);
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(QString::fromLatin1(Look));
    connect(m_bar, &CandidateBar::chosen, this, &OnScreenKeyboard::choose);
    hide();
    qApp->installEventFilter(this);
}

void OnScreenKeyboard::showFor(QWidget* entry)
{
    if (!entry)
        return;
    if (m_entry != entry) {
        m_spelling.clear();
        m_entry = entry;
        if (prefersLatin(entry))
            m_layout = KeyboardLayout::Latin;
    }
    // With the keyboard there to type, a tap on a list's text puts the cursor there; its
    // arrow still opens the list.
    if (auto* list = qobject_cast<DropDownCombo*>(entry))
        list->setTextTapOpensList(false);
    // A password is never spelled out in the strip.
    if (m_layout == KeyboardLayout::Pinyin && (!PinyinCandidates::shared().isOpen() || isSecret(entry)))
        m_layout = KeyboardLayout::Latin;
    dock();
    buildKeys();
    refreshCandidates();
    show();
    raise();
}

void OnScreenKeyboard::hideKeyboard()
{
    m_spelling.clear();
    refreshCandidates();
    hide();
    m_dock.release();
}

void OnScreenKeyboard::setCurrentLayout(KeyboardLayout layout)
{
    m_layout = layout;
    m_spelling.clear();
    buildKeys();
    refreshCandidates();
}

int OnScreenKeyboard::keyboardHeight() const
{
    const int rows = std::max({ rowCount(KeyboardLayout::Pinyin), rowCount(KeyboardLayout::Latin),
        rowCount(KeyboardLayout::Digits) });
    return gapFor(m_side) + rows * (m_side + gapFor(m_side));
}

void OnScreenKeyboard::dock()
{
    const QScreen* display = m_screen->screen();
    const QSize displaySize = display ? display->size() : m_screen->size();
    const auto widestFor = [](int side) {
        const int gap = gapFor(side);
        int widest = 0;
        for (const KeyboardLayout layout :
            { KeyboardLayout::Pinyin, KeyboardLayout::Latin, KeyboardLayout::Digits })
            widest = std::max(widest, int(widestRow(keyRows(layout)) * (side + gap)) + gap);
        return widest;
    };
    if (!m_dock.isGrown()) {
        m_side = keySide(displaySize);
        // A screen as large as the display or larger is sized for by its own size.
        if (m_dock.fillsDisplay(keyboardHeight()))
            m_side = keySide(m_screen->size().expandedTo(displaySize));
        // A small window grows below its content: keys a little smaller, still for a finger,
        // rather than a window wider than its own picture.
        else
            while (m_side > FingerSide && widestFor(m_side) > m_screen->width())
                --m_side;
    }
    m_dock.place(m_entry, keyboardHeight(), widestFor(m_side));
}

void OnScreenKeyboard::buildKeys()
{
    for (QObject* child : m_keys->children())
        child->deleteLater();
    for (QWidget* key : m_keys->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        key->hide();

    const int gap = gapFor(m_side);
    const QList<KeyRow> rows = keyRows(m_layout);
    const int unit = m_side + gap;
    const int blockWidth = int(widestRow(rows) * unit) - gap;
    const bool withBar = m_layout == KeyboardLayout::Pinyin;
    m_bar->setVisible(withBar);
    m_bar->setKeySide(m_side);
    m_bar->setGeometry(0, 0, width(), m_side + gap);

    const int blockHeight = int(rows.size()) * unit - gap;
    m_keys->setGeometry((width() - blockWidth) / 2, height() - gap - blockHeight, blockWidth, blockHeight);
    QFont single = font();
    single.setPixelSize(m_side / 2);
    QFont words = font();
    words.setPixelSize(std::max(16, m_side * 2 / 5));
    for (int r = 0; r < rows.size(); ++r) {
        const KeyRow& row = rows[r];
        double rowWidth = 0;
        for (const KeySpec& key : row)
            rowWidth += key.width;
        double x = (blockWidth - (rowWidth * unit - gap)) / 2.0;
        for (const KeySpec& key : row) {
            auto* button = new QPushButton(key.caption, m_keys);
            button->setFocusPolicy(Qt::NoFocus);
            button->setAutoRepeat(false);
            button->setFont(key.caption.size() == 1 ? single : words);
            button->setProperty("function", key.action != KeyAction::Type);
            const int width = int(key.width * unit) - gap;
            button->setGeometry(int(x), r * unit, width, m_side);
            connect(button, &QPushButton::clicked, this, [this, key]() { press(key); });
            button->show();
            x += key.width * unit;
        }
    }
}

void OnScreenKeyboard::press(const KeySpec& key)
{
    if (!m_entry) {
        hideKeyboard();
        return;
    }
    const bool spelling = !m_spelling.isEmpty();
    switch (key.action) {
    case KeyAction::Type:
        if (m_layout == KeyboardLayout::Pinyin && PinyinCandidates::shared().isOpen() && !isSecret(m_entry))
            spell(key.caption);
        else
            EntryTyping::type(m_entry, key.caption);
        break;
    case KeyAction::Backspace:
        if (spelling) {
            m_spelling.chop(1);
            refreshCandidates();
        } else {
            EntryTyping::backspace(m_entry);
        }
        break;
    case KeyAction::Space:
        // As input methods do: space takes the first word.
        if (spelling)
            choose(0);
        else
            EntryTyping::type(m_entry, QStringLiteral(" "));
        break;
    case KeyAction::Clear:
        m_spelling.clear();
        refreshCandidates();
        EntryTyping::clear(m_entry);
        break;
    case KeyAction::Hide:
        hideKeyboard();
        break;
    case KeyAction::SwitchLayout:
        setCurrentLayout(key.target);
        break;
    }
}

void OnScreenKeyboard::spell(const QString& letters)
{
    if (m_spelling.size() + letters.size() > MaxSpelling)
        return;
    m_spelling += letters;
    refreshCandidates();
}

void OnScreenKeyboard::refreshCandidates()
{
    const QString spelling = m_spelling;
    PinyinCandidates& pinyin = PinyinCandidates::shared();
    const int total = spelling.isEmpty() ? 0 : pinyin.count(spelling);
    m_bar->setCandidates(spelling, total, [spelling](int first, int number) {
        return PinyinCandidates::shared().candidates(spelling, first, number);
    });
}

void OnScreenKeyboard::choose(int index)
{
    if (m_spelling.isEmpty() || !m_entry)
        return;
    PinyinCandidates& pinyin = PinyinCandidates::shared();
    const QStringList word = pinyin.candidates(m_spelling, index, 1);
    if (word.isEmpty())
        return;
    const int covered = pinyin.lettersCovered(m_spelling, index);
    EntryTyping::commit(m_entry, word[0]);
    // The syllables the word left over are spelled on.
    m_spelling.remove(0, std::max(covered, 1));
    refreshCandidates();
}

QRect OnScreenKeyboard::keyRect(const QString& caption) const
{
    for (const QPushButton* button : findChildren<QPushButton*>()) {
        if (button->text() == caption && button->isVisibleTo(this))
            return QRect(button->mapTo(this, QPoint()), button->size());
    }
    return QRect();
}

bool OnScreenKeyboard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && watched->isWidgetType()
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (QWidget* entry = entryAt(static_cast<QWidget*>(watched), m_screen))
            showFor(entry);
    } else if (event->type() == QEvent::Hide && watched == m_entry && isVisible()) {
        hideKeyboard();
    } else if (event->type() == QEvent::Resize && watched == m_screen && isVisible() && !m_dock.isGrown()) {
        // The screen lays out its controls from their places as they were.
        m_dock.dropBand();
        QTimer::singleShot(0, this, [this]() {
            if (isVisible()) {
                dock();
                buildKeys();
            }
        });
    }
    return false;
}

} // namespace glimora::ui
