#pragma once

#include <QColor>
#include <QFont>
#include <QPushButton>
#include <QRect>

namespace glimora::ui {

// The owner-drawn command button of every screen: a skin bitmap tiled from the top-left
// corner with a caption drawn over it. The caption is not the window text: text() keeps
// the template's text, caption() is what is drawn.
class SkinButton : public QPushButton
{
    Q_OBJECT
public:
    static constexpr int DefaultSkin = 158;

    explicit SkinButton(const QString& windowText = {}, QWidget* parent = nullptr);

    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);

    int bitmapId() const { return m_bitmapId; }
    void setBitmapId(int id);

    // One of the shared fonts, by number 1..6.
    int captionFont() const { return m_fontIndex; }
    void setCaptionFont(int sharedFontIndex);

    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor& color);

    bool isPressed() const { return m_pressed; }

    // Large text: the caption in its font enlarged (ui/LargeText), never shrunk to fit.
    bool isLargeText() const { return m_largeText; }
    void setLargeText(bool on);

    // True once the button has become an ordinary push button ("ower" 0).
    bool isPlain() const { return m_plain; }

    // How a caption is placed: on one line centred in the rectangle, or word-wrapped
    // from `rect`'s top (already moved down to centre the text block), in `font`.
    struct CaptionLayout
    {
        bool oneLine = false;
        QRect rect;
        QFont font;
    };
    CaptionLayout captionLayout() const;
    QColor captionColor() const;

    // Where a polished caption must stay: clear of the skin's rounded border.
    QRect captionRoom() const;

    // Length of a text in GBK bytes: one per ASCII character, two per other character.
    static int gbkLength(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CaptionLayout polishedLayout(CaptionLayout layout, const QString& text) const;
    CaptionLayout largeLayout(CaptionLayout layout, const QString& text) const;
    bool shouldTurnPlain() const;
    void turnPlain();

    QString m_caption;
    int m_bitmapId = DefaultSkin;
    int m_fontIndex = 1;
    QColor m_textColor { 0, 0, 200 };
    bool m_pressed = false;
    bool m_plain = false;
    bool m_largeText = false;
    bool m_focusedByKey = false;
};

} // namespace glimora::ui
