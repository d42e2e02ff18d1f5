#pragma once

#include <QString>

namespace glimora::maintenance {

// A statement fragment as one line of uinfo.ini (which turns line breaks into blanks) that
// still means what it meant over several lines: each "--" comment becomes a "/* */" one,
// so that it ends where its line ended instead of swallowing the lines after it.
struct StatementOnOneLine
{
    enum class Refusal {
        None,
        // A line break inside a quoted text or name: as a blank, the value would change.
        BreakInsideQuotes,
        // A "--" comment holding "/*" or "*/", which would end or nest the block comment.
        CommentMarkInComment,
    };

    QString text; // the fragment to store, when refusal is None
    Refusal refusal = Refusal::None;

    static StatementOnOneLine from(const QString& statement);
};

} // namespace glimora::maintenance
