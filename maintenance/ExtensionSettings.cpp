#include "maintenance/ExtensionSettings.h"

#include "query/LinkTemplate.h"
#include "query/SearchIndex.h"
#include "settings/PrintSetting.h"
#include "settings/ScheduleSetting.h"
#include "settings/SettingsFile.h"
#include "settings/SnapshotSetting.h"
#include "settings/StatusSetting.h"

#include <QStringList>

namespace glimora::maintenance {

namespace {

struct Section
{
    const char* name;
    QStringList keys;
    QStringList counts; // keys whose value is a whole number, 0 or more
};

const QList<Section>& sections()
{
    static const QList<Section> list {
        { "search", { QStringLiteral("columns") }, {} },
        { "backup", { QStringLiteral("snapshotdir") }, {} },
        { "schedule",
            { QStringLiteral("backup"), QStringLiteral("backupdir"), QStringLiteral("keepdaily"),
                QStringLiteral("keepweekly"), QStringLiteral("keepmonthly") },
            { QStringLiteral("keepdaily"), QStringLiteral("keepweekly"), QStringLiteral("keepmonthly") } },
        { "status", { QStringLiteral("station"), QStringLiteral("interval") },
            { QStringLiteral("interval") } },
        { "print",
            { QStringLiteral("printer"), QStringLiteral("pdf"), QStringLiteral("paper"),
                QStringLiteral("records"), QStringLiteral("limit"), QStringLiteral("link") },
            { QStringLiteral("limit") } },
    };
    return list;
}

const Section* find(const QString& name)
{
    for (const Section& section : sections()) {
        if (name == QLatin1String(section.name))
            return &section;
    }
    return nullptr;
}

QString lineRefused(int number, const QString& why)
{
    return QString::fromUtf8("第 %1 行%2，设置未保存。").arg(number).arg(why);
}

} // namespace

bool ExtensionSettings::inUse()
{
    return query::SearchIndex::enabled() || settings::SnapshotSetting::enabled()
        || settings::ScheduleSetting::enabled() || settings::StatusSetting::enabled()
        || settings::PrintSetting::enabled();
}

QString ExtensionSettings::text()
{
    QStringList lines;
    for (const Section& section : sections()) {
        const QString name = QLatin1String(section.name);
        lines.append(QLatin1Char('[') + name + QLatin1Char(']'));
        for (const QString& key : section.keys)
            lines.append(key + QLatin1Char('=') + settings::ReadSetting(name, key, QString()));
    }
    return lines.join(QLatin1Char('\n'));
}

ExtensionSettings::Parsed ExtensionSettings::parse(
    const QString& text, const query::FieldCatalogue& catalogue)
{
    Parsed parsed;
    const Section* current = nullptr;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = find(line.mid(1, line.size() - 2).trimmed());
            if (!current)
                return { {}, lineRefused(n + 1, QString::fromUtf8("的节 %1 不在这里设置").arg(line)) };
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(equals).trimmed();
        if (!current || equals < 0 || !current->keys.contains(key))
            return { {}, lineRefused(n + 1, QString::fromUtf8("不是这里可以设置的项：%1").arg(line)) };
        const QString value = line.mid(equals + 1).trimmed();
        bool number = true;
        if (current->counts.contains(key) && !value.isEmpty() && (value.toInt(&number) < 0 || !number))
            return { {}, lineRefused(n + 1, QString::fromUtf8("的 %1 应是不小于 0 的整数").arg(key)) };
        if (QLatin1String(current->name) == QLatin1String("print") && key == QLatin1String("link")) {
            const QString refusal = query::validateLinkTemplate(value, catalogue);
            if (!refusal.isEmpty())
                return { {}, lineRefused(n + 1, QString::fromUtf8("的记录链接无法使用：") + refusal) };
        }
        parsed.entries.append({ QLatin1String(current->name), key, value });
    }
    return parsed;
}

bool ExtensionSettings::write(const QList<Entry>& entries)
{
    for (const Entry& entry : entries) {
        if (!settings::WriteSetting(entry.section, entry.key, entry.value))
            return false;
    }
    return true;
}

} // namespace glimora::maintenance
