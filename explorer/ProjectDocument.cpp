#include "explorer/ProjectDocument.h"

#include "core/bGlobal.h"
#include "core/bVersion.h"
#include "platform/fs/Paths.h"

#include <QString>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

namespace history {
namespace {

std::string versionText() {
    return std::to_string(AppMajorVersion) + "." + std::to_string(AppMinorVersion);
}

// Attribute text of the first node an XPath selects; nullopt when absent or empty.
std::optional<std::string> nonEmpty(const xml::Node& base, const std::string& xpath) {
    xml::Node n = base.selectSingleNode(xpath);
    if (!n) return std::nullopt;
    std::string t = n.text();
    if (t.empty()) return std::nullopt;
    return t;
}

std::optional<double> number(const xml::Node& base, const std::string& xpath) {
    auto t = nonEmpty(base, xpath);
    if (!t) return std::nullopt;
    bool ok = false;
    double v = QString::fromStdString(*t).trimmed().toDouble(&ok);
    if (!ok) return std::nullopt;
    return v;
}

std::optional<bool> boolean(const xml::Node& base, const std::string& xpath) {
    auto t = nonEmpty(base, xpath);
    bool v = false;
    if (!t || !parseBoolean(*t, v)) return std::nullopt;
    return v;
}

// The result codes of DecryptText / EncryptText ("-1" to "-5").
bool isResultCode(const std::string& text) {
    if (text.size() != 2 || text[0] != '-') return false;
    return text[1] >= '1' && text[1] <= '5';
}

}  // namespace

std::string booleanText(bool value) { return value ? "True" : "False"; }

bool parseBoolean(const std::string& text, bool& value) {
    QString t = QString::fromStdString(text).trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("-1")) {
        value = true;
        return true;
    }
    if (t == QLatin1String("false") || t == QLatin1String("0")) {
        value = false;
        return true;
    }
    return false;
}

std::string numberText(double value) {
    return QString::number(static_cast<float>(value), 'g', 7).toStdString();
}

bool NewHistoryDocument(xml::Document& doc) {
    doc.clear();
    xml::Node root = doc.createRoot("DATABASESTRUCTURES");
    std::string today = FormatShortDate();
    root.setAttribute("CreatedOn", today);
    root.setAttribute("Version", versionText());
    root.setAttribute("Name", "Database Structures");
    root.setAttribute("Key", "Database Structures");
    root.setAttribute("RHXPath", "DATABASESTRUCTURES/DATABASEGROUP");
    root.setAttribute("Display", "1");
    root.setAttribute("TreeImage", "DATABASESTRUCTURES");
    root.setAttribute("ContextMenu", "ID_RootNode");
    xml::Node group = root.appendElement("DATABASEGROUP");
    group.setAttribute("Name", "Dalvane Folder");
    group.setAttribute("Key", "Dalvane Group|1");
    group.setAttribute("CreatedOn", today);
    group.setAttribute("RHXPath", "DATABASESTRUCTURES/DATABASEGROUP[1]/DATABASECONNECTION");
    group.setAttribute("Display", "1");
    group.setAttribute("TreeImage", "DATABASEGROUP");
    group.setAttribute("ContextMenu", "ID_DBGroupNode");
    return true;
}

xml::Node SaveUISettings(xml::Document& doc, const UILayout& layout) {
    xml::Node ui = doc.createElement("DALVANEUI");
    for (const auto& [id, selected] : layout.menus) {
        xml::Node m = ui.appendElement("MENU");
        m.setAttribute("Id", id);
        m.setAttribute("Selected", selected ? "1" : "0");
    }
    xml::Node engine = ui.appendElement("LASTDBENGINE");
    engine.setAttribute("Id", std::to_string(layout.lastEngineId));
    engine.setAttribute("Name", layout.lastEngineName);
    xml::Node win = ui.appendElement("MAINWINDOW");
    win.setAttribute("State", std::to_string(layout.windowState));
    if (layout.windowState == 0) {
        win.setAttribute("Width", numberText(layout.width));
        win.setAttribute("Height", numberText(layout.height));
        win.setAttribute("Top", numberText(layout.top));
        win.setAttribute("Left", numberText(layout.left));
    }
    xml::Node tabs = ui.appendElement("RHTABS");
    tabs.setAttribute("Width", numberText(layout.rhTabsWidth));
    tabs.appendElement("DETAILS").setAttribute("Visible", booleanText(layout.detailsVisible));
    tabs.appendElement("HTMLPREVIEW").setAttribute("Visible", booleanText(layout.htmlVisible));
    tabs.appendElement("XMLPREVIEW").setAttribute("Visible", booleanText(layout.xmlVisible));
    ui.appendElement("DBFOLDERVIEW").setAttribute("Width", numberText(layout.folderViewWidth));
    return ui;
}

bool GenerateHistory(const xml::Document& live, xml::Document& out, const UILayout& layout,
                     std::string& error) {
    out.clear();
    xml::Node liveRoot = live.selectSingleNode("DATABASESTRUCTURES");
    if (!liveRoot) {
        error = "The project document has no DATABASESTRUCTURES root.";
        return false;
    }
    xml::Node root = out.createRoot("DATABASESTRUCTURES");
    root.setAttribute("CreatedOn", liveRoot.attribute("CreatedOn"));
    root.setAttribute("Version", versionText());
    root.setAttribute("Name", "Database Structures");
    root.setAttribute("Key", "Database Structures");
    root.setAttribute("RHXPath", "DATABASESTRUCTURES/DATABASEGROUP");
    root.setAttribute("TreeImage", "DATABASESTRUCTURES");
    root.setAttribute("ContextMenu", "ID_RootNode");

    int g = 1;
    for (const xml::Node& folder : live.selectNodes("DATABASESTRUCTURES/DATABASEGROUP")) {
        xml::Node copy = root.appendElement(folder.name());
        for (const auto& [name, value] : folder.attributes()) copy.setAttribute(name, value);
        copy.setAttribute("RHXPath",
                          "DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) + "]/DATABASECONNECTION");
        for (const xml::Node& conn : folder.selectNodes("DATABASECONNECTION")) {
            xml::Node c = copy.appendElement(conn.name());
            for (const auto& [name, value] : conn.attributes()) c.setAttribute(name, value);
            if (c.hasAttribute("TempXMLFileName")) c.setAttribute("TempXMLFileName", "");
            if (c.hasAttribute("CurrentDVSFile")) c.setAttribute("CurrentDVSFile", "");
            if (c.hasAttribute("TreeImage")) c.setAttribute("TreeImage", "DATABASECONNECTION_CLOSE");
            if (xml::Node opts = conn.selectSingleNode("DBOPTIONS")) c.appendChild(opts);
            if (xml::Node rep = conn.selectSingleNode("REPORTOPTIONS")) c.appendChild(rep);
        }
        ++g;
    }
    root.appendChild(SaveUISettings(out, layout));
    return true;
}

bool ReadSavedLayout(const xml::Document& doc, SavedLayout& out) {
    out = SavedLayout{};
    xml::Node ui = doc.selectSingleNode("DATABASESTRUCTURES/DALVANEUI");
    if (!ui) return false;
    for (const xml::Node& m : ui.selectNodes("MENU[@Selected='1']"))
        out.checkedMenus.push_back(m.attribute("Id"));
    if (xml::Node id = ui.selectSingleNode("LASTDBENGINE/@Id"))
        out.lastEngineId = QString::fromStdString(id.text()).trimmed().toInt();
    if (xml::Node name = ui.selectSingleNode("LASTDBENGINE/@Name")) out.lastEngineName = name.text();
    if (xml::Node win = ui.selectSingleNode("MAINWINDOW")) {
        out.hasMainWindow = true;
        if (auto s = number(win, "@State")) out.windowState = static_cast<int>(*s);
        else if (!win.hasAttribute("State")) out.windowState = 2;
        out.left = number(win, "@Left");
        out.top = number(win, "@Top");
        out.width = number(win, "@Width");
        out.height = number(win, "@Height");
    }
    out.rhTabsWidth = number(ui, "RHTABS/@Width");
    out.detailsVisible = boolean(ui, "RHTABS/DETAILS/@Visible");
    out.htmlVisible = boolean(ui, "RHTABS/HTMLPREVIEW/@Visible");
    out.xmlVisible = boolean(ui, "RHTABS/XMLPREVIEW/@Visible");
    out.folderViewWidth = number(ui, "DBFOLDERVIEW/@Width");
    return true;
}

bool isProjectDocument(const xml::Document& doc) {
    xml::Node rh = doc.selectSingleNode("DATABASESTRUCTURES/@RHXPath");
    return rh && rh.text() != "1";
}

ReadResult ReadHistoryFile(const std::string& path, const std::string& passPhrase,
                           std::string& xmlText, std::string& error) {
    xmlText.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return ReadResult::Missing;
    std::string cipher;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "The project file " + path + " is not a file.";
        return ReadResult::ReadFailed;
    }
    if (!files::readTextFile(path, cipher)) {
        error = "The project file " + path + " cannot be read: " + std::strerror(errno);
        return ReadResult::ReadFailed;
    }
    std::string plain = DecryptText(cipher, passPhrase);
    if (isResultCode(plain)) {
        error = "it cannot be decrypted";
        return ReadResult::Unusable;
    }
    xml::Document probe;
    if (!probe.loadXML(plain) || !isProjectDocument(probe)) {
        error = "it is not a project document";
        return ReadResult::Unusable;
    }
    xmlText = std::move(plain);
    return ReadResult::Loaded;
}

std::string MoveAside(const std::string& path) {
    std::string target = path + ".unreadable";
    for (int n = 2; files::fileExists(target) && n < 1000; ++n)
        target = path + ".unreadable" + std::to_string(n);
    if (files::fileExists(target)) return {};
    if (std::rename(path.c_str(), target.c_str()) != 0) return {};
    return target;
}

bool WriteHistoryFile(const std::string& path, const xml::Document& doc,
                      const std::string& passPhrase, std::string& error) {
    std::string text = doc.isEmpty() ? std::string() : doc.xml();
    if (text.empty()) {
        error = "The project document is empty; nothing was written.";
        return false;
    }
    std::string cipher = EncryptText(text, passPhrase);
    if (cipher.empty() || isResultCode(cipher)) {
        error = "The project document could not be encrypted (" + cipher + "); " + path +
                " was left unchanged.";
        return false;
    }
    if (!files::writeTextFile(path, cipher, true)) {
        error = "The project document could not be written to " + path + ".";
        return false;
    }
    return true;
}

bool CheckProjectDocument(const xml::Document& doc, std::string& error) {
    if (doc.isEmpty() || !isProjectDocument(doc)) {
        error = "it is not a project document";
        return false;
    }
    std::set<std::string> keys;
    for (const xml::Node& e : doc.selectNodes("//*[@Key]")) {
        const std::string key = e.attribute("Key");
        if (!e.hasAttribute("Name")) {
            error = "the element " + e.name() + " with key \"" + key + "\" has no name";
            return false;
        }
        const QStringList parts = QString::fromStdString(key).split(QLatin1Char('|'));
        for (qsizetype i = 1; i < parts.size(); ++i) {
            bool ok = false;
            parts[i].trimmed().toInt(&ok);
            if (!ok && !parts[i].trimmed().isEmpty()) {
                error = "the key \"" + key + "\" is not a name followed by numbers";
                return false;
            }
        }
        if (!keys.insert(key).second) {
            error = "the key \"" + key + "\" is used twice";
            return false;
        }
    }
    return true;
}

namespace {
std::string noticePath(const std::string& path) {
    return files::joinPath(std::filesystem::path(path).parent_path().string(), kNoticeFileName);
}
}  // namespace

std::string SaveAfterError(const std::string& path, const xml::Document& doc, const std::string& passPhrase) {
    std::string notice;
    std::string previous;
    std::string cipher;
    if (files::fileExists(path) && files::readTextFile(path, cipher)) {
        previous = path + ".previous";
        if (!files::writeTextFile(previous, cipher, true)) previous.clear();
    }
    std::string error;
    if (CheckProjectDocument(doc, error)) {
        if (WriteHistoryFile(path, doc, passPhrase, error))
            notice = "The last session ended after an error. Its project changes were saved";
        else
            notice = "The last session ended after an error and its project changes could not be saved (" +
                     error + ")";
    } else {
        const std::string failedPath = path + ".failed";
        std::string why;
        if (WriteHistoryFile(failedPath, doc, passPhrase, why))
            notice = "The last session ended after an error. Its project did not pass the check (" + error +
                     "), so it was kept as\n" + failedPath + "\nand the project before it was opened";
        else
            notice = "The last session ended after an error. Its project did not pass the check (" + error +
                     ") and could not be kept (" + why + ")";
    }
    if (!previous.empty()) notice += ".\nThe project as it was before the session is kept as\n" + previous;
    notice += ".";
    files::writeTextFile(noticePath(path), notice, true);
    return notice;
}

std::string TakeNotice(const std::string& path) {
    const std::string file = noticePath(path);
    std::string text;
    if (!files::fileExists(file) || !files::readTextFile(file, text)) return {};
    files::removeFile(file);
    return text;
}

}  // namespace history
