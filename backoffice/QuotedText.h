#pragma once

#include <QString>

namespace glimora::backoffice {

// A value as it stands between single quotes in a statement: every quote doubled, so that
// a quote typed or chosen by a person stays part of the value.
inline QString quotedText(const QString& value)
{
    QString text = value;
    text.replace(QLatin1Char('\''), QLatin1String("''"));
    return text;
}

} // namespace glimora::backoffice
