#include "engine/workbook/XmlScanner.h"

#include "engine/workbook/WorkbookError.h"

#include <cstring>

namespace glimora::engine {

namespace {

// Elements nested deeper than this are no worksheet.
constexpr size_t maximumDepth = 256;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view localName(std::string_view qualified)
{
    const size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

void appendUtf8(char32_t code, std::string& target)
{
    if (code < 0x80) {
        target += char(code);
    } else if (code < 0x800) {
        target += char(0xC0 | (code >> 6));
        target += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        target += char(0xE0 | (code >> 12));
        target += char(0x80 | ((code >> 6) & 0x3F));
        target += char(0x80 | (code & 0x3F));
    } else {
        target += char(0xF0 | (code >> 18));
        target += char(0x80 | ((code >> 12) & 0x3F));
        target += char(0x80 | ((code >> 6) & 0x3F));
        target += char(0x80 | (code & 0x3F));
    }
}

bool isValidUtf8(std::string_view text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        char32_t code;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (size - i < length)
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (bytes[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and code points past Unicode.
        if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF))
            || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

} // namespace

XmlScanner::XmlScanner(QString path, QString part)
    : m_path(std::move(path))
    , m_part(std::move(part))
{
}

void XmlScanner::damaged(const char* what) const
{
    throw WorkbookError::damaged(m_path, QStringLiteral("%1: %2").arg(m_part, QLatin1String(what)));
}

void XmlScanner::append(std::string_view data)
{
    if (m_position > 0) {
        m_data.erase(0, m_position);
        m_position = 0;
    }
    m_data.append(data);
}

XmlScanner::Token XmlScanner::next()
{
    for (;;) {
        const std::string_view rest = std::string_view(m_data).substr(m_position);
        if (rest.empty())
            return Token::NeedMore;
        if (rest.front() != '<') {
            const size_t end = rest.find('<');
            if (end == std::string_view::npos)
                return Token::NeedMore;
            m_text = rest.substr(0, end);
            m_textIsRaw = false;
            m_position += end;
            if (m_open.empty()) {
                std::string_view outside = m_text;
                // A UTF-8 byte order mark may open the document.
                if (!m_begun && outside.starts_with("\xEF\xBB\xBF"))
                    outside.remove_prefix(3);
                for (char c : outside) {
                    if (!isSpace(c))
                        damaged("text outside the document element");
                }
                continue;
            }
            return Token::Text;
        }
        if (rest.size() < 2)
            return Token::NeedMore;
        m_begun = true;
        if (rest[1] == '?') {
            const size_t end = rest.find("?>", 2);
            if (end == std::string_view::npos)
                return Token::NeedMore;
            m_position += end + 2;
            continue;
        }
        if (rest[1] == '!') {
            if (rest.size() < 4)
                return Token::NeedMore;
            if (rest.starts_with("<!--")) {
                const size_t end = rest.find("-->", 4);
                if (end == std::string_view::npos)
                    return Token::NeedMore;
                m_position += end + 3;
                continue;
            }
            if (rest.size() < 9)
                return Token::NeedMore;
            if (rest.starts_with("<![CDATA[")) {
                const size_t end = rest.find("]]>", 9);
                if (end == std::string_view::npos)
                    return Token::NeedMore;
                if (m_open.empty())
                    damaged("text outside the document element");
                m_text = rest.substr(9, end - 9);
                m_textIsRaw = true;
                m_position += end + 3;
                return Token::Text;
            }
            damaged("declares a document type");
        }
        // A tag ends at the first '>' outside quotes.
        char quote = 0;
        size_t end = 1;
        for (; end < rest.size(); ++end) {
            const char c = rest[end];
            if (quote != 0) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                break;
            } else if (c == '<') {
                damaged("a tag holds '<'");
            }
        }
        if (end == rest.size())
            return Token::NeedMore;
        return startTag(end);
    }
}

XmlScanner::Token XmlScanner::startTag(size_t end)
{
    const std::string_view tag = std::string_view(m_data).substr(m_position, end + 1);
    m_position += end + 1;
    if (tag[1] == '/') {
        size_t nameEnd = tag.size() - 1;
        while (nameEnd > 2 && isSpace(tag[nameEnd - 1]))
            --nameEnd;
        const std::string_view qualified = tag.substr(2, nameEnd - 2);
        if (m_open.empty() || m_open.back() != qualified)
            damaged("an end tag matches no open element");
        m_open.pop_back();
        m_name = localName(qualified);
        return Token::EndElement;
    }
    size_t nameEnd = 1;
    while (nameEnd < tag.size() - 1 && !isSpace(tag[nameEnd]) && tag[nameEnd] != '/')
        ++nameEnd;
    const std::string_view qualified = tag.substr(1, nameEnd - 1);
    if (qualified.empty())
        damaged("an element has no name");
    m_selfClosing = tag[tag.size() - 2] == '/' && tag.size() > 2;
    m_attributes = tag.substr(nameEnd, tag.size() - 1 - nameEnd - (m_selfClosing ? 1 : 0));
    m_attributesSplit = false;
    m_name = localName(qualified);
    if (m_open.empty() && m_rootSeen)
        damaged("a second document element");
    m_rootSeen = true;
    if (!m_selfClosing) {
        if (m_open.size() >= maximumDepth)
            damaged("elements nested too deep");
        m_open.emplace_back(qualified);
    }
    return Token::StartElement;
}

void XmlScanner::finish() const
{
    for (char c : std::string_view(m_data).substr(m_position)) {
        if (!isSpace(c))
            damaged("ends too early");
    }
    if (!m_rootSeen || !m_open.empty())
        damaged("ends too early");
}

bool XmlScanner::attribute(std::string_view name, std::string& value)
{
    if (!m_attributesSplit)
        splitAttributes();
    for (const auto& [found, raw] : m_attributeList) {
        if (found == name) {
            decode(raw, true, value);
            return true;
        }
    }
    return false;
}

void XmlScanner::splitAttributes()
{
    m_attributeList.clear();
    m_attributesSplit = true;
    const std::string_view attributes = m_attributes;
    size_t i = 0;
    for (;;) {
        while (i < attributes.size() && isSpace(attributes[i]))
            ++i;
        if (i >= attributes.size())
            return;
        const size_t nameStart = i;
        while (i < attributes.size() && attributes[i] != '=' && !isSpace(attributes[i]))
            ++i;
        const std::string_view found = attributes.substr(nameStart, i - nameStart);
        while (i < attributes.size() && isSpace(attributes[i]))
            ++i;
        if (i >= attributes.size() || attributes[i] != '=')
            damaged("an attribute has no value");
        ++i;
        while (i < attributes.size() && isSpace(attributes[i]))
            ++i;
        if (i >= attributes.size() || (attributes[i] != '"' && attributes[i] != '\''))
            damaged("an attribute value is not quoted");
        const char quote = attributes[i++];
        const size_t valueEnd = attributes.find(quote, i);
        if (valueEnd == std::string_view::npos)
            damaged("an attribute value is not closed");
        m_attributeList.emplace_back(found, attributes.substr(i, valueEnd - i));
        i = valueEnd + 1;
    }
}

void XmlScanner::appendText(std::string& target) const
{
    if (m_textIsRaw) {
        const size_t start = target.size();
        target.append(m_text);
        if (!isValidUtf8(std::string_view(target).substr(start))) {
            const QByteArray valid
                = QString::fromUtf8(target.data() + start, qsizetype(target.size() - start)).toUtf8();
            target.replace(start, std::string::npos, valid.constData(), size_t(valid.size()));
        }
        return;
    }
    decode(m_text, false, target);
}

void XmlScanner::decode(std::string_view raw, bool attributeValue, std::string& target) const
{
    const size_t start = target.size();
    bool plain = true;
    for (char c : raw) {
        if (c == '&' || c == '\r' || (c & 0x80) != 0 || (attributeValue && (c == '\n' || c == '\t'))) {
            plain = false;
            break;
        }
    }
    if (plain) {
        target.append(raw);
        return;
    }
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '\r') {
            // Line ends read as one line feed, as an XML reader hands them on.
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
            target += attributeValue ? ' ' : '\n';
        } else if (attributeValue && (c == '\n' || c == '\t')) {
            target += ' ';
        } else if (c != '&') {
            target += c;
        } else {
            const size_t end = raw.find(';', i + 1);
            if (end == std::string_view::npos || end - i > 12)
                damaged("an entity reference is not closed");
            const std::string_view entity = raw.substr(i + 1, end - i - 1);
            if (entity == "lt")
                target += '<';
            else if (entity == "gt")
                target += '>';
            else if (entity == "amp")
                target += '&';
            else if (entity == "quot")
                target += '"';
            else if (entity == "apos")
                target += '\'';
            else if (entity.size() >= 2 && entity[0] == '#') {
                const bool hex = entity[1] == 'x';
                char32_t code = 0;
                const std::string_view digits = entity.substr(hex ? 2 : 1);
                if (digits.empty())
                    damaged("a character reference has no digits");
                for (char digit : digits) {
                    int value;
                    if (digit >= '0' && digit <= '9')
                        value = digit - '0';
                    else if (hex && digit >= 'a' && digit <= 'f')
                        value = digit - 'a' + 10;
                    else if (hex && digit >= 'A' && digit <= 'F')
                        value = digit - 'A' + 10;
                    else
                        damaged("a character reference is not a number");
                    code = code * (hex ? 16 : 10) + char32_t(value);
                    if (code > 0x10FFFF)
                        damaged("a character reference lies past Unicode");
                }
                if (code == 0 || (code >= 0xD800 && code <= 0xDFFF))
                    damaged("a character reference names no character");
                appendUtf8(code, target);
            } else {
                damaged("an entity that is not declared");
            }
            i = end;
        }
    }
    if (!isValidUtf8(std::string_view(target).substr(start))) {
        // As a general reader decodes them: each bad byte becomes U+FFFD.
        const QByteArray valid
            = QString::fromUtf8(target.data() + start, qsizetype(target.size() - start)).toUtf8();
        target.replace(start, std::string::npos, valid.constData(), size_t(valid.size()));
    }
}

} // namespace glimora::engine
