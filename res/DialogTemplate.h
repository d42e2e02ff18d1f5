#pragma once

#include <QRect>
#include <QString>

#include <span>

namespace glimora::res {

// Id of a control that no code addresses (a label beside a box, the about box's icon).
constexpr int StaticId = -1;

enum class ControlKind {
    IconStatic, // shows icon 128
    OwnerDrawnButton, // drawn by a SkinButton
    PushButton,
    DefaultPushButton,
    CheckBox,
    DropDownCombo, // editable; its height includes the dropped-down list
    Edit,
    PasswordEdit,
    MultiLineEdit,
    Text,
    CentredText,
    RightAlignedText,
    BitmapStatic, // shows skin `bitmapId`
    BlackFrame,
    TreeView,
    TabControl,
    ProgressBar,
    DataControl,
    DataGrid,
    WebBrowser,
};

enum class WindowStyle {
    CaptionModalFrame, // caption and system menu, modal frame
    ThinBorderNoCaption, // the query screen: visible at creation, in the task bar
    NoCaptionNoBorder, // the progress dialog
};

// Dialog units become pixels by fixed base units per template font, so that layouts do
// not depend on the fonts a machine has:
//   x pixels = x * baseX / 4, y pixels = y * baseY / 8 (each edge rounded, as the
//   platform maps a dialog rectangle).
// The base units are those of the template font at 96 dpi:
//   "宋体" 9 pt:  baseX 6,  baseY 12  (1.5 pixels per unit both ways)
//   "宋体" 30 pt: baseX 20, baseY 40  (5 pixels per unit)
//   "System" 10 pt: baseX 8, baseY 16 (2 pixels per unit)
// The dialog's own font is set by pixel size: 12, 40 and 14 pixels.
// `pixelHeight` is the pixel size of the font the dialog gives its controls.
struct TemplateFont
{
    const char* face;
    int pointSize;
    int baseX;
    int baseY;
    int pixelHeight;
};

struct ControlTemplate
{
    int id;
    ControlKind kind;
    const char* text; // UTF-8
    bool shown;
    int x;
    int y;
    int width;
    int height;
    int bitmapId = 0; // bitmap statics
    bool notifies = false; // bitmap statics that report clicks and double clicks
    bool sorted = false; // drop-down combos
};

struct DialogTemplate
{
    int id;
    const char* className;
    WindowStyle style;
    const char* caption; // UTF-8, may be empty
    TemplateFont font;
    int width;
    int height;
    std::span<const ControlTemplate> controls;

    QString captionText() const { return QString::fromUtf8(caption); }
    QSize pixelSize() const;
    QRect pixelRect(const ControlTemplate& control) const;
    const ControlTemplate* findControl(int controlId) const;
};

// The template with that id, or nullptr.
const DialogTemplate* findDialogTemplate(int id);

// All the templates, in id order.
std::span<const DialogTemplate* const> allDialogTemplates();

// The templates, one per file under res/templates.
extern const DialogTemplate aboutDialogTemplate; // 100
extern const DialogTemplate queryDialogTemplate; // 102
extern const DialogTemplate loginDialogTemplate; // 129
extern const DialogTemplate adminDialogTemplate; // 130
extern const DialogTemplate configDialogTemplate; // 131
extern const DialogTemplate progressDialogTemplate; // 133
extern const DialogTemplate passwordDialogTemplate; // 175
extern const DialogTemplate dataManageDialogTemplate; // 176
extern const DialogTemplate userManageDialogTemplate; // 182
extern const DialogTemplate stationStatusDialogTemplate; // 183

} // namespace glimora::res
