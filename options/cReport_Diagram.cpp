// cReport: diagram settings and the colour functions.
#include "options/cReport.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/cGUID.h"
#include "options/ReportSupport.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"

#include <QFileSystemWatcher>

#include <dlfcn.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>

using namespace report_support;

namespace {

struct ColourDefault {
    const char* element;
    const char* red;
    const char* blue;
    const char* green;
};

constexpr ColourDefault kColours[] = {
    {"HEADINGCOLOR", "0", "255", "0"},        {"BACKCOLOR", "255", "255", "255"},
    {"TABLETITLEBACKCOLOR", "0", "255", "0"}, {"TABLETITLETEXTCOLOR", "255", "255", "255"},
    {"TABLETEXTCOLOR", "0", "0", "0"},        {"TABLEBACKCOLOR", "255", "255", "255"},
    {"TABLEBORDER", "0", "255", "0"},         {"LINE", "0", "0", "0"},
};

}  // namespace

void cReport::InitializeDiagramSettings() {
    try {
        xml::Document doc;
        xml::Node root = doc.createRoot("DIAGRAM");
        root.setAttribute("QUALITY", "75");
        for (const ColourDefault& c : kColours) {
            xml::Node e = root.appendElement(c.element);
            e.setAttribute("Red", c.red);
            e.setAttribute("Blue", c.blue);
            e.setAttribute("Green", c.green);
        }
        xml::Node title = root.appendElement("TITLEFONT");
        title.setAttribute("FontName", "Arial");
        title.setAttribute("FontSize", "10");
        title.setAttribute("Bold", "1");
        title.setAttribute("Underline", "0");
        xml::Node table = root.appendElement("TABLEFONT");
        table.setAttribute("FontName", "Arial");
        table.setAttribute("FontSize", "8");
        table.setAttribute("Bold", "0");
        xml::Node tableTitle = root.appendElement("TABLETITLEFONT");
        tableTitle.setAttribute("FontName", "Arial");
        tableTitle.setAttribute("FontSize", "8");
        tableTitle.setAttribute("Bold", "1");
        diagram_ = std::move(doc);
    } catch (const std::exception&) {
        // stops silently
    }
}

// ---------------------------------------------------------------- colours

long cReport::colour(const char* element) const {
    xml::Node e = diagram_.selectSingleNode(std::string("DIAGRAM/") + element);
    if (!e) return 0;
    auto red = parseInt16(e.attribute("Red"));
    auto green = parseInt16(e.attribute("Green"));
    auto blue = parseInt16(e.attribute("Blue"));
    if (!red || !green || !blue) return 0;
    return *red + 256L * *green + 65536L * *blue;
}

void cReport::colour(const char* element, long value) {
    xml::Node e = diagram_.selectSingleNode(std::string("DIAGRAM/") + element);
    if (!e) return;
    if (value < 0 || value > 0xFFFFFF) return;  // only plain RGB values are stored
    int red = 0, green = 0, blue = 0;
    fnGetRGBFromHex(value, red, green, blue);
    if (e.hasAttribute("Red")) e.setAttribute("Red", std::to_string(red));
    if (e.hasAttribute("Green")) e.setAttribute("Green", std::to_string(green));
    if (e.hasAttribute("Blue")) e.setAttribute("Blue", std::to_string(blue));
}

#define DIAGRAM_COLOUR(Name, Element)                                 \
    long cReport::Name() const { return colour(Element); }            \
    void cReport::Name(long lValue) { colour(Element, lValue); }

DIAGRAM_COLOUR(HeadingColor, "HEADINGCOLOR")
DIAGRAM_COLOUR(DiagramBackColor, "BACKCOLOR")
DIAGRAM_COLOUR(TableTitleBackColor, "TABLETITLEBACKCOLOR")
DIAGRAM_COLOUR(TableTitleTextColor, "TABLETITLETEXTCOLOR")
DIAGRAM_COLOUR(TableBackColor, "TABLEBACKCOLOR")
DIAGRAM_COLOUR(TableTextColor, "TABLETEXTCOLOR")
DIAGRAM_COLOUR(TableBorderColor, "TABLEBORDER")
DIAGRAM_COLOUR(LineColor, "LINE")
#undef DIAGRAM_COLOUR

// ---------------------------------------------------------------- fonts

#define DIAGRAM_FONT(Prefix, Element)                                                              \
    std::string cReport::Prefix##Name() const { return attr(diagram_, "DIAGRAM/" Element "/@FontName"); } \
    void cReport::Prefix##Name(const std::string& sFontName) {                                     \
        setAttr(diagram_, "DIAGRAM/" Element "/@FontName", sFontName);                             \
    }                                                                                              \
    void cReport::Prefix##Size(int iFontSize) {                                                    \
        if (iFontSize < -32768 || iFontSize > 32767) return;                                       \
        setAttr(diagram_, "DIAGRAM/" Element "/@FontSize", std::to_string(iFontSize));             \
    }                                                                                              \
    bool cReport::Prefix##Bold() const {                                                           \
        return parseBool(attr(diagram_, "DIAGRAM/" Element "/@Bold")).value_or(false);             \
    }                                                                                              \
    void cReport::Prefix##Bold(bool bBold) { setAttr(diagram_, "DIAGRAM/" Element "/@Bold", bBold ? "1" : "0"); } \
    bool cReport::Prefix##Underline() const {                                                      \
        return parseBool(attr(diagram_, "DIAGRAM/" Element "/@Underline")).value_or(false);        \
    }                                                                                              \
    void cReport::Prefix##Underline(bool bUnderline) {                                             \
        setAttr(diagram_, "DIAGRAM/" Element "/@Underline", bUnderline ? "1" : "0");               \
    }

DIAGRAM_FONT(TitleFont, "TITLEFONT")
DIAGRAM_FONT(TableFont, "TABLEFONT")
DIAGRAM_FONT(TableTitleFont, "TABLETITLEFONT")
#undef DIAGRAM_FONT

int cReport::TitleFontSize() const {
    const std::string text = attr(diagram_, "DIAGRAM/TITLEFONT/@FontSize");
    int size = parseInt16(text).value_or(0);
    return size == 0 && parseInt16(text) ? 12 : size;
}
int cReport::TableFontSize() const { return parseInt16(attr(diagram_, "DIAGRAM/TABLEFONT/@FontSize")).value_or(0); }
int cReport::TableTitleFontSize() const {
    return parseInt16(attr(diagram_, "DIAGRAM/TABLETITLEFONT/@FontSize")).value_or(0);
}

// ---------------------------------------------------------------- colour functions

std::string cReport::fnReverseRGB(const std::string& strRGB) {
    std::string out;
    for (long pos = static_cast<long>(strRGB.size()) - 1; pos >= 1; pos -= 2)
        out += strRGB.substr(static_cast<std::size_t>(pos - 1), 2);
    return out;
}

std::string cReport::fnGetHTMLRGB(long lngColor) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lX", static_cast<unsigned long>(lngColor) & 0xFFFFFFFFUL);
    std::string hex = buf;
    if (hex.size() > 6) return {};
    hex.insert(0, 6 - hex.size(), '0');
    return fnReverseRGB(hex);
}

void cReport::fnGetRGBFromHex(long lColor, int& ipRed, int& ipGreen, int& ipBlue) {
    const std::string html = fnGetHTMLRGB(lColor);
    if (html.size() != 6) return;
    ipRed = std::stoi(html.substr(0, 2), nullptr, 16);
    ipGreen = std::stoi(html.substr(2, 2), nullptr, 16);
    ipBlue = std::stoi(html.substr(4, 2), nullptr, 16);
}

// ---------------------------------------------------------------- diagram file and launch

namespace {

std::string connectionEntryPath(int g, int n) {
    return "DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) + "]/DATABASECONNECTION[" + std::to_string(n) + "]";
}

// Moves an unreadable file out of the way under a free name and returns that name ("" when it
// could not be moved).
std::string moveAside(const std::string& path) {
    for (int i = 0; i < 1000; ++i) {
        const std::string aside = path + (i == 0 ? std::string(".unreadable") : ".unreadable" + std::to_string(i));
        std::error_code ec;
        if (std::filesystem::exists(aside, ec)) continue;
        std::filesystem::rename(path, aside, ec);
        return ec ? std::string() : aside;
    }
    return {};
}

// The diagram window edits this copy in a folder of its own; each save in it (the picture
// written last, renamed into place) replaces the diagram file and its picture.
class DiagramWorkingCopy {
public:
    DiagramWorkingCopy(const std::string& target, const xml::Document& diagram) : target_(target) {
        folder_ = files::joinPath(files::privateTempFolder(), files::tempNameFor("diagram"));
        path_ = files::joinPath(folder_, files::fileName(target));
        if (!files::createFolder(folder_) || !diagram.save(path_))
            throw std::runtime_error("The diagram cannot be prepared in " + folder_ + ".");
        watcher_.addPath(QString::fromStdString(folder_));
        QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, [this] { commitSaved(); });
    }
    ~DiagramWorkingCopy() {
        watcher_.removePaths(watcher_.directories());
        commitSaved();  // the save of Update and Exit, when its notice has not come yet
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    DiagramWorkingCopy(const DiagramWorkingCopy&) = delete;
    DiagramWorkingCopy& operator=(const DiagramWorkingCopy&) = delete;
    const std::string& path() const { return path_; }

private:
    void commitSaved() {
        const std::string picture = files::replaceExtension(path_, ".jpg");
        std::error_code ec;
        const auto stamp = std::filesystem::last_write_time(picture, ec);
        if (ec || (committed_ && *committed_ == stamp)) return;
        committed_ = stamp;
        std::string diagram, image;
        const std::string targetPicture = files::replaceExtension(target_, ".jpg");
        const std::string folder = files::parentFolder(target_);
        if (!files::readTextFile(path_, diagram) || !files::readTextFile(picture, image) ||
            (!files::folderExists(folder) && !files::createFolders(folder)) ||
            !files::writeTextFile(target_, diagram) || !files::writeTextFile(targetPicture, image))
            HandleError(-1, "The saved diagram could not be written to " + target_ + ": " + files::lastWriteError(),
                        "bRelationshipDiagram.ExecuteDiagramApp");
    }

    std::string target_, folder_, path_;
    QFileSystemWatcher watcher_;
    std::optional<std::filesystem::file_time_type> committed_;
};

}  // namespace

bool cReport::ShowRelationshipDiagram(unsigned long long lHandletoWindow, bool& bEditDiagram,
                                      std::string& sDiagramJPGFile, std::string& sDiagramXMLTempFile) {
    (void)lHandletoWindow;
    try {
        if (!oResultXML || oResultXML->isEmpty()) return false;
        xml::Node entry = oStructures.isEmpty() ? xml::Node()
                                                : oStructures.selectSingleNode(connectionEntryPath(
                                                      CurrentDatabaseGroup(), CurrentDatabaseNumber()));
        if (!entry) return false;
        std::string path = entry.attribute("DiagramFile");
        if (path.empty()) {
            std::string name = DatabaseName();
            if (name.empty()) name = attr(*oResultXML, "DATABASE/@DatabaseName");
            std::string folder = DiagramFolder;
            if (folder.empty() && !ReportsFolder.empty()) folder = files::joinPath(ReportsFolder, "Relationship Diagram");
            if (folder.empty()) throw std::runtime_error("There is no folder for relationship diagrams.");
            if (!files::folderExists(folder) && !files::createFolders(folder))
                throw std::runtime_error("The folder " + folder + " could not be created.");
            path = files::joinPath(folder, files::safeFileName(name + "_" + (oGUID ? oGUID->GetGUID() : cGUID().GetGUID())) + ".xml");
            entry.setAttribute("DiagramFile", path);
        }
        sDiagramXMLTempFile = path;
        CheckDiagramXML(path);
        const std::string picture = files::replaceExtension(path, ".jpg");
        if (!bEditDiagram && !files::fileExists(picture)) {
            bEditDiagram = ui::MsgBox("Relationship diagram is not generated for this database.\nDo you want to generate now?",
                                      ui::MsgButtons::YesNo, ui::MsgIcon::Question) == ui::MsgResult::Yes;
        }
        sDiagramJPGFile = picture;
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bRelationshipDiagram.ShowRelationshipDiagram");
        return false;
    }
}

bool cReport::CheckDiagramXML(const std::string& path) {
    try {
        diagramPrepared_.clear();
        if (!BuildDiagramXml()) return false;
        if (files::fileExists(path)) {
            xml::Document previous;
            if (previous.load(path)) {
                diagramOld_ = std::move(previous);
                UpdateDiagramXML();
            } else {
                const std::string aside = moveAside(path);
                ui::MsgBox("The previous diagram file " + path + " could not be read (" + previous.parseError() +
                               "). " + (aside.empty() ? std::string("It is replaced.") : "It was kept as " + aside + "."),
                           ui::MsgButtons::OK, ui::MsgIcon::Exclamation);
            }
        }
        diagramPrepared_ = path;
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bRelationshipDiagram.CheckDiagramXML");
        return false;
    }
}

bool cReport::BuildDiagramXml() {
    try {
        xml::Node database = oResultXML ? oResultXML->selectSingleNode("/DATABASE") : xml::Node();
        if (!database) return false;
        xml::Document doc;
        xml::Node root = doc.createRoot("DATABASE");
        for (const auto& [name, value] : database.attributes()) root.setAttribute(name, value);
        for (const xml::Node& table : database.selectNodes("TABLE"))
            if (table.count("COLUMN") > 0) root.appendChild(table);
        if (xml::Node settings = diagram_.selectSingleNode("/DIAGRAM")) root.appendChild(settings);
        diagramNew_ = std::move(doc);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void cReport::UpdateDiagramXML() {
    try {
        for (const xml::Node& old : diagramOld_.selectNodes("/DATABASE/TABLE")) {
            xml::Node fresh =
                diagramNew_.selectSingleNode("/DATABASE/TABLE[@Name=" + xml::xpathLiteral(old.attribute("Name")) + "]");
            if (!fresh) continue;
            for (const char* a : {"Left", "Top", "Width", "Height"})
                if (old.hasAttribute(a)) fresh.setAttribute(a, old.attribute(a));
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bRelationshipDiagram.UpdateDiagramXML");
    }
}

bool cReport::PreviewDiagram(const std::string& sDiagramJPGTempFile, std::string& sPreviewDiagramFile,
                             std::string& sPreviewDiagramPrint) {
    try {
        xml::Node database = oResultXML ? oResultXML->selectSingleNode("DATABASE") : xml::Node();
        if (!database) return false;
        database.setAttribute("DiagramFile", files::fileName(sDiagramJPGTempFile));
        if (!files::fileExists(sDiagramJPGTempFile)) return true;
        const std::string images = PreviewFilePath("images");
        if (!files::folderExists(images) && !files::createFolders(images)) return false;
        std::string picture;
        if (!files::readTextFile(sDiagramJPGTempFile, picture) ||
            !files::writeTextFile(files::joinPath(images, files::fileName(sDiagramJPGTempFile)), picture))
            return false;
        if (!BuildPreviewXML("DATABASE")) return false;
        std::string screen, print, xmlText;
        if (!RenderPreviewPages("diagram", screen, xmlText, print)) return false;
        const std::string screenPath = PreviewFilePath("temp.html");
        const std::string printPath = PreviewFilePath("temp_print.html");
        if (!files::writeTextFile(screenPath, screen) || !files::writeTextFile(printPath, print)) return false;
        sPreviewDiagramFile = screenPath;
        sPreviewDiagramPrint = printPath;
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool cReport::ExecuteDiagramApp(unsigned long long lHandletoWindow, const std::string& sDiagramXMLFile,
                                const std::string& sourceName) {
    if (diagramRunning_) return false;  // one diagram window at a time
    try {
        const std::string library =
            DiagramLibraryPath.empty() ? files::joinPath(AppFolder, "liborbelle.so") : DiagramLibraryPath;
        // Loaded by its full path only, and kept loaded for the next diagram.
        void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* why = ::dlerror();
            throw std::runtime_error("The diagram library " + library + " could not be loaded: " +
                                     (why ? why : "unknown reason"));
        }
        using InitFn = int (*)();
        using CreateFn = int (*)(const char*, const char*);
        auto init = reinterpret_cast<InitFn>(::dlsym(handle, "InitializeVariable"));
        auto create = reinterpret_cast<CreateFn>(::dlsym(handle, "CreateWindowFunction"));
        if (!init || !create)
            throw std::runtime_error(std::string("The diagram library ") + library + " has no entry point " +
                                     (!init ? "InitializeVariable" : "CreateWindowFunction") + ".");
        struct Running {
            bool& flag;
            explicit Running(bool& f) : flag(f) { flag = true; }
            ~Running() { flag = false; }
        } running(diagramRunning_);
        init();
        const std::string handleText = std::to_string(lHandletoWindow);
        if (sDiagramXMLFile.empty() || sDiagramXMLFile != diagramPrepared_ || diagramNew_.isEmpty())
            return (create(handleText.c_str(), sDiagramXMLFile.c_str()) & 0xFFFF) == 1;
        DiagramWorkingCopy copy(sDiagramXMLFile, diagramNew_);
        return (create(handleText.c_str(), copy.path().c_str()) & 0xFFFF) == 1;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), sourceName);
        return false;
    }
}
