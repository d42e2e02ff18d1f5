#include "tests/support/CommaDecimalLocale.h"

#include <clocale>
#include <cstdlib>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

constexpr char LocaleName[] = "de_DE.UTF-8";

bool commaIsTheMark()
{
    const std::lconv* conventions = std::localeconv();
    return conventions && conventions->decimal_point && conventions->decimal_point[0] == ',';
}

bool trySwitch()
{
    return std::setlocale(LC_ALL, LocaleName) && commaIsTheMark();
}

// Compiles the locale into `folder`/de_DE.UTF-8 unless a previous run did; the compiled
// folder appears by one rename, so two test processes never see half of it.
QString compileLocale(const QString& folder)
{
    const QString target = folder + QLatin1Char('/') + QLatin1String(LocaleName);
    if (QFileInfo::exists(target + QStringLiteral("/LC_NUMERIC")))
        return {};
    QDir().mkpath(folder);
    const QString building = folder + QStringLiteral("/building-%1").arg(QCoreApplication::applicationPid());
    QDir(building).removeRecursively();
    QDir().mkpath(building);
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"),
        { QStringLiteral("-i"), QStringLiteral("de_DE"), QStringLiteral("-f"), QStringLiteral("UTF-8"),
            building + QLatin1Char('/') + QLatin1String(LocaleName) });
    if (!localedef.waitForFinished(300000) || localedef.exitStatus() != QProcess::NormalExit
        || localedef.exitCode() > 1) {
        const QString output = QString::fromLocal8Bit(localedef.readAllStandardError());
        QDir(building).removeRecursively();
        return QStringLiteral("localedef -i de_DE -f UTF-8 failed (is the package locales installed?): ")
            + localedef.errorString() + QLatin1Char(' ') + output;
    }
    if (!QDir().rename(building + QLatin1Char('/') + QLatin1String(LocaleName), target)
        && !QFileInfo::exists(target + QStringLiteral("/LC_NUMERIC")))
        return QStringLiteral("could not move the compiled locale to ") + target;
    QDir(building).removeRecursively();
    return {};
}

} // namespace

CommaDecimalLocale::CommaDecimalLocale()
    : m_previousLocale(std::setlocale(LC_ALL, nullptr))
{
    if (trySwitch()) {
        m_active = true;
        return;
    }
    m_hadLocPath = qEnvironmentVariableIsSet("LOCPATH");
    m_previousLocPath = qgetenv("LOCPATH");
    const QString folder = QDir::tempPath() + QStringLiteral("/glimora-test-locales");
    m_problem = compileLocale(folder);
    if (!m_problem.isEmpty())
        return;
    qputenv("LOCPATH", QFile::encodeName(folder));
    m_active = trySwitch();
    if (!m_active)
        m_problem = QStringLiteral("setlocale(LC_ALL, \"de_DE.UTF-8\") failed with LOCPATH=") + folder;
}

CommaDecimalLocale::~CommaDecimalLocale()
{
    std::setlocale(LC_ALL, m_previousLocale.constData());
    if (m_hadLocPath)
        qputenv("LOCPATH", m_previousLocPath);
    else
        qunsetenv("LOCPATH");
}
