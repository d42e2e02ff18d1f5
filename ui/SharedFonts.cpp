#include "ui/SharedFonts.h"

#include "settings/SettingsFile.h"

#include <array>
#include <QFontMetricsF>
#include <QStringList>

namespace glimora::ui {

namespace {

struct FontSpec
{
    const char* heightKey;
    const char* heightDefault;
    const char* widthKey;
    const char* widthDefault;
    int weight;
    const char* face;
};

const std::array<FontSpec, 6> fontSpecs = { {
    { "f1h", "17", "f1w", "7", 400, "楷体" },
    { "f2h", "20", "f2w", "10", 400, "楷体" },
    { "f3h", "15", "f3w", "0", 400, "楷体" },
    { "f4h", "15", "f4w", "8", 400, "楷体" },
    { "f5h", "15", "f5w", "10", 400, "楷体" },
    { "f6h", "20", "f6w", "15", 800, "黑体" },
} };

std::array<QFont, 6>& fonts()
{
    static std::array<QFont, 6> storage;
    return storage;
}

bool& fontsCreated()
{
    static bool created = false;
    return created;
}

// The Windows face names mapped onto the Chinese fonts that the install script provides.
void registerFaceSubstitutions()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QFont::insertSubstitutions(QString::fromUtf8("楷体"),
        QStringList() << QStringLiteral("AR PL UKai CN") << QStringLiteral("AR PL KaitiM GB")
                      << QStringLiteral("KaiTi"));
    QFont::insertSubstitutions(QString::fromUtf8("黑体"),
        QStringList() << QStringLiteral("WenQuanYi Zen Hei") << QStringLiteral("Noto Sans CJK SC")
                      << QStringLiteral("SimHei"));
}

} // namespace

QFont makeLogicalFont(int cellHeight, int averageWidth, int weight, const QString& face)
{
    registerFaceSubstitutions();
    QFont font(face);
    font.setStyleHint(QFont::AnyStyle, QFont::PreferDefault);
    font.setWeight(static_cast<QFont::Weight>(qBound(1, weight, 1000)));

    // A positive LOGFONT height is the cell height (ascent plus descent); Qt sizes the em.
    // Scale from a reference size, which is exact for outline fonts.
    constexpr int referencePixels = 100;
    font.setPixelSize(referencePixels);
    const QFontMetricsF reference(font);
    if (cellHeight < 0) {
        // A negative LOGFONT height is the character height, the cell less its internal
        // leading: the em, which is what Qt's pixel size sets.
        font.setPixelSize(qMax(1, -qMax(cellHeight, -1000000)));
    } else if (cellHeight > 0 && reference.height() > 0) {
        const int pixels = qMax(1, qRound(cellHeight * referencePixels / reference.height()));
        font.setPixelSize(pixels);
    } else {
        font.setPixelSize(qRound(16 * referencePixels / qMax(1.0, reference.height())));
    }

    // A width asks for that average character width: stretch the font horizontally. The
    // mapper takes a negative width by its absolute value.
    if (averageWidth < 0)
        averageWidth = -qMax(averageWidth, -1000000);
    if (averageWidth > 0) {
        const double natural = QFontMetricsF(font).averageCharWidth();
        if (natural > 0)
            font.setStretch(qBound(1, qRound(averageWidth * 100.0 / natural), 4000));
    }
    return font;
}

void createSharedFonts()
{
    std::array<int, 12> values {};
    for (size_t i = 0; i < fontSpecs.size(); ++i) {
        const FontSpec& spec = fontSpecs[i];
        values[2 * i] = settings::ReadSettingInt(QStringLiteral("show"), QString::fromLatin1(spec.heightKey),
            QString::fromLatin1(spec.heightDefault));
        values[2 * i + 1] = settings::ReadSettingInt(QStringLiteral("show"),
            QString::fromLatin1(spec.widthKey), QString::fromLatin1(spec.widthDefault));
    }
    for (size_t i = 0; i < fontSpecs.size(); ++i) {
        fonts()[i] = makeLogicalFont(
            values[2 * i], values[2 * i + 1], fontSpecs[i].weight, QString::fromUtf8(fontSpecs[i].face));
    }
    fontsCreated() = true;
}

const QFont& sharedFont(int index)
{
    Q_ASSERT(index >= 1 && index <= 6);
    if (!fontsCreated()) {
        for (size_t i = 0; i < fontSpecs.size(); ++i)
            fonts()[i] = makeLogicalFont(QString::fromLatin1(fontSpecs[i].heightDefault).toInt(),
                QString::fromLatin1(fontSpecs[i].widthDefault).toInt(), fontSpecs[i].weight,
                QString::fromUtf8(fontSpecs[i].face));
        fontsCreated() = true;
    }
    return fonts()[static_cast<size_t>(qBound(1, index, 6) - 1)];
}

} // namespace glimora::ui
