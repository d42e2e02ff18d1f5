#pragma once

#include "platform/ChmLibrary.h"

#include <memory>
#include <QByteArray>
#include <QString>

namespace glimora::platform {

// One open compiled help file: its pages and pictures by path, and its context map.
class ChmFile
{
public:
    // nullptr when the file is missing or not a CHM file.
    static std::unique_ptr<ChmFile> open(std::shared_ptr<const ChmLibrary> library, const QString& fileName);
    ~ChmFile();
    ChmFile(const ChmFile&) = delete;
    ChmFile& operator=(const ChmFile&) = delete;

    // Paths inside the file, such as "/login.htm"; the leading slash may be left out.
    bool contains(const QString& path) const;
    // The object's bytes; a null array when it is missing.
    QByteArray read(const QString& path) const;

    // The page that the file's context map binds to the number, or an empty string. The
    // map is the pair list of #IVB pointing into the names of #STRINGS.
    QString pageForContext(quint32 context) const;

private:
    ChmFile(std::shared_ptr<const ChmLibrary> library, chmFile* handle);
    QString existingPage(QString name) const;

    std::shared_ptr<const ChmLibrary> m_library;
    chmFile* m_handle;
};

} // namespace glimora::platform
