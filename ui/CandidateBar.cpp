#include "ui/CandidateBar.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>

namespace glimora::ui {

namespace {

constexpr int MaxFetch = 24;

} // namespace

CandidateBar::CandidateBar(QWidget* parent)
    : QWidget(parent)
    , m_spelling(new QLabel(this))
    , m_previous(makeButton(QStringLiteral("◀")))
    , m_next(makeButton(QStringLiteral("▶")))
{
    setObjectName(QStringLiteral("candidateBar"));
    m_spelling->setObjectName(QStringLiteral("spelling"));
    m_spelling->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(m_previous, &QPushButton::clicked, this, &CandidateBar::previousPage);
    connect(m_next, &QPushButton::clicked, this, &CandidateBar::nextPage);
    installEventFilter(this);
    fillPage();
}

QPushButton* CandidateBar::makeButton(const QString& caption)
{
    auto* button = new QPushButton(caption, this);
    // The entry keeps the focus, and the cursor with it.
    button->setFocusPolicy(Qt::NoFocus);
    button->installEventFilter(this);
    return button;
}

void CandidateBar::setKeySide(int side)
{
    m_side = side;
    QFont font = this->font();
    font.setPixelSize(std::max(16, side * 9 / 20));
    // Set on each: a class font of the application's buttons would win over the strip's.
    setFont(font);
    m_spelling->setFont(font);
    m_previous->setFont(font);
    m_next->setFont(font);
    fillPage();
}

void CandidateBar::setCandidates(const QString& spelling, int total, Fetch fetch)
{
    m_spelling->setText(spelling);
    m_total = spelling.isEmpty() ? 0 : total;
    m_fetch = std::move(fetch);
    m_start = 0;
    m_previousStarts.clear();
    fillPage();
}

QStringList CandidateBar::shownWords() const
{
    QStringList words;
    for (const QPushButton* button : m_words)
        words << button->text();
    return words;
}

void CandidateBar::nextPage()
{
    if (m_start + int(m_words.size()) >= m_total || m_words.isEmpty())
        return;
    m_previousStarts << m_start;
    m_start += int(m_words.size());
    fillPage();
}

void CandidateBar::previousPage()
{
    if (m_previousStarts.isEmpty())
        return;
    m_start = m_previousStarts.takeLast();
    fillPage();
}

void CandidateBar::resizeEvent(QResizeEvent*)
{
    fillPage();
}

void CandidateBar::fillPage()
{
    // Later: a tap on a word may be what refills the strip.
    for (QPushButton* button : m_words) {
        button->hide();
        button->deleteLater();
    }
    m_words.clear();
    const int gap = std::max(4, m_side / 8);
    const int height = this->height() - 2 * gap;
    const int spellingWidth = m_side * 5 / 2;
    m_spelling->setGeometry(gap, gap, spellingWidth, height);
    m_next->setGeometry(width() - gap - m_side, gap, m_side, height);
    m_previous->setGeometry(m_next->x() - gap - m_side, gap, m_side, height);

    const int right = m_previous->x() - gap;
    int x = m_spelling->geometry().right() + gap;
    const QStringList words = m_fetch && m_total > 0 ? m_fetch(m_start, MaxFetch) : QStringList();
    for (int i = 0; i < words.size(); ++i) {
        const int wordWidth = std::max(m_side, fontMetrics().horizontalAdvance(words[i]) + m_side * 2 / 3);
        if (x + wordWidth > right && !m_words.isEmpty())
            break;
        QPushButton* button = makeButton(words[i]);
        button->setObjectName(QStringLiteral("candidate"));
        button->setFont(font());
        const int index = m_start + i;
        connect(button, &QPushButton::clicked, this, [this, index]() { emit chosen(index); });
        button->setGeometry(x, gap, std::min(wordWidth, right - x), height);
        button->show();
        m_words << button;
        x += wordWidth + gap;
    }
    m_previous->setEnabled(!m_previousStarts.isEmpty());
    m_next->setEnabled(m_start + int(m_words.size()) < m_total);
}

// A sideways swipe over the strip turns the page and chooses nothing.
bool CandidateBar::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        m_pressX = widget->mapTo(this, mouse->position().toPoint()).x();
        m_pressed = mouse->button() == Qt::LeftButton;
        m_swiped = false;
        return false;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_pressed || m_swiped || !(mouse->buttons() & Qt::LeftButton))
            return m_swiped;
        const int dx = widget->mapTo(this, mouse->position().toPoint()).x() - m_pressX;
        if (std::abs(dx) < m_side)
            return false;
        m_swiped = true;
        if (auto* button = qobject_cast<QPushButton*>(widget))
            button->setDown(false);
        // Deferred: the page's buttons, the pressed one among them, are replaced.
        QMetaObject::invokeMethod(
            this, [this, dx]() { dx < 0 ? nextPage() : previousPage(); }, Qt::QueuedConnection);
        return true;
    }
    case QEvent::MouseButtonRelease: {
        m_pressed = false;
        const bool swiped = m_swiped;
        m_swiped = false;
        return swiped;
    }
    default:
        return false;
    }
}

} // namespace glimora::ui
