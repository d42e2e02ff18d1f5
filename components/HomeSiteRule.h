#pragma once

#include <QString>
#include <QUrl>

namespace glimora::components {

// Where a locked-in home page may go: the site of the home page and nowhere else. A web
// home keeps to its scheme, host and port; a home page on disk keeps to its own folder.
// Without a home page nothing is allowed.
class HomeSiteRule
{
public:
    HomeSiteRule() = default;
    explicit HomeSiteRule(const QUrl& homePage);

    bool allows(const QUrl& url) const;

private:
    QUrl m_home;
    QString m_folder; // of a home page on disk, ending in '/'
};

} // namespace glimora::components
