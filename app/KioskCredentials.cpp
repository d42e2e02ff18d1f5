#include "app/KioskCredentials.h"

#include "platform/SecretFile.h"
#include "settings/AsciiBlanks.h"
#include "settings/SettingsFile.h"

#include <QDir>

namespace glimora::app {

namespace {

QString utf8(const char* text)
{
    return QString::fromUtf8(text);
}

bool fromServiceManager()
{
    return !qEnvironmentVariableIsEmpty("CREDENTIALS_DIRECTORY");
}

QString filePath()
{
    if (fromServiceManager())
        return QDir(qEnvironmentVariable("CREDENTIALS_DIRECTORY")).filePath(QStringLiteral("glimora-login"));
    return QDir(settings::settingsDirectory()).filePath(QStringLiteral("login.credentials"));
}

} // namespace

QString KioskCredentials::location()
{
    // The unit names the file it loads the credential from, which is the one to mend.
    const QString source = qEnvironmentVariable("GLIMORA_CREDENTIAL_SOURCE");
    if (fromServiceManager() && !source.isEmpty())
        return source;
    return QDir::toNativeSeparators(filePath());
}

std::optional<KioskCredentials> KioskCredentials::read(QString& problem)
{
    // The service manager's copy is its own to protect; the station's file is checked here.
    const platform::SecretFile file = platform::SecretFile::read(filePath(), !fromServiceManager());
    switch (file.status) {
    case platform::SecretFile::Status::Missing:
        problem = utf8("找不到登录凭据文件 %1。").arg(location());
        return std::nullopt;
    case platform::SecretFile::Status::Unreadable:
        problem = utf8("无法读取登录凭据文件 %1：%2。").arg(location(), file.error);
        return std::nullopt;
    case platform::SecretFile::Status::NotPrivate:
        problem = utf8("登录凭据文件 %1 不受保护（属于 %2，权限 %3）：它必须属于 %4，权限为 0600 或 0400。")
                      .arg(location(), file.owner,
                          QStringLiteral("%1").arg(file.mode, 4, 8, QLatin1Char('0')), file.user);
        return std::nullopt;
    case platform::SecretFile::Status::Read:
        break;
    }
    return parse(file.content, location(), problem);
}

std::optional<KioskCredentials> KioskCredentials::parse(
    const QByteArray& text, const QString& location, QString& problem)
{
    KioskCredentials values;
    const struct
    {
        QLatin1String key;
        QString* value;
    } fields[] = { { QLatin1String("server"), &values.server }, { QLatin1String("user"), &values.user },
        { QLatin1String("password"), &values.password } };
    bool blank = true;
    for (const QByteArray& rawLine : text.split('\n')) {
        const QString line = settings::withoutAsciiBlanks(QString::fromUtf8(rawLine));
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        blank = false;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = settings::withoutAsciiBlanks(line.left(equals)).toLower();
        for (const auto& field : fields) {
            if (equals > 0 && key == field.key)
                *field.value = settings::withoutAsciiBlanks(line.mid(equals + 1));
        }
    }
    // The unit's stand-in for a missing file is a comment.
    if (blank) {
        problem = utf8("登录凭据文件 %1 不存在或是空的。").arg(location);
        return std::nullopt;
    }
    // Never an empty password, nor a guess at a server or login.
    for (const auto& field : fields) {
        if (field.value->isEmpty()) {
            problem = utf8("登录凭据文件 %1 缺少 %2= 一行，或其值为空。").arg(location, field.key);
            return std::nullopt;
        }
    }
    values.server = values.server.toUpper();
    return values;
}

} // namespace glimora::app
