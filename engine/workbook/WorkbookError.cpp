#include "engine/workbook/WorkbookError.h"

namespace glimora::engine {

WorkbookError::WorkbookError(Reason reason, const QString& message)
    : std::runtime_error(message.toStdString())
    , m_reason(reason)
{
}

WorkbookError WorkbookError::missingFile(const QString& path)
{
    return { Reason::MissingFile,
        QStringLiteral("The workbook '%1' does not exist or cannot be opened.").arg(path) };
}

WorkbookError WorkbookError::missingSheet(const QString& path, const QString& sheetName)
{
    return { Reason::MissingSheet,
        QStringLiteral("The workbook '%1' has no worksheet named '%2'.").arg(path, sheetName) };
}

WorkbookError WorkbookError::damaged(const QString& path, const QString& detail)
{
    QString message = QStringLiteral("The workbook '%1' is damaged and cannot be read").arg(path);
    if (!detail.isEmpty())
        message += QStringLiteral(" (%1)").arg(detail);
    return { Reason::Damaged, message + QLatin1Char('.') };
}

WorkbookError WorkbookError::passwordProtected(const QString& path)
{
    return { Reason::PasswordProtected,
        QStringLiteral("The workbook '%1' is protected by a password and cannot be read.").arg(path) };
}

WorkbookError WorkbookError::tooLarge(const QString& path, const QString& detail)
{
    return { Reason::TooLarge,
        QStringLiteral("The workbook '%1' is too large to read (%2).").arg(path, detail) };
}

WorkbookError WorkbookError::notAWorkbook(const QString& path)
{
    return { Reason::NotAWorkbook,
        QStringLiteral("The file '%1' is not an Excel workbook (.xls or .xlsx).").arg(path) };
}

} // namespace glimora::engine
