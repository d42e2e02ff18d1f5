#pragma once

class QWidget;

namespace glimora::components {

class PageView;

// Makes the page view the program was built with: Qt WebEngine when the build option is
// on and the package was found, the text view otherwise.
class PageViewFactory
{
public:
    static PageView* create(QWidget* parent);
    static bool usesWebEngine();
    // Call before the QApplication is constructed: WebEngine shares OpenGL contexts.
    static void prepareApplication();
};

} // namespace glimora::components
