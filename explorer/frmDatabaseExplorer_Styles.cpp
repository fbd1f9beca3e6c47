// Layout and colour menus of the main window's HTML toolbar.
#include "explorer/ExplorerShared.h"
#include "explorer/frmDatabaseExplorer.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"

#include <exception>

using namespace explorer;

namespace {

// A caption in upper case with every blank replaced by "_".
std::string menuKey(const std::string& caption) {
    std::string key = text::upper(caption);
    for (char& c : key)
        if (c == ' ') c = '_';
    return key;
}

// id, or id with a number appended when a tool of that id exists ("A B" and "A_B" share a key).
QString freeToolId(const ui::ToolManager& tools, const std::string& id) {
    QString candidate = QString::fromStdString(id);
    for (int n = 2; tools.hasTool(candidate); ++n) candidate = QString::fromStdString(id + "_" + std::to_string(n));
    return candidate;
}

bool isTrue(const xml::Node& node, const char* attribute) { return text::upper(node.attribute(attribute)) == "TRUE"; }

// The CSS file, image prefix and colour scheme of a catalogue STYLE into the report options;
// each is taken when present.
void applyStyle(const xml::Node& style) {
    cReport& r = *oReportEngine;
    if (style.hasAttribute("CSSFile")) r.HTML_CurrentCSS(files::joinPath(StylesFolder, style.attribute("CSSFile")));
    if (style.hasAttribute("ImagePrefix")) r.HTML_ImagePrefix(style.attribute("ImagePrefix"));
    if (style.hasAttribute("ColourScheme")) r.HTML_ColourScheme(style.attribute("ColourScheme"));
}

}  // namespace

void frmDatabaseExplorer::BuildStyleMenus() {
    try {
        const QString layoutMenu = QStringLiteral("ID_StylesheetsMenu");
        if (!tbMain->bandTools(layoutMenu).isEmpty()) return;  // built once per window
        oLayoutCatalogue.clear();
        if (!oLayoutCatalogue.load(files::joinPath(DataFolder, "dvreport.xml"))) return;
        const std::string checkPicture = files::joinPath(ImagesFolder, "checked.gif");
        const bool picture = files::fileExists(checkPicture);
        for (const xml::Node& layout : oLayoutCatalogue.selectNodes("REPORT/LAYOUT[@Type='BuiltIn']")) {
            if (!layout.hasAttribute("Caption")) continue;
            const std::string caption = layout.attribute("Caption");
            const std::string key = menuKey(caption);
            const QString item = freeToolId(*tbMain, "ID_STYLESHEETSMENU_" + key);
            const QString colorsMenu = QString::fromStdString("ID_COLORS_" + caption + "_Colors");
            tbMain->addTool(item, QString::fromStdString(caption), {}, true);
            tbMain->setOptionGroup(item, "Template_Group");
            tbMain->setTag(item, colorsMenu);
            tbMain->addToBand(layoutMenu, item);
            if (picture) tbMain->setIcon(item, QString::fromStdString(checkPicture));
            if (!tbMain->hasBand(colorsMenu)) tbMain->addMenuBand(colorsMenu, QString::fromStdString(caption), nullptr);
            tbMain->clearBand(colorsMenu);
            if (isTrue(layout, "Default")) {
                tbMain->setChecked(item, true);
                tbMain->setTag("ID_Colors", colorsMenu);
                tbMain->setDropDown("ID_Colors", colorsMenu);
            }
            for (const xml::Node& style : layout.selectNodes("STYLE")) {
                const std::string styleCaption = style.attribute("Caption");
                if (styleCaption == "Printer Friendly") continue;
                const QString colour = freeToolId(*tbMain, "ID_COLORS_" + key + "_" + menuKey(styleCaption));
                tbMain->addTool(colour, QString::fromStdString(styleCaption), {}, true);
                tbMain->setOptionGroup(colour, QString::fromStdString("Colors_" + caption));
                tbMain->setTag(colour, QString::fromStdString(caption));
                tbMain->addToBand(colorsMenu, colour);
                if (isTrue(style, "Default")) tbMain->setChecked(colour, true);
                if (picture) tbMain->setIcon(colour, QString::fromStdString(checkPicture));
            }
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.BuildStyleMenus");
    }
}

void frmDatabaseExplorer::HandleStyleSheetsMenu(const std::string&, const QString& tool) {
    try {
        const QString colorsMenu = tbMain->tag(tool).toString();
        if (!colorsMenu.isEmpty()) {
            tbMain->setTag("ID_Colors", colorsMenu);
            tbMain->setDropDown("ID_Colors", colorsMenu);
        }
        const std::string caption = tbMain->caption(tool).toStdString();
        if (caption.empty()) return;
        xml::Node layout = oLayoutCatalogue.selectSingleNode("/REPORT/LAYOUT[@Type='BuiltIn'][@Caption=" +
                                                             xml::xpathLiteral(caption) + "]");
        if (!layout) return;
        cReport& r = *oReportEngine;
        if (layout.hasAttribute("XSLFile")) r.HTML_CurrentXSL(files::joinPath(StylesFolder, layout.attribute("XSLFile")));
        if (xml::Node style = layout.selectSingleNode("STYLE[1]")) applyStyle(style);
        r.UpdateReportSettings();
        PreviewHTML(SelectedNodeKey);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleStyleSheetsMenu");
    }
}

void frmDatabaseExplorer::HandleColorsMenu(const std::string&, const QString& tool) {
    try {
        const std::string layout = tbMain->tag(tool).toString().toStdString();
        if (layout.empty()) return;
        xml::Node style = oLayoutCatalogue.selectSingleNode(
            "/REPORT/LAYOUT[@Type='BuiltIn'][@Caption=" + xml::xpathLiteral(layout) + "]/STYLE[@Caption=" +
            xml::xpathLiteral(tbMain->caption(tool).toStdString()) + "]");
        if (!style) return;
        applyStyle(style);
        oReportEngine->UpdateReportSettings();
        PreviewHTML(SelectedNodeKey);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleColorsMenu");
    }
}

void frmDatabaseExplorer::tbMain_ToolDropDown(const QString& tool) {
    // The colours tool opens the menu of the layout chosen last.
    if (tool.compare("ID_Colors", Qt::CaseInsensitive) != 0) return;
    const QString menu = tbMain->tag("ID_Colors").toString();
    if (!menu.isEmpty() && tbMain->dropDownBand("ID_Colors") != menu) tbMain->setDropDown("ID_Colors", menu);
}
