#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace glimora::query {

class FieldCatalogue;

// The record link of the QR code: a text with the record's values put in for each {column},
// for example "https://intranet.example/item?id={d60}".
class LinkTemplate
{
public:
    explicit LinkTemplate(const QString& text);

    bool isEmpty() const { return m_text.trimmed().isEmpty(); }
    // The columns named, in order; a placeholder that is no column name is kept as written.
    QStringList columns() const { return m_columns; }
    // Why the template cannot be used with this catalogue, or "" when it can.
    QString refusal(const FieldCatalogue& catalogue) const;

    // The link with each value, percent-encoded, in its place: a value cannot change the
    // link's path or parameters. Empty when the template is empty or refused, or when a
    // column has no value (a link without its key leads nowhere).
    QString expand(const std::function<QString(const QString& column)>& value) const;

private:
    QString m_text;
    QStringList m_columns;
    bool m_balanced = true;
};

// For the settings editor, on saving `[print] link=`: the message refusing the template, or ""
// when it names only catalogued columns (an empty template switches the QR code off).
QString validateLinkTemplate(const QString& text, const FieldCatalogue& catalogue);

} // namespace glimora::query
