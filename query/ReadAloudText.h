#pragma once

#include "data/Recordset.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace glimora::query {

class FieldCatalogue;

// What the read-aloud button says, in the order the screen shows it: the summary line, then
// each field the page shows of one record, as its caption and its value.
class ReadAloudText
{
public:
    // The record `offset` rows below the cursor's on the page, which stays where it was; the
    // summary line alone when no record stands there, empty without records. `severalValues`
    // are the lists held to several values, as the page's summary names them.
    static QString ofRecord(const FieldCatalogue& catalogue, data::Recordset cursor,
        const QString& whereClause, int offset, const QHash<QString, QString>& severalValues = {});

    static QString compose(const QString& summary, const QStringList& captions, const QStringList& values);

    // A value as a voice reads it best: a date as its year, month and day.
    static QString spoken(const QString& value);
};

} // namespace glimora::query
