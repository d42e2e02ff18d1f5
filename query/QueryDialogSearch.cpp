#include "query/QueryDialog.h"
#include "query/SearchIndex.h"

#include "data/SearchKeys.h"
#include "settings/SettingsFile.h"
#include "ui/SharedFonts.h"

#include <QFontMetrics>
#include <QLineEdit>

#include <algorithm>
#include <QTimer>

namespace glimora::query {

QStringList QueryDialog::searchColumns() const
{
    return SearchIndex::columns();
}

QString QueryDialog::searchFoundNothing() const
{
    return QString::fromUtf8("没有找到与“%1”相符的记录。")
        .arg(m_searchEntry ? m_searchEntry->text().trimmed() : m_searchQuery);
}

void QueryDialog::setUpSearch()
{
    if (!SearchIndex::enabled())
        return;
    m_searchEntry = new QLineEdit(this);
    m_searchEntry->setObjectName(QStringLiteral("searchEntry"));
    m_searchEntry->setFont(ui::sharedFont(2));
    m_searchEntry->setPlaceholderText(QString::fromUtf8("搜索：文字、拼音或首字母"));
    m_searchEntry->setAccessibleName(QString::fromUtf8("搜索"));
    // Letters go straight in: the search itself reads them as pinyin or initials.
    m_searchEntry->setInputMethodHints(Qt::ImhPreferLatin);
    m_searchEntry->setClearButtonEnabled(true);
    placeSearchEntry();
    m_searchEntry->show();
    m_searchEntry->raise();
    m_searchTimer = new QTimer(this);
    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(150);
    connect(m_searchTimer, &QTimer::timeout, this, [this] { OnSearchTimeout(); });
    connect(m_searchEntry, &QLineEdit::textEdited, m_searchTimer, qOverload<>(&QTimer::start));
}

// In the top right corner, clear of the centred title, at the window's size of the moment.
void QueryDialog::placeSearchEntry()
{
    if (!m_searchEntry)
        return;
    constexpr int Margin = 10;
    const int titleWidth = QFontMetrics(ui::sharedFont(2)).horizontalAdvance(reportTitle());
    const int room = width() / 2 - titleWidth / 2 - 2 * Margin;
    // In large text as wide as its hint, up to half the window; the title moves left of it.
    const int hint
        = QFontMetrics(m_searchEntry->font()).horizontalAdvance(m_searchEntry->placeholderText()) + 72;
    const int entryWidth = m_largeText ? std::min(hint, width() / 2 - Margin) : std::clamp(room, 120, 260);
    m_searchEntry->setGeometry(
        width() - entryWidth - Margin, 8, entryWidth, m_searchEntry->sizeHint().height());
}

void QueryDialog::OnSearchTimeout()
{
    const QString query = data::SearchKeys::normalisedQuery(m_searchEntry->text());
    if (query == m_searchQuery || searchColumns().isEmpty())
        return;
    m_searchQuery = query;
    LoadRecords();
}

} // namespace glimora::query
