#include "tests/support/TempWorkspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

#ifndef GLIMORA_TEST_DATA_DIR
#define GLIMORA_TEST_DATA_DIR ""
#endif

TempWorkspace::TempWorkspace()
    : m_previous(QDir::currentPath())
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary directory");
    QDir::setCurrent(m_dir.path());
}

TempWorkspace::~TempWorkspace()
{
    QDir::setCurrent(m_previous);
}

QString TempWorkspace::path() const
{
    return m_dir.path();
}

QString TempWorkspace::filePath(const QString& name) const
{
    return m_dir.filePath(name);
}

void TempWorkspace::writeFile(const QString& name, const QByteArray& content) const
{
    QFile file(filePath(name));
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        throw std::runtime_error("cannot write " + name.toStdString());
}

QByteArray TempWorkspace::readFile(const QString& name) const
{
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void TempWorkspace::seedFromTestData(const QString& name) const
{
    const QString source = QStringLiteral(GLIMORA_TEST_DATA_DIR "/") + name;
    QFile::remove(filePath(name));
    if (!QFile::copy(source, filePath(name)))
        throw std::runtime_error("cannot copy test data " + name.toStdString());
    QFile::setPermissions(filePath(name), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
