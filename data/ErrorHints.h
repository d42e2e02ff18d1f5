#pragma once

#include <QString>

namespace glimora::data {

class DbError;

// What a person reads of a refusal by the server or the data layer. With the setting `hints`
// of section `system` on, a refusal that the table knows reads as a Chinese sentence saying
// what to do, with the server's own text and number below it; every other refusal, and every
// one while the setting is off, reads as the server's text alone, as it always did.
class ErrorHints
{
public:
    static QString text(const DbError& error);

    static bool enabled();
    static bool setEnabled(bool on); // false when uinfo.ini cannot be written
};

} // namespace glimora::data
