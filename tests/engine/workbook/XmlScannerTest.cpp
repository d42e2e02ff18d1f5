#include "engine/workbook/XmlScanner.h"
#include "engine/workbook/WorkbookError.h"

#include <gtest/gtest.h>
#include <QStringList>

using namespace glimora::engine;

namespace {

// The tokens of a document fed in pieces of pieceSize bytes: "<name r=... t=...", "text", "/name".
QStringList tokens(std::string_view document, size_t pieceSize)
{
    XmlScanner scanner(QStringLiteral("book.xlsx"), QStringLiteral("xl/worksheets/sheet1.xml"));
    QStringList result;
    QString text; // texts come in pieces too; joined until the next element
    auto flushText = [&] {
        if (!text.isEmpty())
            result.append(text);
        text.clear();
    };
    for (size_t at = 0; at < document.size(); at += pieceSize) {
        scanner.append(document.substr(at, pieceSize));
        for (auto token = scanner.next(); token != XmlScanner::Token::NeedMore; token = scanner.next()) {
            const QString name = QString::fromUtf8(scanner.name().data(), qsizetype(scanner.name().size()));
            if (token == XmlScanner::Token::Text) {
                std::string piece;
                scanner.appendText(piece);
                text += QString::fromStdString(piece);
                continue;
            }
            flushText();
            if (token == XmlScanner::Token::EndElement) {
                result.append(QLatin1Char('/') + name);
                continue;
            }
            QString element = QLatin1Char('<') + name;
            for (const char* attribute : { "r", "t" }) {
                std::string value;
                if (scanner.attribute(attribute, value))
                    element += QStringLiteral(" %1=%2").arg(
                        QLatin1String(attribute), QString::fromStdString(value));
            }
            result.append(element + (scanner.selfClosing() ? QStringLiteral("/") : QString()));
        }
    }
    flushText();
    scanner.finish();
    return result;
}

WorkbookError::Reason refusal(std::string_view document)
{
    try {
        tokens(document, document.size());
    } catch (const WorkbookError& error) {
        return error.reason();
    }
    return WorkbookError::Reason::MissingFile; // stands for "read without complaint"
}

} // namespace

TEST(XmlScanner, ReadsWhatWorkbookWritersWriteInPiecesOfAnySize)
{
    const std::string document
        = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
          "<!-- written by hand --><x:worksheet xmlns:x=\"urn:x\"><x:sheetData>"
          "<x:row r=\"1\"><x:c r = 'A1' t=\"s\"><x:v>0</x:v></x:c>"
          "<x:c r=\"B1\" t=\"inlineStr\"><x:is><x:t>a &amp; b &lt;c&gt; &quot;d&apos;"
          " &#20013;&#x6587; &#x1F600;\r\nline</x:t></x:is></x:c>"
          "<x:c r=\"C1\"/><x:c r=\"D&#49;\" t=\"str\"><x:v><![CDATA[<raw & \xE4\xB8\xAD>]]></x:v></x:c>"
          "<?pi inside?></x:row></x:sheetData></x:worksheet>\n";
    const QStringList expected = { "<worksheet", "<sheetData", "<row r=1", "<c r=A1 t=s", "<v", "0", "/v",
        "/c", "<c r=B1 t=inlineStr", "<is", "<t", QStringLiteral("a & b <c> \"d' 中文 \U0001F600\nline"),
        "/t", "/is", "/c", "<c r=C1/", "<c r=D1 t=str", "<v", QStringLiteral("<raw & 中>"), "/v", "/c",
        "/row", "/sheetData", "/worksheet" };
    for (size_t pieceSize : { size_t(1), size_t(2), size_t(3), size_t(7), size_t(64), document.size() })
        EXPECT_EQ(tokens(document, pieceSize), expected) << pieceSize;
}

TEST(XmlScanner, InvalidUtf8ReadsAsReplacementCharacters)
{
    EXPECT_EQ(tokens("<a>x\xFF\xC3y</a>", 2), QStringList({ "<a", QStringLiteral("x\uFFFD\uFFFDy"), "/a" }));
}

TEST(XmlScanner, RefusesWhatIsNoWellFormedDocument)
{
    using Reason = WorkbookError::Reason;
    const char* const damaged[] = {
        "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", // entities are never declared
        "<a>&e;</a>",
        "<a>&#0;</a>",
        "<a>&#xD800;</a>",
        "<a>&#x110000;</a>",
        "<a>&amp</a>",
        "<a><b></a></b>",
        "<a></b>",
        "<a>",
        "<a><b>",
        "x<a/>",
        "<a/>x",
        "<a/><b/>",
        "<a b=c/>",
        "<a b/>",
        "<a b=\"c/>",
        "",
        "   ",
    };
    for (const char* document : damaged)
        EXPECT_EQ(refusal(document), Reason::Damaged) << document;
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "<a>";
    EXPECT_EQ(refusal(deep), Reason::Damaged);
}
