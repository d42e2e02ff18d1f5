#pragma once

#include <QString>
#include <stdexcept>

namespace glimora::engine {

// A workbook that cannot be read. what() is a complete message in UTF-8 that names the file.
class WorkbookError : public std::runtime_error
{
public:
    enum class Reason { MissingFile, MissingSheet, Damaged, PasswordProtected, TooLarge, NotAWorkbook };

    WorkbookError(Reason reason, const QString& message);

    Reason reason() const { return m_reason; }

    // The standard message for each reason, naming the file (and the sheet where it matters).
    static WorkbookError missingFile(const QString& path);
    static WorkbookError missingSheet(const QString& path, const QString& sheetName);
    static WorkbookError damaged(const QString& path, const QString& detail = QString());
    static WorkbookError passwordProtected(const QString& path);
    static WorkbookError tooLarge(const QString& path, const QString& detail);
    static WorkbookError notAWorkbook(const QString& path);

private:
    Reason m_reason;
};

} // namespace glimora::engine
