#include "platform/ui/KeyState.h"
#include "platform/ui/ToolManager.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include <filesystem>
#include <fstream>

using ui::ToolManager;

namespace {
struct ToolSet : ::testing::Test {
    QMainWindow window;
    ToolManager tm{&window};
    QStringList clicks;
    ToolSet() {
        QObject::connect(&tm, &ToolManager::toolClicked,
                         [this](const QString& id) { clicks << id; });
        tm.addMenuBand("ID_View", "&View", window.menuBar());
        tm.addToolBarBand("StandardToolBar", "Standard", &window);
        tm.addPopupBand("ID_RootNode", "Root Node Menu");
        for (auto id : {"ID_View_Normal", "ID_View_WebLayout", "ID_View_PrintLayout"}) {
            tm.addTool(id, id, {}, true);
            tm.setOptionGroup(id, "Layout");
            tm.addToBand("ID_View", id);
        }
        tm.addSeparator("ID_View");
        tm.addTool("ID_View_DBTreeView", "DB Folder View", {}, true);
        tm.addToBand("ID_View", "ID_View_DBTreeView");
        tm.addTool("ID_Edit_CopyNames", "Copy Names to Clipboard");
        tm.addToBand("StandardToolBar", "ID_Edit_CopyNames");
        tm.addToBand("ID_RootNode", "ID_Edit_CopyNames");
    }
};
}  // namespace

TEST_F(ToolSet, BandsKeepOrderAndHeadersAreTools) {
    EXPECT_EQ(tm.bands(), (QStringList{"ID_View", "StandardToolBar", "ID_RootNode"}));
    EXPECT_EQ(tm.bandTools("ID_View"),
              (QStringList{"ID_View_Normal", "ID_View_WebLayout", "ID_View_PrintLayout",
                           "ID_View_DBTreeView"}));
    EXPECT_TRUE(tm.hasTool("ID_View"));
    EXPECT_EQ(tm.bandKind("ID_RootNode"), ToolManager::BandKind::Popup);
    EXPECT_FALSE(tm.addToBand("ID_View", "ID_Nothing"));
    EXPECT_FALSE(tm.addToBand("NoBand", "ID_View_Normal"));
    EXPECT_EQ(tm.bandTools("NoBand"), QStringList{});
    // Adding an existing id keeps the first tool.
    QAction* first = tm.tool("ID_Edit_CopyNames");
    EXPECT_EQ(tm.addTool("ID_Edit_CopyNames", "Other"), first);
    EXPECT_EQ(tm.caption("ID_Edit_CopyNames"), "Copy Names to Clipboard");
}

TEST_F(ToolSet, OptionGroupHoldsOneCheckedTool) {
    EXPECT_EQ(tm.optionGroup("ID_View_Normal"), "Layout");
    EXPECT_EQ(tm.optionGroup("ID_View_DBTreeView"), "");
    tm.setChecked("ID_View_Normal", true);
    tm.setChecked("ID_View_PrintLayout", true);
    EXPECT_FALSE(tm.isChecked("ID_View_Normal"));
    EXPECT_TRUE(tm.isChecked("ID_View_PrintLayout"));
    tm.click("ID_View_WebLayout");
    EXPECT_TRUE(tm.isChecked("ID_View_WebLayout"));
    EXPECT_FALSE(tm.isChecked("ID_View_PrintLayout"));
    // The checked tool of a group can still be cleared by code.
    tm.setChecked("ID_View_WebLayout", false);
    EXPECT_FALSE(tm.isChecked("ID_View_WebLayout"));
}

TEST_F(ToolSet, StatesHoldEverywhereAToolStands) {
    QAction* a = tm.tool("ID_Edit_CopyNames");
    QToolBar* tb = tm.toolBarBand("StandardToolBar");
    QMenu* popup = tm.menuBand("ID_RootNode");
    ASSERT_TRUE(tb->actions().contains(a));
    ASSERT_TRUE(popup->actions().contains(a));
    tm.setToolEnabled("ID_Edit_CopyNames", false);
    EXPECT_FALSE(tm.isToolEnabled("ID_Edit_CopyNames"));
    EXPECT_FALSE(tb->widgetForAction(a)->isEnabled());
    tm.setToolVisible("ID_Edit_CopyNames", false);
    EXPECT_FALSE(tm.isToolVisible("ID_Edit_CopyNames"));
    EXPECT_FALSE(tm.setToolEnabled("ID_Unknown", true));
    EXPECT_FALSE(tm.setChecked("ID_Unknown", true));
    EXPECT_FALSE(tm.isChecked("ID_Unknown"));
}

TEST_F(ToolSet, ClickCarriesIdAndCheckItemsToggleFirst) {
    bool checkedAtClick = false;
    QObject::connect(&tm, &ToolManager::toolClicked, [&](const QString& id) {
        if (id == "ID_View_DBTreeView") checkedAtClick = tm.isChecked(id);
    });
    EXPECT_TRUE(tm.click("ID_View_DBTreeView"));
    EXPECT_TRUE(checkedAtClick);
    EXPECT_TRUE(tm.click("ID_Edit_CopyNames"));
    EXPECT_EQ(clicks, (QStringList{"ID_View_DBTreeView", "ID_Edit_CopyNames"}));
    // Disabled tools, a disabled tool set and menu headers raise no click.
    tm.setToolEnabled("ID_Edit_CopyNames", false);
    EXPECT_FALSE(tm.click("ID_Edit_CopyNames"));
    tm.setToolEnabled("ID_Edit_CopyNames", true);
    tm.setEnabled(false);
    EXPECT_FALSE(tm.click("ID_Edit_CopyNames"));
    EXPECT_FALSE(tm.toolBarBand("StandardToolBar")->isEnabled());
    EXPECT_FALSE(window.menuBar()->isEnabled());
    tm.setEnabled(true);
    EXPECT_TRUE(tm.isToolEnabled("ID_Edit_CopyNames"));  // own state kept
    tm.click("ID_View");
    EXPECT_EQ(clicks.size(), 2);
}

TEST_F(ToolSet, TagsAndRunTimeTools) {
    tm.addMenuBand("ID_StylesheetsMenu", "Stylesheet Menu", nullptr);
    tm.addTool("ID_STYLESHEETSMENU_BLUE_SKY", "Blue Sky");
    tm.setTag("ID_STYLESHEETSMENU_BLUE_SKY", QString("ID_COLORS_Blue Sky_Colors"));
    tm.addToBand("ID_StylesheetsMenu", "ID_STYLESHEETSMENU_BLUE_SKY");
    EXPECT_EQ(tm.tag("ID_STYLESHEETSMENU_BLUE_SKY").toString(), "ID_COLORS_Blue Sky_Colors");
    EXPECT_FALSE(tm.tag("ID_View_Normal").isValid());
    tm.setTag("ID_Unknown", 5);
    EXPECT_FALSE(tm.tag("ID_Unknown").isValid());
    tm.click("ID_STYLESHEETSMENU_BLUE_SKY");
    EXPECT_EQ(clicks.back(), "ID_STYLESHEETSMENU_BLUE_SKY");
    tm.clearBand("ID_StylesheetsMenu");
    EXPECT_TRUE(tm.bandTools("ID_StylesheetsMenu").isEmpty());
    EXPECT_TRUE(tm.menuBand("ID_StylesheetsMenu")->actions().isEmpty());
    EXPECT_TRUE(tm.hasTool("ID_STYLESHEETSMENU_BLUE_SKY"));
}

TEST_F(ToolSet, DropDownAsksBeforeShowingAndFollowsItsBand) {
    tm.addMenuBand("MenuA", "A", nullptr);
    tm.addMenuBand("MenuB", "B", nullptr);
    tm.addTool("ID_A1", "a1");
    tm.addTool("ID_B1", "b1");
    tm.addTool("ID_B2", "b2");
    tm.addToBand("MenuA", "ID_A1");
    tm.addToBand("MenuB", "ID_B1");
    tm.addSeparator("MenuB");
    tm.addToBand("MenuB", "ID_B2");
    tm.addTool("ID_Colors", "Colors");
    tm.addToBand("StandardToolBar", "ID_Colors");
    ASSERT_TRUE(tm.setDropDown("ID_Colors", "MenuA"));
    EXPECT_FALSE(tm.setDropDown("ID_None", "MenuA"));
    QStringList asked;
    QObject::connect(&tm, &ToolManager::toolDropDown, [&](const QString& id) {
        asked << id;
        tm.setDropDown(id, "MenuB");  // the handler re-points the drop-down
    });
    QMenu* m = tm.prepareDropDown("ID_Colors");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(asked, QStringList{"ID_Colors"});
    QStringList shown;
    for (QAction* a : m->actions())
        shown << (a->isSeparator() ? QString("-") : a->objectName());
    EXPECT_EQ(shown, (QStringList{"ID_B1", "-", "ID_B2"}));
    EXPECT_EQ(tm.prepareDropDown("ID_A1"), nullptr);
}

TEST_F(ToolSet, ToolBarBandsHideAndShow) {
    window.show();
    tm.setBandVisible("StandardToolBar", false);
    EXPECT_FALSE(tm.isBandVisible("StandardToolBar"));
    tm.setBandVisible("StandardToolBar", true);
    EXPECT_TRUE(tm.isBandVisible("StandardToolBar"));
    tm.setBandVisible("ID_View", false);
    EXPECT_FALSE(tm.isBandVisible("ID_View"));
}

TEST(KeyState, LockKeysFollowTheLeds) {
    testsupport::TempDir dir;
    namespace fs = std::filesystem;
    auto led = [&](const std::string& name, const char* value) {
        fs::create_directories(dir.path() + "/" + name);
        std::ofstream(dir.path() + "/" + name + "/brightness") << value;
    };
    led("input3::capslock", "0\n");
    led("input7::capslock", "1\n");
    led("input3::numlock", "0\n");
    ui::setLedFolder(QString::fromStdString(dir.path()));
    EXPECT_TRUE(ui::lockKeyOn(ui::LockKey::CapsLock));
    EXPECT_FALSE(ui::lockKeyOn(ui::LockKey::NumLock));
    EXPECT_FALSE(ui::lockKeyOn(ui::LockKey::ScrollLock));
    led("input7::capslock", "0\n");
    EXPECT_FALSE(ui::lockKeyOn(ui::LockKey::CapsLock));
    ui::setLedFolder(QString::fromStdString(dir.path() + "/missing"));
    EXPECT_FALSE(ui::lockKeyOn(ui::LockKey::CapsLock));

    ui::setInsertOn(false);
    ui::toggleInsert();
    EXPECT_TRUE(ui::insertOn());
    ui::toggleInsert();
    EXPECT_FALSE(ui::insertOn());

    ui::KeyStatePanel caps("CAPS");
    caps.setOn(false);
    EXPECT_FALSE(caps.isOn());
    caps.setOn(true);
    EXPECT_TRUE(caps.isOn());
}
