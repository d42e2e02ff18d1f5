#pragma once

namespace glimora::settings {

// The switches of section `show` that change how the query screen offers its choices. Each is off
// in a bare uinfo.ini, where the screen keeps its original look and statements.
class ChoiceSetting
{
public:
    // `counts`: each value button and filter-list entry shows how many records it leads to.
    static bool counts();
    static bool setCounts(bool on); // false when uinfo.ini cannot be written
    // `multiselect`: a filter list takes several values, any of which a record may hold.
    static bool multiSelect();
    static bool setMultiSelect(bool on);
    // `tidy`: value buttons without a value are hidden, and the rest spread over their rows.
    static bool tidy();
    static bool setTidy(bool on);
};

} // namespace glimora::settings
