// The home page: shown over the display area while nobody touches the station, hidden at
// the first key or button press.
#include "query/QueryDialog.h"
#include "query/ReadAloudVoice.h"

#include "components/CWebBrowser2.h"
#include "platform/IdleClock.h"
#include "settings/SettingsFile.h"
#include "ui/DropDownCombo.h"
#include "ui/OkMessageBox.h"
#include "ui/OnScreenKeyboard.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

namespace glimora::query {

QString QueryDialog::homePageAddress()
{
    const QString page = QStringLiteral("/first/flash.htm");
    QString home
        = settings::ReadSetting(QStringLiteral("system"), QStringLiteral("home"), QString()).trimmed();
    if (home.isEmpty())
        return QUrl::fromLocalFile(settings::settingsDirectory() + page).toString();
    while (home.endsWith(QLatin1Char('/')))
        home.chop(1);
    return home + page;
}

void QueryDialog::lockIn()
{
    m_lockedIn = true;
    if (m_browser)
        m_browser->lockTo(components::HomeSiteRule(components::CWebBrowser2::addressUrl(homePageAddress())));
}

bool QueryDialog::homePageShown() const
{
    return m_browser && !m_browser->isHidden() && !m_browser->size().isEmpty();
}

void QueryDialog::OnTimer(int)
{
    IdleCheck();
}

void QueryDialog::IdleCheck()
{
    const int topBlank
        = settings::ReadSettingInt(QStringLiteral("show"), QStringLiteral("topblank"), QStringLiteral("50"));
    const quint32 idle = platform::IdleClock::current().idleMilliseconds();
    const quint32 threshold = quint32(100)
        * quint32(
            settings::ReadSettingInt(QStringLiteral("system"), QStringLiteral("time"), QStringLiteral("2")));
    if (idle <= threshold)
        return;
    stopTimer(0);
    // Left open, a box or a list would stand over the home page and take the first tap.
    ui::OkMessageBox::closeOpen();
    for (int n = 1; n <= FilterCount; ++n) {
        if (filterList(n)->view()->isVisible())
            filterList(n)->hidePopup();
    }
    // The next visitor starts from the home page, not from someone's half-typed entry.
    if (ui::OnScreenKeyboard* keyboard = ui::OnScreenKeyboard::of(this))
        keyboard->hideKeyboard();
    control(1169)->hide();
    // The next visitor neither hears nor is read the record the last one touched.
    if (m_voice)
        m_voice->stop();
    m_touchedRow = -1;
    // The next visitor starts from the screen's own text size.
    if (m_largeTextButton && m_largeText != startsLarge())
        setLargeText(startsLarge());
    if (!m_browser)
        return;
    m_browser->setGeometry(0, topBlank, width(), displayBottom() - topBlank);
    m_browser->show();
    m_browser->raise();
}

void QueryDialog::inputSeen()
{
    if (m_browser)
        m_browser->setGeometry(0, 0, 0, 0);
    if (m_pictureView && m_pictureState == PictureState::Picture)
        control(1169)->show();
    setTimer(0, 200);
}

bool QueryDialog::OnKeyPreTranslate(QWidget*, QKeyEvent* event)
{
    if (event->type() == QEvent::KeyPress)
        inputSeen();
    return false;
}

bool QueryDialog::OnMousePreTranslate(QWidget* receiver, QMouseEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress
        && (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)) {
        inputSeen();
        // The result page is painted on the screen itself.
        if (receiver == this && event->button() == Qt::LeftButton)
            noteTouchedRow(event->position().toPoint());
    }
    return false;
}

} // namespace glimora::query
