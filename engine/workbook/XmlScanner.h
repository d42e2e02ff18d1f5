#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace glimora::engine {

// A small pull scanner for the large XML parts of a workbook (a worksheet, the shared texts),
// many times faster than a general XML reader: UTF-8 as it is inflated, elements, attributes,
// text with the five named and the numeric entities, CDATA, comments and processing
// instructions. Documents with a DTD are refused outright, so no entity is ever declared;
// every read is checked against the data at hand, and unbalanced tags make the part damaged.
class XmlScanner
{
public:
    enum class Token { StartElement, EndElement, Text, NeedMore };

    // path and part name the errors (WorkbookError).
    XmlScanner(QString path, QString part);

    // The tokens and views handed out before stay valid until the next append.
    void append(std::string_view data);
    // The next token, or NeedMore when the data at hand ends within one. Throws WorkbookError.
    Token next();
    // All data is in: throws WorkbookError unless the document ended.
    void finish() const;

    // Of the current element: its name without a namespace prefix, and whether it is "<x/>".
    std::string_view name() const { return m_name; }
    bool selfClosing() const { return m_selfClosing; }
    // Appends the value of the attribute of that (unprefixed) name; false when it is absent.
    bool attribute(std::string_view name, std::string& value);
    // Appends the current text, entities resolved, as valid UTF-8.
    void appendText(std::string& target) const;

private:
    [[noreturn]] void damaged(const char* what) const;
    void decode(std::string_view raw, bool attributeValue, std::string& target) const;
    Token startTag(size_t end);
    void splitAttributes();

    QString m_path;
    QString m_part;
    std::string m_data;
    size_t m_position = 0;
    std::vector<std::string> m_open; // names of the open elements, for balance
    bool m_begun = false; // past the first markup
    bool m_rootSeen = false;
    std::string_view m_name;
    std::string_view m_attributes;
    bool m_attributesSplit = false;
    std::vector<std::pair<std::string_view, std::string_view>> m_attributeList;
    std::string_view m_text;
    bool m_textIsRaw = false; // CDATA
    bool m_selfClosing = false;
};

} // namespace glimora::engine
