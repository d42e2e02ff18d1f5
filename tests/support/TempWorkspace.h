#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh working directory for one test: the process changes into it for the
// lifetime of the object and returns to the previous directory afterwards.
class TempWorkspace
{
public:
    TempWorkspace();
    ~TempWorkspace();
    TempWorkspace(const TempWorkspace&) = delete;
    TempWorkspace& operator=(const TempWorkspace&) = delete;

    QString path() const;
    QString filePath(const QString& name) const;

    // Writes raw bytes to a file of the workspace (for example a uinfo.ini in GBK).
    void writeFile(const QString& name, const QByteArray& content) const;
    QByteArray readFile(const QString& name) const;

    // Copies a file from tests/fixtures into the workspace, under `targetName` when given.
    void seedFromTestData(const QString& name, const QString& targetName = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
