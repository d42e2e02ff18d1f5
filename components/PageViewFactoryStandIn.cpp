#include "components/PageViewFactory.h"

#include "components/TextPageView.h"

namespace glimora::components {

// Built without Qt WebEngine: every browser shows its pages in the text view.
PageView* PageViewFactory::create(QWidget* parent)
{
    return new TextPageView(parent);
}

bool PageViewFactory::usesWebEngine()
{
    return false;
}

void PageViewFactory::prepareApplication() { }

} // namespace glimora::components
