#include "components/ComponentFactories.h"
#include "components/CAdodc.h"
#include "components/CDataGrid.h"
#include "components/CWebBrowser2.h"
#include "ui/TemplateDialog.h"

#include <gtest/gtest.h>

using namespace glimora::components;

TEST(ComponentFactoriesTest, TheComponentsTakeTheirPlacesOnTheTemplates)
{
    ComponentFactories::install();

    glimora::ui::TemplateDialog dataManagement(176);
    auto* grid = dataManagement.control<CDataGrid>(1106);
    ASSERT_NE(grid, nullptr);
    ASSERT_NE(dataManagement.control<CAdodc>(1024), nullptr);
    EXPECT_EQ(grid->parentWidget(), &dataManagement);
    const glimora::res::DialogTemplate& form = dataManagement.dialogTemplate();
    EXPECT_EQ(grid->geometry(), form.pixelRect(*form.findControl(1106)));

    glimora::ui::TemplateDialog query(102);
    EXPECT_NE(query.control<CWebBrowser2>(1156), nullptr);
    EXPECT_NE(query.control<CDataGrid>(1033), nullptr);
    EXPECT_NE(query.control<CAdodc>(1024), nullptr);
}
