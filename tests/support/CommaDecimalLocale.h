#pragma once

#include <QByteArray>
#include <QString>

// Switches the whole process to a locale whose decimal mark is a comma (de_DE.UTF-8) for
// the lifetime of the object, and back to the one it had afterwards. When the machine has no
// such locale installed it is compiled once with localedef into a folder under the temporary
// directory, which later runs reuse. active() is false only when neither works; the tests
// then fail rather than skip.
class CommaDecimalLocale
{
public:
    CommaDecimalLocale();
    ~CommaDecimalLocale();
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;

    bool active() const { return m_active; }
    // What went wrong when active() is false.
    QString problem() const { return m_problem; }

private:
    bool m_active = false;
    QString m_problem;
    QByteArray m_previousLocale;
    QByteArray m_previousLocPath;
    bool m_hadLocPath = false;
};
