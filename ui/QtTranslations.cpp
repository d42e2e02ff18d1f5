#include "ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace glimora::ui {

QtTranslations::QtTranslations(const QString& directory)
{
    // Named, not by the desktop's locale: the screens are Chinese whatever LANG says.
    m_loaded = m_translator.load(QStringLiteral("qtbase_zh_CN"), directory)
        && QCoreApplication::installTranslator(&m_translator);
}

QtTranslations::~QtTranslations()
{
    if (m_loaded)
        QCoreApplication::removeTranslator(&m_translator);
}

QString QtTranslations::defaultDirectory()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

} // namespace glimora::ui
