#pragma once

#include <QProxyStyle>

namespace glimora::ui {

// The application's style with the parts a finger aims at made large: a list's arrow, its
// scroll bar and its rows. Set on single widgets, so the rest of the screen keeps its look.
class FingerSizedStyle : public QProxyStyle
{
    Q_OBJECT
public:
    // About 9 mm on a 17" screen of 1280 x 1024: what a fingertip hits without aiming.
    static constexpr int TargetSize = 40;
    static constexpr int ScrollBarWidth = 32;

    explicit FingerSizedStyle(QObject* parent = nullptr);

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
        const QWidget* widget = nullptr) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
        const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
        const QWidget* widget = nullptr) const override;
};

} // namespace glimora::ui
