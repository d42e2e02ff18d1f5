#pragma once

namespace glimora::ui {
class TemplateDialog;
}

namespace glimora::tools {

// Gives a bare template the skins, captions, fonts and colours its screen gives it when
// it opens, so that a picture of the template looks like the screen without data.
void dressScreen(ui::TemplateDialog& dialog);

} // namespace glimora::tools
