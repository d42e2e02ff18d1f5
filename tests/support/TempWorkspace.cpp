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

void TempWorkspace::seedFromTestData(const QString& name, const QString& targetName) const
{
    const QString source = QStringLiteral(GLIMORA_TEST_DATA_DIR "/") + name;
    const QString target = filePath(targetName.isEmpty() ? name : targetName);
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile::remove(target);
    if (!QFile::copy(source, target))
        throw std::runtime_error("cannot copy test data " + name.toStdString());
    QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}
