#include "components/PageViewFactory.h"

#include "components/WebEnginePageView.h"

#include <QCoreApplication>

namespace glimora::components {

PageView* PageViewFactory::create(QWidget* parent)
{
    return new WebEnginePageView(parent);
}

bool PageViewFactory::usesWebEngine()
{
    return true;
}

void PageViewFactory::prepareApplication()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

} // namespace glimora::components
