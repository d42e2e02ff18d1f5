#include "data/ErrorHints.h"

#include "data/DbError.h"
#include "settings/SettingsFile.h"

namespace glimora::data {

namespace {

struct Hint
{
    long code; // the data layer's own refusals, which carry no server number
    int number; // the server's message number
    const char* sentence;
};

const char* const workbookUnreadable
    = "服务器无法读取所选的 Excel 文件。请确认文件存在、服务器能以这个路径访问它、它没有被其他程序打开，"
      "并检查“系统配置”中导入指令的工作表名称和列名与文件是否相符。";

const Hint hints[] = {
    { DbError::RowConflict, 0,
        "这条记录在您打开之后已被他人修改或删除，您的修改没有保存。表格现在显示数据库中保存的内容，"
        "请核对后重新修改。" },
    { 0, 8152, "内容超过了该列允许的长度，没有保存。请缩短后重试；导入时请检查 Excel 文件中过长的内容。" },
    { 0, 7415,
        "导入数据需要数据库服务器的 sysadmin 或 bulkadmin 角色：Excel 文件由服务器以自己的权限读取。"
        "请用 sa 登录后导入，或请服务器管理员给这个登录加上 bulkadmin 角色。" },
    { 0, 7399, workbookUnreadable },
    { 0, 7303, workbookUnreadable },
    { 0, 7357, workbookUnreadable },
    { 0, 7330, workbookUnreadable },
    { 0, 7403, "服务器上没有导入指令所用的数据提供程序。请检查“系统配置”中导入指令的 openrowset 部分。" },
};

const Hint* hintFor(const DbError& error)
{
    for (const Hint& hint : hints) {
        if (hint.number != 0 ? error.nativeError() == hint.number
                             : error.nativeError() == 0 && error.code() == hint.code)
            return &hint;
    }
    return nullptr;
}

} // namespace

QString ErrorHints::text(const DbError& error)
{
    const Hint* hint = enabled() ? hintFor(error) : nullptr;
    if (!hint)
        return error.description();
    const QString number = error.nativeError() != 0
        ? QString::number(error.nativeError())
        : QStringLiteral("0x") + QString::number(quint32(error.code()), 16).toUpper();
    return QString::fromUtf8(hint->sentence) + QStringLiteral("\n\n") + error.description()
        + QString::fromUtf8("\n错误号 ") + number;
}

bool ErrorHints::enabled()
{
    return settings::ReadSwitch(QStringLiteral("system"), QStringLiteral("hints"));
}

bool ErrorHints::setEnabled(bool on)
{
    return settings::WriteSwitch(QStringLiteral("system"), QStringLiteral("hints"), on);
}

} // namespace glimora::data
