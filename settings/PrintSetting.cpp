#include "settings/PrintSetting.h"

#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <QDir>

namespace glimora::settings {

namespace {

const QString section = QStringLiteral("print");

QString value(const char* key)
{
    return ReadSetting(section, QString::fromLatin1(key), QString()).trimmed();
}

} // namespace

bool PrintSetting::enabled()
{
    return value("enabled") == QLatin1String("1");
}

bool PrintSetting::setEnabled(bool on)
{
    if (on == enabled())
        return true;
    return WriteSetting(section, QStringLiteral("enabled"), on ? QStringLiteral("1") : QStringLiteral("0"));
}

bool PrintSetting::printing()
{
    return enabled() && (!printer().isEmpty() || !pdfFolder().isEmpty());
}

QString PrintSetting::printer()
{
    return value("printer");
}

QString PrintSetting::pdfFolder()
{
    const QString configured = value("pdf");
    return configured.isEmpty() ? QString()
                                : QDir(Settings::instance().directory).absoluteFilePath(configured);
}

PrintSetting::Paper PrintSetting::paper()
{
    return value("paper").compare(QLatin1String("receipt"), Qt::CaseInsensitive) == 0 ? Paper::Receipt
                                                                                      : Paper::A4;
}

bool PrintSetting::allRecords()
{
    return value("records").compare(QLatin1String("all"), Qt::CaseInsensitive) == 0;
}

int PrintSetting::limit()
{
    bool ok = false;
    const int limit = value("limit").toInt(&ok);
    return ok && limit > 0 ? limit : DefaultLimit;
}

QString PrintSetting::linkTemplate()
{
    return enabled() ? value("link") : QString();
}

} // namespace glimora::settings
