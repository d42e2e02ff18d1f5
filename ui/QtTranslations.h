#pragma once

#include <QString>
#include <QTranslator>

namespace glimora::ui {

// Qt's own texts (the buttons of the message boxes, the labels of the file dialog) in
// Chinese, as every other text of the screens is, for as long as this object lives. Without
// the translation file they stay English, and the station starts all the same.
class QtTranslations
{
public:
    // `directory` holds qtbase_zh_CN.qm; by default Qt's own translation folder.
    explicit QtTranslations(const QString& directory = defaultDirectory());
    ~QtTranslations();
    QtTranslations(const QtTranslations&) = delete;
    QtTranslations& operator=(const QtTranslations&) = delete;

    bool loaded() const { return m_loaded; }

    static QString defaultDirectory();

private:
    QTranslator m_translator;
    bool m_loaded = false;
};

} // namespace glimora::ui
