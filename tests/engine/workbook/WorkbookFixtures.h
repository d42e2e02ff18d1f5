#pragma once

#include "engine/workbook/WorkbookReader.h"

#include <QByteArray>
#include <QString>

// Paths and contents of the generated workbooks in tests/fixtures/workbooks.
QString fixturePath(const QString& name);
QByteArray fixtureBytes(const QString& name);

// Reads a sheet and returns the reason it was refused; fails the test when it was not.
glimora::engine::WorkbookError::Reason refusalReason(const QString& path, const QString& sheet);
