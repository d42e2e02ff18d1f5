#include "ui/SkinButton.h"

#include <QStringEncoder>

#include "res/SkinTable.h"
#include "settings/SettingsFile.h"
#include "ui/ContrastSetting.h"
#include "ui/FocusMark.h"
#include "ui/KeyboardSetting.h"
#include "ui/LargeText.h"
#include "ui/ScreenPolish.h"
#include "ui/SharedFonts.h"
#include "ui/SkinStore.h"

#include <algorithm>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QStringEncoder>

namespace glimora::ui {

namespace {

constexpr int Font6 = 6;
// A caption shrinks to fit its room down to this many pixels, and no further.
constexpr int SmallestCaptionPixels = 9;

// The skin of a disabled button, polished: its own shapes in grey.
QPixmap greyed(const QPixmap& skin)
{
    QImage image = skin.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = 160 + qGray(line[x]) * 3 / 8;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
        }
    }
    return QPixmap::fromImage(image);
}

// A skin on a button of another size, as large text makes them: its corners as they are, its
// edges and middle stretched between them, where tiling would repeat its rounded ends.
void drawStretched(QPainter& painter, const QPixmap& skin, const QRect& target)
{
    const int cx = std::min(skin.width() / 3, target.width() / 2);
    const int cy = std::min(skin.height() / 3, target.height() / 2);
    const int sourceX[] = { 0, cx, skin.width() - cx, skin.width() };
    const int sourceY[] = { 0, cy, skin.height() - cy, skin.height() };
    const int targetX[] = { target.left(), target.left() + cx, target.right() + 1 - cx, target.right() + 1 };
    const int targetY[] = { target.top(), target.top() + cy, target.bottom() + 1 - cy, target.bottom() + 1 };
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QRect from(
                QPoint(sourceX[column], sourceY[row]), QPoint(sourceX[column + 1] - 1, sourceY[row + 1] - 1));
            const QRect to(
                QPoint(targetX[column], targetY[row]), QPoint(targetX[column + 1] - 1, targetY[row + 1] - 1));
            if (from.isValid() && to.isValid())
                painter.drawPixmap(to, skin, from);
        }
    }
}

} // namespace

SkinButton::SkinButton(const QString& windowText, QWidget* parent)
    : QPushButton(windowText, parent)
{
    // Keys reach every button; a tap leaves no focus mark behind on a touch screen.
    if (KeyboardSetting::enabled())
        setFocusPolicy(Qt::TabFocus);
}

void SkinButton::setCaption(const QString& caption)
{
    m_caption = caption;
    // A screen reader says what the button shows, not the template's text behind it.
    setAccessibleName(caption);
    update();
}

void SkinButton::setBitmapId(int id)
{
    m_bitmapId = id;
    update();
}

void SkinButton::setCaptionFont(int sharedFontIndex)
{
    m_fontIndex = sharedFontIndex;
    update();
}

void SkinButton::setLargeText(bool on)
{
    m_largeText = on;
    if (m_plain)
        setFont(on ? LargeText::enlarged(ui::sharedFont(m_fontIndex)) : ui::sharedFont(m_fontIndex));
    update();
}

void SkinButton::setTextColor(const QColor& color)
{
    m_textColor = color;
    update();
}

int SkinButton::gbkLength(const QString& text)
{
    // The bytes of the caption in the old platform's code page: "€" is one byte there, and a
    // character it cannot hold became one "?".
    int bytes = 0;
    for (const char32_t codePoint : text.toUcs4()) {
        if (codePoint < 0x80) {
            ++bytes;
            continue;
        }
        QStringEncoder gbk("GBK");
        const char32_t single[] = { codePoint };
        const QByteArray encoded = gbk.encode(QString::fromUcs4(single, 1));
        if (!gbk.isValid())
            bytes += 2;
        else if (gbk.hasError() || encoded.isEmpty())
            bytes += 1;
        else
            bytes += int(encoded.size());
    }
    return bytes;
}

QColor SkinButton::captionColor() const
{
    // The high-contrast skins are light: a light caption would vanish on them.
    if (ContrastSetting::enabled())
        return isEnabled() ? QColor(Qt::black) : QColor(0x47, 0x47, 0x47);
    if (isEnabled())
        return m_textColor;
    // On a greyed skin the light grey would hardly show.
    if (ScreenPolish::enabled())
        return QColor(0x80, 0x80, 0x80);
    return m_fontIndex == Font6 ? QColor(0xC8, 0xC8, 0xC8) : QColor(0x88, 0x88, 0x88);
}

QRect SkinButton::captionRoom() const
{
    const int across = qMax(4, width() / 9);
    const int down = qMax(2, height() / 9);
    return rect().adjusted(across, down, -across, -down);
}

SkinButton::CaptionLayout SkinButton::captionLayout() const
{
    CaptionLayout layout;
    layout.rect = rect();
    layout.font = ui::sharedFont(m_fontIndex);
    const QString text = m_caption.isEmpty() ? QStringLiteral("x") : m_caption;

    // A width of 0 or no number at all leaves nothing to divide by: wrap.
    const int charWidth
        = settings::ReadSettingInt(QStringLiteral("show"), QStringLiteral("f1w"), QStringLiteral("7"));
    layout.oneLine = charWidth != 0 && gbkLength(text) < 75 / charWidth && m_bitmapId == DefaultSkin;
    if (m_largeText)
        return largeLayout(layout, text);
    if (ScreenPolish::enabled())
        return polishedLayout(layout, text);
    if (layout.oneLine)
        return layout;

    const QFontMetrics metrics(layout.font);
    const QRect bounds = metrics.boundingRect(
        QRect(0, 0, layout.rect.width(), 0), Qt::AlignHCenter | Qt::TextWordWrap, text);
    layout.rect.setTop(layout.rect.top() + (layout.rect.height() - bounds.height()) / 2);
    if (m_fontIndex == Font6)
        layout.rect.setLeft(7);
    return layout;
}

// Within the room inside the border, a smaller font where the caption would not fit it.
SkinButton::CaptionLayout SkinButton::polishedLayout(CaptionLayout layout, const QString& text) const
{
    const QRect room = captionRoom();
    const int flags = layout.oneLine ? Qt::TextSingleLine : Qt::TextWordWrap;
    QRect bounds;
    for (;;) {
        const QFontMetrics metrics(layout.font);
        bounds = metrics.boundingRect(QRect(0, 0, room.width(), 0), Qt::AlignHCenter | flags, text);
        const bool fits = bounds.width() <= room.width() && bounds.height() <= room.height();
        const int pixels = layout.font.pixelSize();
        if (fits || pixels <= SmallestCaptionPixels)
            break;
        layout.font.setPixelSize(pixels - 1);
    }
    layout.rect = room;
    if (!layout.oneLine)
        layout.rect.setTop(room.top() + (room.height() - bounds.height()) / 2);
    return layout;
}

// On one line where it fits, otherwise broken into lines (ui/LargeText), centred on the button.
SkinButton::CaptionLayout SkinButton::largeLayout(CaptionLayout layout, const QString& text) const
{
    layout.font = LargeText::enlarged(layout.font);
    const QFontMetrics metrics(layout.font);
    layout.rect = LargeText::captionRoom(rect());
    layout.oneLine = metrics.horizontalAdvance(text) <= layout.rect.width();
    if (!layout.oneLine) {
        const int lines = int(LargeText::lines(text, layout.font, layout.rect.width()).size());
        const int high = lines * metrics.lineSpacing() - metrics.leading();
        layout.rect.setTop(std::max(0, (height() - high) / 2));
    }
    return layout;
}

bool SkinButton::shouldTurnPlain() const
{
    if (m_bitmapId != DefaultSkin)
        return false;
    if (m_caption == QString::fromUtf8("上翻") || m_caption == QString::fromUtf8("下翻"))
        return false;
    return settings::ReadSetting(QStringLiteral("show"), QStringLiteral("ower"), QStringLiteral("1"))
        == QLatin1String("0");
}

void SkinButton::turnPlain()
{
    m_plain = true;
    setFont(m_largeText ? LargeText::enlarged(ui::sharedFont(m_fontIndex)) : ui::sharedFont(m_fontIndex));
    update();
}

void SkinButton::paintEvent(QPaintEvent* event)
{
    if (!m_plain && shouldTurnPlain())
        turnPlain();
    if (m_plain) {
        QPushButton::paintEvent(event);
        return;
    }

    QPainter painter(this);
    QPixmap skin = SkinStore::load(m_pressed ? res::PressedSkinId : m_bitmapId);
    if (!skin.isNull()) {
        if (!isEnabled() && ScreenPolish::enabled())
            skin = greyed(skin);
        if (m_largeText) {
            drawStretched(painter, skin, rect());
        } else {
            painter.setBrushOrigin(0, 0);
            painter.fillRect(rect(), QBrush(skin));
        }
    }
    if (m_pressed)
        return;

    if (m_caption.isEmpty())
        m_caption = QStringLiteral("x");
    const CaptionLayout layout = captionLayout();
    painter.setFont(layout.font);
    painter.setPen(captionColor());
    if (layout.oneLine) {
        painter.drawText(layout.rect, Qt::AlignCenter | Qt::TextSingleLine, m_caption);
    } else if (m_largeText) {
        const QFontMetrics metrics(layout.font);
        int top = layout.rect.top();
        for (const QString& line : LargeText::lines(m_caption, layout.font, layout.rect.width())) {
            painter.drawText(QRect(layout.rect.left(), top, layout.rect.width(), metrics.height()),
                Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, line);
            top += metrics.lineSpacing();
        }
    } else {
        painter.drawText(layout.rect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_caption);
    }
    FocusMark::paint(painter, *this, m_focusedByKey);
}

void SkinButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed = true;
    QPushButton::mousePressEvent(event);
}

void SkinButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_pressed = false;
    QPushButton::mouseReleaseEvent(event);
}

void SkinButton::focusInEvent(QFocusEvent* event)
{
    m_focusedByKey = FocusMark::isByKey(event->reason());
    QPushButton::focusInEvent(event);
}

} // namespace glimora::ui
