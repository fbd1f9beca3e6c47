// Command dispatch of the main window, folder and connection management and saving.
#include "explorer/ExplorerShared.h"
#include "explorer/frmDatabaseExplorer.h"
#include "explorer/frmDatabaseGroup.h"
#include "explorer/frmDisplayColumns.h"

#include "core/bDBEngines.h"
#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/bGlobalUi.h"
#include "core/cDVUpdates.h"
#include "core/frmAbout.h"
#include "options/cReport.h"
#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/Prompter.h"
#include "reports/bXMLSupport.h"
#include "reports/frmGenerateBatchFile.h"
#include "reports/frmReportSetup.h"
#include "reports/cWord.h"
#include "platform/text/Text.h"
#include "startup/bStartup.h"

#include <QClipboard>
#include <QPrintDialog>
#include <QPrinter>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBox>
#include <QTreeWidget>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <exception>
#include <regex>

using namespace explorer;

namespace {

bool confirmed(const std::string& question) {
    return ui::MsgBox(question, ui::MsgButtons::YesNo, ui::MsgIcon::Question, appTitle()) == ui::MsgResult::Yes;
}

// The tool's identifier in upper case with every "Category_" removed.
std::string commandWord(const std::string& category, const QString& tool) {
    std::string id = text::upper(tool.toStdString());
    const std::string prefix = text::upper(category) + "_";
    for (std::size_t at; (at = id.find(prefix)) != std::string::npos;) id.erase(at, prefix.size());
    return id;
}

// A file dialog's answer; the preset wildcard counts as no choice.
std::string chosenFile(const std::string& filter, const std::string& preset) {
    ui::FileRequest req;
    req.filter = filter;
    req.initialPath = files::joinPath(ReportsFolder, preset);
    req.save = true;
    std::string path = ui::prompter().chooseFile(req);
    if (path.empty() || files::fileName(path) == preset) return {};
    // A name typed without extension gets the one of the preset ("*.xml" -> ".xml").
    if (files::extensionOf(path).empty() && preset.rfind("*.", 0) == 0) path += preset.substr(1);
    return path;
}

}  // namespace

// ---- dispatch ----------------------------------------------------------------------------

std::string frmDatabaseExplorer::GetToolCategory(const std::string& toolId) {
    static const std::regex category("ID_[^_]*", std::regex::icase);
    std::smatch m;
    return std::regex_search(toolId, m, category) ? m.str(0) : std::string();
}

void frmDatabaseExplorer::tbMain_ToolClick(const QString& toolId) {
    // Menu headers (one "_") carry no command; no command starts while long work runs.
    if (toolId.count(QLatin1Char('_')) == 1 || busy()) return;
    const std::string category = GetToolCategory(text::upper(toolId.toStdString()));
    if (category == "ID_FILE") HandleFileMenu(category, toolId);
    else if (category == "ID_EDIT") HandleEditMenu(category, toolId);
    else if (category == "ID_VIEW") HandleViewMenu(category, toolId);
    else if (category == "ID_INSERT") HandleInsertMenu(category, toolId);
    else if (category == "ID_FORMAT") HandleFormatMenu(category, toolId);
    else if (category == "ID_TOOLS") HandleToolsMenu(category, toolId);
    else if (category == "ID_HELP") HandleHelpMenu(category, toolId);
    else if (category == "ID_ROOTNODE") HandleRootNodeMenu(category, toolId);
    else if (category == "ID_DBGROUPNODE") HandleDBGroupNodeMenu(category, toolId);
    else if (category == "ID_DATABASENODE") HandleDatabaseNodeMenu(category, toolId);
    else if (category == "ID_OTHERNODE") HandleOtherNodeMenu(category, toolId);
    else if (category == "ID_STYLESHEETSMENU") HandleStyleSheetsMenu(category, toolId);
    else if (category == "ID_COLORS") HandleColorsMenu(category, toolId);
}

void frmDatabaseExplorer::commandNotAvailable(const QString& toolId) {
    QString caption = tbMain->caption(toolId).remove(QLatin1Char('&')).simplified();
    if (caption.isEmpty()) caption = toolId;
    ui::MsgBox("The command \"" + caption.toStdString() + "\" is not available yet.", ui::MsgButtons::OK,
               ui::MsgIcon::Information);
}

void frmDatabaseExplorer::showConnectionWizard() {
    if (!ConnectionWizard) {
        ui::MsgBox("The connection wizard is not available yet.", ui::MsgButtons::OK, ui::MsgIcon::Information);
        return;
    }
    wizardVisible_ = true;
    try {
        ConnectionWizard(this, "");  // the wizard keeps the mode it was last given
    } catch (...) {
        wizardVisible_ = false;
        throw;
    }
    wizardVisible_ = false;
}

void frmDatabaseExplorer::showFolderDialog(const std::string& mode, const std::string& groupName) {
    frmDatabaseGroup dialog(this);
    dialog.GroupName = groupName;
    dialog.OpenMode = mode;
    dialog.showModal();
}

bool frmDatabaseExplorer::currentConnectionLoaded() const {
    xml::Node entry = oStructures.selectSingleNode(
        connectionPath(oReportEngine->CurrentDatabaseGroup(), oReportEngine->CurrentDatabaseNumber()));
    return structureLoaded() && entry && !loadedFrom_.empty() && entry.attribute("TempXMLFileName") == loadedFrom_;
}

void frmDatabaseExplorer::forgetLoadedStructure() {
    loadedFrom_.clear();
    oReportEngine->oResultXML.reset();
    EnableSaveMenus(false);
}

void frmDatabaseExplorer::dropLoadedStructure() {
    forgetLoadedStructure();
    ClearPreviews();
}

void frmDatabaseExplorer::useCurrentConnectionOptions() {
    if (!oReportEngine || currentConnectionLoaded()) return;
    const int g = oReportEngine->CurrentDatabaseGroup(), n = oReportEngine->CurrentDatabaseNumber();
    xml::Node entry = oStructures.selectSingleNode(connectionPath(g, n));
    if (!entry) return;
    if (!entry.attribute("TempXMLFileName").empty() && LoadCurrentDB()) return;
    // Not connected: its options, and no other connection's structure beside them.
    if (loadEntryOptions(g, n) && structureLoaded()) dropLoadedStructure();
}

bool frmDatabaseExplorer::ensureStructureLoaded() {
    // A popup may have made another connection current than the one loaded last.
    const bool current = currentConnectionLoaded();
    if (current || LoadCurrentDB()) return true;
    ui::MsgBox("Database is not connected, please connect and try again", ui::MsgButtons::OK,
               ui::MsgIcon::Critical, appTitle());
    return false;
}

void frmDatabaseExplorer::HandleFileMenu(const std::string& category, const QString& tool) {
    try {
        const std::string command = commandWord(category, tool);
        if (command == "OPEN") {
            std::string path;
            OpenStructure(path);
        } else if (command == "SAVEDVSFILE" || command == "SAVEASDVSFILE") {
            SaveStructure(command == "SAVEASDVSFILE");
        } else if (command == "SAVEASHTML" || command == "SAVEGROUP") {
            if (ensureStructureLoaded()) SaveHTML(true);
        } else if (command == "SAVEASXML") {
            if (ensureStructureLoaded()) SaveXML(true);
        } else if (command == "SAVEASWORDDOCUMENT") {
            std::string path;
            if (ensureStructureLoaded()) SaveInWord(path, true);
        } else if (command == "PRINTPREVIEW") {
            PrintPreviewDetails();
        } else if (command == "PRINT") {
            QPrinter printer;
            QPrintDialog dialog(&printer, this);
            if (dialog.exec() == QDialog::Accepted) {
                SetGridForPreview(false);
                PrintDetails(printer);
                SetGridForPreview(true);
            }
        } else if (command == "NEWDATABASESTRUCTURE" || command == "NEW_REPORT" || command == "NEW") {
            showConnectionWizard();
        } else if (command == "NEW_FOLDER") {
            showFolderDialog("New", {});
        } else if (command == "EXIT") {
            close();
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleFileMenu");
    }
}

void frmDatabaseExplorer::HandleEditMenu(const std::string& category, const QString& tool) {
    try {
        const std::string command = commandWord(category, tool);
        if (command == "COPYNAMES") {
            CopyChildNamesToClipboard();
        } else if (command == "REMOVEGROUP") {
            if (confirmed("Are you sure you want to delete this folder?")) DeleteDBGroup();
        } else if (command == "REMOVEDBSTRUCTURE") {
            if (confirmed("Are you sure you want to delete this connection?"))
                DeleteDBConnection(oReportEngine->CurrentDatabaseNumber());
        } else if (command == "REMOVEALLGROUPS") {
            if (confirmed("Are you sure you want to delete all folders?")) DeleteAllDBGroups();
        } else if (command == "REMOVEALLDBSTRUCTURES") {
            if (confirmed("Are you sure you want to delete all database connections?")) DeleteAllDBConnections();
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleEditMenu");
    }
}

void frmDatabaseExplorer::HandleViewMenu(const std::string& category, const QString& tool) {
    try {
        const std::string command = commandWord(category, tool);
        const bool checked = tbMain->isChecked(tool);
        auto layout = [this](bool normal, bool web, bool print) {
            obDBObjects->setVisible(normal && tbMain->isChecked("ID_View_DBObjectsBar"));
            spSeperator->setVisible(normal);
            spWebLayout->setVisible(web);
            spPrintLayout->setVisible(print);
            DisableNormalLayoutMenu(normal);
        };
        if (command == "NORMAL") {
            layout(true, false, false);
        } else if (command == "PRINTLAYOUT") {
            layout(false, false, true);
        } else if (command == "WEBLAYOUT") {
            layout(false, true, false);
        } else if (command == "DBTREEVIEW") {
            DisplayTreeview(checked);
        } else if (command == "DBOBJECTSBAR") {
            obDBObjects->setVisible(checked);
            // The splitter takes the bar's place through the window's layout.
            DisplayTreeview(!stMain->isHidden());
        } else if (command == "DETAILSTAB" || command == "HTMLPREVIEWTAB" || command == "XMLPREVIEWTAB") {
            int tab = command == "DETAILSTAB" ? 1 : command == "HTMLPREVIEWTAB" ? 2 : 3;
            if (!EnableTabs(tab, checked)) tbMain->setChecked(tool, !checked);
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleViewMenu");
    }
}

void frmDatabaseExplorer::HandleInsertMenu(const std::string& category, const QString& tool) {
    try {
        const std::string command = commandWord(category, tool);
        if (command == "NEWGROUP" || command == "DBFOLDER") showFolderDialog("New", {});
        else if (command == "DBSTRUCTURE") showConnectionWizard();
        else if (command == "DIAGRAM") {
            bool generate = true;
            ShowDiagram(generate);
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleInsertMenu");
    }
}

void frmDatabaseExplorer::HandleFormatMenu(const std::string& category, const QString& tool) {
    try {
        const std::string command = commandWord(category, tool);
        if (command == "CHOOSECOLUMNS") {
            frmDisplayColumns dialog(this);
            dialog.exec();
        } else if (command == "REPORTOPTIONS") {
            frmReportSetup setup(this);
            if (setup.ShowMe(1)) PreviewHTML(SelectedNodeKey);
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleFormatMenu");
    }
}

void frmDatabaseExplorer::HandleToolsMenu(const std::string& category, const QString& tool) {
    try {
        const std::string command = commandWord(category, tool);
        if (command == "BRENIK") {
            useCurrentConnectionOptions();
            if (!BrenikConnectionString().empty()) Brenik(false, "");
        } else if (command == "GENERATESQLSCRIPT") {
            if (ensureStructureLoaded()) GenerateSQLScript();
        } else if (command == "GENERATEBATCHFILE") {
            useCurrentConnectionOptions();
            frmGenerateBatchFile(this).ShowMe();
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleToolsMenu");
    }
}

void frmDatabaseExplorer::HandleHelpMenu(const std::string& category, const QString& tool) {
    try {
        const std::string command = commandWord(category, tool);
        if (command == "ABOUTDALVANE") {
            frmAbout about(this);
            about.exec();
        } else if (command == "CHECKFORUPDATES") {
            if (!oWebService) return;
            frmWait wait(this);
            {
                // The window stays alive while the service is asked; the wait window's Cancel
                // ends the call.
                LongWork work(this);
                oWebService->CheckApplicationUpdates(&wait);
            }
            if (oWebService->closeRequested) close();
        }
        else if (command == "DALVANEHELP") KeyHelp(focusWidget() ? focusWidget() : this);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleHelpMenu");
    }
}

void frmDatabaseExplorer::HandleRootNodeMenu(const std::string& category, const QString& tool) {
    try {
        const std::string command = commandWord(category, tool);
        if (command == "COLLAPSEALL") CollapseAll(stMain->currentItem(), true);
        else if (command == "EXPANDALL") CollapseAll(stMain->currentItem(), false);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleRootNodeMenu");
    }
}

void frmDatabaseExplorer::HandleDBGroupNodeMenu(const std::string& category, const QString& tool) {
    try {
        const std::string command = commandWord(category, tool);
        if (command == "COLLAPSEALL") CollapseAll(stMain->currentItem(), true);
        else if (command == "EXPANDALL") CollapseAll(stMain->currentItem(), false);
        else if (command == "GENERATEBATCHFILE") {
            useCurrentConnectionOptions();
            frmGenerateBatchFile(this).ShowMe();
        }
        else if (command == "NEWDATABASE") showConnectionWizard();
        else if (command == "RENAMEGROUP")
            showFolderDialog("Rename", stMain->currentItem() ? stMain->currentItem()->text(0).toStdString() : "");
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleDBGroupNodeMenu");
    }
}

void frmDatabaseExplorer::HandleDatabaseNodeMenu(const std::string& category, const QString& tool) {
    try {
        const std::string command = commandWord(category, tool);
        if (command == "COLLAPSEALL") {
            CollapseAll(stMain->currentItem(), true);
        } else if (command == "EXPANDALL") {
            CollapseAll(stMain->currentItem(), false);
        } else if (command == "MIGRATE") {
            // A connection not connected in this run is imported first.
            xml::Node entry = oStructures.selectSingleNode(
                connectionPath(oReportEngine->CurrentDatabaseGroup(), oReportEngine->CurrentDatabaseNumber()));
            bool loaded;
            if (entry && entry.attribute("TempXMLFileName").empty()) {
                loaded = RefreshDatabaseConnection();
                if (!loaded) {
                    EnableControls(true);
                    StopProgress("");
                }
            } else {
                loaded = ensureStructureLoaded();
            }
            // The migration needs the connection's structure.
            if (!loaded) return;
            if (MigrationWizard)
                MigrationWizard(this);
            else
                commandNotAvailable(tool);
        } else if (command == "PROPERTIES") {
            useCurrentConnectionOptions();
            if (ConnectionProperties)
                ConnectionProperties(this);
            else
                commandNotAvailable(tool);
        } else if (command == "REFRESH") {
            // The rebuilt tree has no selection, so nothing of the structure shown before stays;
            // after a failure the node says why it shows none.
            const bool refreshed = RefreshDatabaseConnection();
            ShowNodeContent(refreshed ? nullptr : stMain->currentItem());
        } else if (command == "REMOVE") {
            if (confirmed("Are you sure you want to delete this connection?"))
                DeleteDBConnection(oReportEngine->CurrentDatabaseNumber());
        } else if (command == "SAVE") {
            if (ensureStructureLoaded()) SaveHTML(true);
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleDatabaseNodeMenu");
    }
}

void frmDatabaseExplorer::HandleOtherNodeMenu(const std::string& category, const QString& tool) {
    try {
        const std::string command = commandWord(category, tool);
        if (command == "COLLAPSEALL") CollapseAll(stMain->currentItem(), true);
        else if (command == "EXPANDALL") CollapseAll(stMain->currentItem(), false);
        else if (command == "OPENALLROWS") OpenAllRows();
        else if (command == "EDITDIAGRAM") {
            bool generate = true;
            ShowDiagram(generate);
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.HandleOtherNodeMenu");
    }
}

void frmDatabaseExplorer::CollapseAll(QTreeWidgetItem* node, bool collapse) {
    if (!node) return;
    node->setExpanded(!collapse);
    for (int i = 0; i < node->childCount(); ++i) CollapseAll(node->child(i), collapse);
}

std::string frmDatabaseExplorer::OpenAllRowsQuery(const std::string& name, int engineId) {
    // Names that are not plain identifiers are quoted, the quote character doubled inside.
    static const std::regex plain("[A-Za-z0-9_]*");
    std::string quoted = name;
    if (!std::regex_match(name, plain)) {
        const bool access = EngineKindOf(engineId) == EngineKind::Access;
        const char close = access ? ']' : '"';
        quoted = access ? "[" : "\"";
        for (char c : name) {
            quoted += c;
            if (c == close) quoted += c;
        }
        quoted += close;
    }
    return "Select * from " + quoted;
}

void frmDatabaseExplorer::OpenAllRows() {
    // The table's own connection: its string and its engine's quoting.
    if (!ensureStructureLoaded()) return;
    const int g = oReportEngine->CurrentDatabaseGroup();
    const int n = oReportEngine->CurrentDatabaseNumber();
    xml::Node cs = oStructures.selectSingleNode("/" + connectionPath(g, n) + "/@ConnectionString");
    if (!cs) return;
    oReportEngine->ConnectionString(cs.text());
    QTreeWidgetItem* node = stMain->currentItem();
    if (!node) return;
    const std::string query = OpenAllRowsQuery(node->text(0).trimmed().toStdString(),
                                               oReportEngine->CurrentDatabaseEngineId());
    Brenik(true, query);
}

// ---- folders and connections -------------------------------------------------------------

xml::Node frmDatabaseExplorer::AddNewGroupName(const std::string& name) {
    xml::Node folder = oReportEngine->AddNewGroupName(name);
    if (folder) PopulateLHXML();
    return folder;
}

void frmDatabaseExplorer::RenameCurrentGroup(const std::string& newName) {
    try {
        xml::Node folder = oStructures.selectSingleNode(
            "DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(oReportEngine->CurrentDatabaseGroup()) + "]");
        if (folder) {
            // The key keeps the folder's number, so that selecting it makes it current.
            folder.setAttribute("Name", newName);
            folder.setAttribute("Key", TreeKeyName(newName) + "|" + std::to_string(oReportEngine->CurrentDatabaseGroup()));
        }
        PopulateLHXML();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.RenameCurrentGroup");
    }
}

bool frmDatabaseExplorer::DeleteConnectionTempFiles(int group, int number) {
    xml::Node temp = oStructures.selectSingleNode("/" + connectionPath(group, number) + "/@TempXMLFileName");
    oReportEngine->ClearRemovedDBInfo(temp ? temp.text() : std::string());
    return true;
}

namespace {

// Renumbers one connection entry and its options to position (g, c).
void renumberConnection(xml::Node conn, int g, int c, bool setGroup) {
    if (conn.hasAttribute("RHXPath")) conn.setAttribute("RHXPath", connectionPath(g, c));
    if (conn.hasAttribute("Key"))
        conn.setAttribute("Key", TreeKeyName(conn.attribute("Name")) + "|" + std::to_string(g) + "|" + std::to_string(c));
    xml::Node db = conn.selectSingleNode("DBOPTIONS/MOREINFO/DATABASE");
    if (db && db.hasAttribute("CurrentDatabaseNumber")) db.setAttribute("CurrentDatabaseNumber", std::to_string(c));
    if (setGroup && db && db.hasAttribute("CurrentDatabaseGroup"))
        db.setAttribute("CurrentDatabaseGroup", std::to_string(g));
}

}  // namespace

void frmDatabaseExplorer::DeleteDBConnection(int number) {
    try {
        const int g = oReportEngine->CurrentDatabaseGroup();
        xml::Node folder = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) + "]");
        if (!folder) return;
        xml::Node conn = folder.selectSingleNode("DATABASECONNECTION[" + std::to_string(number) + "]");
        if (!conn) return;
        DeleteConnectionTempFiles(g, number);
        conn.remove();
        // The current connection keeps its place when one before it goes.
        if (number < oReportEngine->CurrentDatabaseNumber())
            oReportEngine->CurrentDatabaseNumber(oReportEngine->CurrentDatabaseNumber() - 1);
        resetCurrentNumbers();
        int c = 1;
        for (xml::Node e : oStructures.selectNodes("DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) +
                                                   "]/DATABASECONNECTION")) {
            renumberConnection(e, g, c, false);
            std::string path;
            ResetAllKeys(e, g, c, path);
            ++c;
        }
        ClearPreviews();
        PopulateLHXML();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.DeleteDBConnection");
    }
}

void frmDatabaseExplorer::resetCurrentNumbers() {
    const int groups = oStructures.count("DATABASESTRUCTURES/DATABASEGROUP");
    const int g = std::clamp(oReportEngine->CurrentDatabaseGroup(), 1, std::max(groups, 1));
    oReportEngine->CurrentDatabaseGroup(g);
    const int connections = oStructures.count("DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) + "]/DATABASECONNECTION");
    oReportEngine->CurrentDatabaseNumber(std::clamp(oReportEngine->CurrentDatabaseNumber(), 1, std::max(connections, 1)));
    // A structure whose connection is gone is not kept beside another connection's options.
    if (!currentConnectionLoaded() && structureLoaded()) dropLoadedStructure();
}

void frmDatabaseExplorer::RemoveConnChildren(const std::string& xpath) {
    xml::Node element = oStructures.selectSingleNode(xpath);
    if (!element) return;
    for (xml::Node child : element.childElements()) child.remove();
}

void frmDatabaseExplorer::DeleteDBGroup() {
    try {
        const int g = oReportEngine->CurrentDatabaseGroup();
        xml::Node folder = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) + "]");
        if (!folder) throw std::runtime_error("The folder " + std::to_string(g) + " does not exist.");
        const int count = folder.count("DATABASECONNECTION");
        for (int c = 1; c <= count; ++c) DeleteConnectionTempFiles(g, c);
        folder.remove();
        int i = 1;
        for (xml::Node f : oStructures.selectNodes("DATABASESTRUCTURES/DATABASEGROUP")) {
            f.setAttribute("RHXPath", "DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(i) + "]/DATABASECONNECTION");
            if (f.hasAttribute("Key")) f.setAttribute("Key", TreeKeyName(f.attribute("Name")) + "|" + std::to_string(i));
            int c = 1;
            for (xml::Node conn : f.selectNodes("DATABASECONNECTION")) {
                renumberConnection(conn, i, c, true);
                std::string path;
                ResetAllKeys(conn, i, c, path);
                ++c;
            }
            ++i;
        }
        resetCurrentNumbers();
        PopulateLHXML();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.DeleteDBGroup");
    }
}

void frmDatabaseExplorer::DeleteAllDBGroups() {
    try {
        // The removed connections' temporary structure files go with them.
        const auto folders = oStructures.selectNodes("DATABASESTRUCTURES/DATABASEGROUP");
        for (std::size_t g = 1; g <= folders.size(); ++g)
            for (int c = 1, n = folders[g - 1].count("DATABASECONNECTION"); c <= n; ++c)
                DeleteConnectionTempFiles(static_cast<int>(g), c);
        for (xml::Node f : oStructures.selectNodes("DATABASESTRUCTURES/DATABASEGROUP")) f.remove();
        resetCurrentNumbers();
        PopulateLHXML();
        ClearPreviews();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.DeleteAllDBGroups");
    }
}

void frmDatabaseExplorer::DeleteAllDBConnections() {
    try {
        const int g = oReportEngine->CurrentDatabaseGroup();
        xml::Node folder = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) + "]");
        if (folder) {
            // Each is addressed as the first, since the one before it is gone.
            while (xml::Node conn = folder.selectSingleNode("DATABASECONNECTION[1]")) {
                DeleteConnectionTempFiles(g, 1);
                conn.remove();
            }
        }
        resetCurrentNumbers();
        PopulateLHXML();
        ClearPreviews();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.DeleteAllDBConnections");
    }
}

void frmDatabaseExplorer::ResetAllKeys(xml::Node node, int group, int number, std::string& path) {
    if (!node) return;
    const xml::NodeList children = node.childElements();
    for (std::size_t i = 0; i < children.size(); ++i) {
        xml::Node child = children[i];
        if (child.hasAttribute("Key")) {
            std::string key = TreeKeyName(child.attribute("Name")) + "|" + std::to_string(group) + "|" + std::to_string(number);
            if (!path.empty()) key += "|" + path;
            child.setAttribute("Key", key);
        }
        path = path.empty() ? std::to_string(i) : path + "|" + std::to_string(i);
        if (child.childCount() > 0) ResetAllKeys(child, group, number, path);
    }
}

void frmDatabaseExplorer::CopyChildNamesToClipboard() {
    QTreeWidgetItem* node = stMain->currentItem();
    if (!node) return;
    QString text = node->text(0);
    for (int i = 0; i < node->childCount(); ++i) text += QStringLiteral("\r\n") + node->child(i)->text(0);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

// ---- saving ------------------------------------------------------------------------------

std::string frmDatabaseExplorer::SaveXML(bool save) {
    try {
        std::string path = chosenFile("XML File | *.xml", "*.xml");
        if (path.empty() || !save) return path;
        LongWork work(this);
        setStatusText("Saving the XML report...");
        bool saved = false;
        ui::runLettingEventsRun([&] { saved = oReportEngine->SaveXML(path, true, false); });
        if (saved) {
            work.setResult("XML report saved: " + path);
            ui::prompter().openExternally(path);
        }
        return path;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.SaveXML");
        return {};
    }
}

std::string frmDatabaseExplorer::SaveHTML(bool save) {
    try {
        std::string chosen = ui::prompter().chooseFolder("Select HTML Folder", ReportsFolder);
        if (chosen.empty()) return {};
        // Database Stock in /out gives /out/Stockreport/.
        std::string folder =
            files::joinPath(chosen, bXMLSupport::HtmlFileStem(oReportEngine->DatabaseName()) + "report") + "/";
        if (save) {
            LongWork work(this);
            setStatusText("Writing the HTML report...");
            std::string page;
            const bool multiple = oReportEngine->HTML_MultipleHTMLs();
            ui::runLettingEventsRun([&] { page = bXMLSupport::SaveAsHTML(folder, multiple); });
            if (!page.empty()) {
                work.setResult("HTML report saved: " + folder);
                ui::prompter().openExternally(page);
            }
        }
        return folder;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.SaveHTML");
        return {};
    }
}

std::string frmDatabaseExplorer::SaveInWord(std::string& path, bool generate) {
    try {
        if (path.empty()) path = chosenFile("Microsoft Word Document | *.docx", "*.docx");
        if (path.empty() || !generate) return path;
        LongWork work(this);
        setStatusText("Preparing the Word report...");
        std::string text;
        bool applied = false;
        ui::runLettingEventsRun([&] {
            applied = oReportEngine->ApplyXSL(files::joinPath(StylesFolder, "WordFormat1.xsl"), false, &text);
        });
        if (!applied) return {};
        cWord oDalvWordReport(oReportEngine);
        oDalvWordReport.WhileGenerating = [this](int& action, std::string& message) {
            oDalvWordReport_WhileGenerating(action, message);
        };
        // A document that was not written is not reported as saved.
        return oDalvWordReport.GenerateWordDocument(text, path) ? path : std::string();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.SaveInWord");
        return {};
    }
}

bool frmDatabaseExplorer::GenerateSQLScript() {
    try {
        const std::string sheet = oReportEngine->ScriptXSL();
        if (sheet.empty() || !files::fileExists(sheet)) {
            ui::MsgBox("Unable to generate script file", ui::MsgButtons::OK, ui::MsgIcon::None, appTitle());
            return false;
        }
        const std::string path = chosenFile("SQL Query file | *.sql", "*.sql");
        if (path.empty()) return false;
        std::string script;
        if (!oReportEngine->ApplyXSL(sheet, false, &script, nullptr, oReportEngine->ScriptParameters())) return false;
        errno = 0;
        if (!files::writeTextFile(path, script)) {
            const long number = files::errorNumberOf(errno);
            const std::string text = files::fileErrorText(
                number, "Unable to save SQL Script file, access denied\nTry to save different folder.");
            if (text.empty())
                HandleError(number, "The script file " + path + " could not be written.",
                            "frmDatabaseExplorer.GenerateSQLScript");
            else
                ui::MsgBox(text, ui::MsgButtons::OK,
                           number == files::kPermissionDenied ? ui::MsgIcon::Critical : ui::MsgIcon::Information);
            return false;
        }
        return Brenik(false, script);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseExplorer.GenerateSQLScript");
        return false;
    }
}

void frmDatabaseExplorer::oDalvWordReport_WhileGenerating(int action, const std::string& message) {
    setStatusText(message);
    switch (action) {
    case 1:
        EnableControls(false);
        StartProgress(message, 10);
        break;
    case 2:
    case 3: IncrementProgress(message, 10); break;
    case 0:
        EnableControls(true);
        StopProgress(message);
        if (busy()) workResult_ = message;  // what the generation ended with stays
        break;
    default: break;
    }
}
