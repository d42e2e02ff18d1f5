#include "components/HomeSiteRule.h"

#include <QDir>

namespace glimora::components {

namespace {

bool isWeb(const QUrl& url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

int portOf(const QUrl& url)
{
    return url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
}

// The path with "." and ".." resolved, so that "../" cannot climb out of the folder.
QString cleanLocalPath(const QUrl& url)
{
    return QDir::cleanPath(url.toLocalFile());
}

} // namespace

HomeSiteRule::HomeSiteRule(const QUrl& homePage)
{
    if (!homePage.isValid())
        return;
    if (homePage.isLocalFile()) {
        const QString path = cleanLocalPath(homePage);
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        if (slash < 0)
            return;
        m_folder = path.left(slash + 1);
        m_home = homePage;
    } else if (isWeb(homePage) && !homePage.host().isEmpty()) {
        m_home = homePage;
    }
}

bool HomeSiteRule::allows(const QUrl& url) const
{
    if (m_home.isEmpty() || !url.isValid())
        return false;
    if (!m_folder.isEmpty())
        return url.isLocalFile() && url.host().isEmpty() && cleanLocalPath(url).startsWith(m_folder);
    // QUrl keeps scheme and host in lower case, so equal sites compare equal.
    return url.scheme() == m_home.scheme() && url.host() == m_home.host() && portOf(url) == portOf(m_home);
}

} // namespace glimora::components
