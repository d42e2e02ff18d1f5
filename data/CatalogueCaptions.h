#pragma once

#include <QString>

namespace glimora::data {

// The two caption rows of the catalogue (nober 100 and 101): the company name and the
// report title. The back-office menu loads them when it opens; the configuration screen
// shows them and keeps them in step with what it saves.
struct CatalogueCaptions
{
    QString companyName;
    QString reportTitle;

    static CatalogueCaptions& shared()
    {
        static CatalogueCaptions captions;
        return captions;
    }

    static const QString& statement();

    // Reads the caption rows through the shared command into the shared record set. No row
    // gives two empty texts, a missing second row an empty title. Raises DbError.
    static CatalogueCaptions read();
};

} // namespace glimora::data
