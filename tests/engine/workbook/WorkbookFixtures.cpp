#include "tests/engine/workbook/WorkbookFixtures.h"

#include <gtest/gtest.h>
#include <QFile>

using namespace glimora::engine;

QString fixturePath(const QString& name)
{
    return QStringLiteral(GLIMORA_WORKBOOK_FIXTURES "/") + name;
}

QByteArray fixtureBytes(const QString& name)
{
    QFile file(fixturePath(name));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "missing fixture " << name.toStdString();
    return file.readAll();
}

WorkbookError::Reason refusalReason(const QString& path, const QString& sheet)
{
    try {
        readWorkbookSheet(path, sheet, false);
    } catch (const WorkbookError& error) {
        EXPECT_NE(std::string(error.what()).find(path.toStdString()), std::string::npos)
            << "the message should name the file: " << error.what();
        return error.reason();
    }
    ADD_FAILURE() << path.toStdString() << " was read without complaint";
    return WorkbookError::Reason::Damaged;
}
