#include "reports/bXMLSupport.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"
#include "platform/text/Text.h"
#include "platform/xml/Xml.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <atomic>
#include <thread>
#include <mutex>
#include <deque>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <regex>
#include <cstring>
#include <set>
#include <stdexcept>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace bXMLSupport {

namespace {

namespace sfs = std::filesystem;

constexpr const char* kDelimiter = "<!--dalv html delimiter-->";

struct PageKind {
    const char* kind;
    const char* sheet;
    const char* objects;  // the paged objects' element under DATABASE, or null
    bool listsAll;        // one page listing every object: the longest of the whole kinds
};
constexpr PageKind kPageKinds[] = {
    {"Index", "index.xsl", nullptr, true},
    {"Tables", "tables.xsl", "TABLE[not(@PreviewContext)]", false},
    {"Views", "views.xsl", "VIEW", false},
    {"Diagram", "diagram.xsl", nullptr, true},
    {"StoredProcedures", "storedprocedures.xsl", "STOREDPROCEDURE", false},
    {"Summary", "summary.xsl", nullptr, false},
};

using ExportError = files::FileError;

// Shows the message of a known file error; any other goes to the error routine.
void reportFileError(const ExportError& e, const std::string& permissionText, ui::MsgIcon permissionIcon,
                     const std::string& source) {
    const std::string text = files::fileErrorText(e.number, permissionText, e.what());
    if (text.empty())
        HandleError(e.number, e.what(), source);
    else
        ui::MsgBox(text, ui::MsgButtons::OK,
                   e.number == files::kPermissionDenied ? permissionIcon : ui::MsgIcon::Information);
}


bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// The first page mark "<html>" white space "<!--" digits "-->" of text, or "".
std::string findPageMark(const std::string& text) {
    static const std::string open = "<html>";
    for (std::size_t pos = text.find(open); pos != std::string::npos; pos = text.find(open, pos + 1)) {
        std::size_t i = pos + open.size();
        while (i < text.size() && isSpace(text[i])) ++i;
        if (text.compare(i, 4, "<!--") != 0) continue;
        i += 4;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        if (text.compare(i, 3, "-->") != 0) continue;
        return text.substr(pos, i + 3 - pos);
    }
    return {};
}

// Folder for the report: Target itself, or the folder of a Target that names an .html file.
// Always ends with "/".
std::string reportFolder(const std::string& target) {
    std::string folder = files::normalizeSeparators(target);
    if (folder.find(".html") != std::string::npos) folder = files::parentFolder(folder);
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

void ensureFolder(const std::string& folder, const std::string& shown) {
    if (files::folderExists(folder) || files::createFolders(folder)) return;
    ui::MsgBox("Enable to create folder in the target directory " + shown, ui::MsgButtons::OK,
               ui::MsgIcon::Critical);
    throw ExportError(0, "");
}

void copyFileOver(const std::string& from, const std::string& to) {
    std::error_code ec;
    sfs::copy_file(from, to, sfs::copy_options::overwrite_existing, ec);
    if (ec) throw ExportError(files::errorNumberOf(ec.value()), "Cannot copy " + from + " to " + to + ": " + ec.message());
}

void copyImages(const std::string& destination) {
    if (ImagesFolder.empty() || !files::folderExists(ImagesFolder)) return;
    std::error_code ec;
    sfs::copy(ImagesFolder, destination, sfs::copy_options::recursive | sfs::copy_options::overwrite_existing, ec);
    if (ec) throw ExportError(files::errorNumberOf(ec.value()), "Cannot copy the report images: " + ec.message());
}

// The style file named by HTML_CurrentCSS: a path of its own when it exists there (a custom
// style), else the file of that name in the program's styles folder.
std::string cssSource(const std::string& currentCss) {
    const std::string css = files::normalizeSeparators(currentCss);
    if (!css.empty() && css.front() == '/' && files::fileExists(css)) return css;
    return files::joinPath(StylesFolder, files::fileName(css));
}

// Style files a style file imports by plain name (a colour scheme importing its layout's
// rules); names with a folder part are left alone.
std::vector<std::string> importedStyleFiles(const std::string& cssPath) {
    std::vector<std::string> names;
    std::string css;
    if (!files::readTextFile(cssPath, css)) return names;
    static const std::regex importRule(R"re(@import\s+(?:url\(\s*)?["']?([^"')\s;]+)["']?)re");
    for (std::sregex_iterator it(css.begin(), css.end(), importRule), end; it != end; ++it) {
        const std::string name = (*it)[1].str();
        if (name.find('/') == std::string::npos && name.find('\\') == std::string::npos && name != "." &&
            name != "..")
            names.push_back(name);
    }
    return names;
}

}  // namespace

std::string HtmlFileStem(const std::string& databaseName) {
    std::string stem = databaseName;
    for (char& c : stem)
        if (c == '/' || c == '\\') c = '_';
    return stem;
}

int GetHtmlPageNumber(const std::string& Mark) {
    std::string text = Mark;
    for (const char* token : {"<html>", "\r\n", "\n", "\r", "<!--", "-->"}) text = text::replaceAll(text, token, "");
    std::size_t first = 0, last = text.size();
    while (first < last && isSpace(text[first])) ++first;
    while (last > first && isSpace(text[last - 1])) --last;
    text = text.substr(first, last - first);
    if (text.empty() || text.size() > 9) return 1;  // up to 999,999,999 pages
    int value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return 1;
        value = value * 10 + (c - '0');
    }
    return value;
}

namespace {

// Pages of a run, each written to a staged file beside its final name as soon as it is made
// (so no run holds every page in memory), and moved to their names only once every page kind
// has been made. Staged files left behind are removed, by the run or by the next one.
struct PendingPages {
    std::vector<std::pair<std::string, std::string>> pages;  // final name, staged file
    bool committed = false;
    std::mutex mutex;  // pages are added by concurrent transforms
    PendingPages() = default;
    PendingPages(const PendingPages&) = delete;
    PendingPages& operator=(const PendingPages&) = delete;
    ~PendingPages() {
        if (!committed)
            for (const auto& [file, staged] : pages) ::unlink(staged.c_str());
    }
    void add(const std::string& file, const std::string& staged) {
        std::lock_guard<std::mutex> lock(mutex);
        pages.emplace_back(file, staged);
    }
};

// A staged name in the pattern of the writer's temporary files, so that the next run's
// clean-up of stale temporary files removes what a killed run left.
std::string stagedName(const std::string& file) {
    static std::atomic<unsigned> counter{0};
    const std::string n = std::to_string(counter++);
    return files::joinPath(files::parentFolder(file), "." + files::fileName(file).substr(0, 120) + ".staged" + n + "." +
                                                          std::to_string(::getpid()) + "." + n + "-0.dvtmp~");
}

// Writes the pages of Html as ParseHTML does, their names beginning with stem, result naming
// each file as it is written; with pending, each page goes to a staged file recorded there
// instead of its own name. Throws on failure.
void writePagesOrThrow(const std::string& Html, const std::string& Target, const std::string& stem,
                       const std::string& Kind, PendingPages* pending, std::string& result) {
    if (Html.empty()) return;
    const std::string folder = files::parentFolder(Target + "x");
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = Html.find(kDelimiter, start);
        const std::string part = Html.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string mark = findPageMark(part);
        if (mark.empty()) break;
        const int number = GetHtmlPageNumber(mark);
        const std::string file = Target + stem + Kind + std::to_string(number) + ".html";
        if (!folder.empty() && !files::isInside(file, folder))
            throw ExportError(files::kBadFileName, "Page file outside the report folder: " + file);
        errno = 0;
        const std::string text = part + "\r\n";
        const std::string staged = pending ? stagedName(file) : std::string();
        const bool written = pending ? files::writeNewFile(staged, text) : files::writeTextFile(file, text);
        if (!written) throw ExportError(files::errorNumberOf(errno), files::lastWriteError());
        if (pending) pending->add(file, staged);
        result = file;
        if (end == std::string::npos) break;
        start = end + std::char_traits<char>::length(kDelimiter);
    }
}

// Tells the user why pages could not be written.
void reportPageFailure(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const ExportError& e) {
        reportFileError(e, "You dont have permission to save the xml in the selected folder.", ui::MsgIcon::Information,
                        "bXMLSupport.ParseHTML");
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bXMLSupport.ParseHTML");
    }
}

// ParseHTML with its outcome: ok is false when a page could not be written (reported here).
std::string writePages(const std::string& Html, const std::string& Target, const std::string& Kind, bool& ok,
                       PendingPages* pending = nullptr) {
    std::string result;
    ok = true;
    try {
        if (oReportEngine)
            writePagesOrThrow(Html, Target, HtmlFileStem(oReportEngine->DatabaseName()), Kind, pending, result);
    } catch (...) {
        ok = false;
        reportPageFailure(std::current_exception());
    }
    return result;
}

}  // namespace

namespace {

// Holds an exclusive lock on a report folder while a report is written into it.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) ::flock(fd_, LOCK_EX);
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

// Removes the pages <stem><Kind><n>.html of folder that are not in keep; nothing else.
void removeEarlierPages(const std::string& folder, const std::string& stem, const std::set<std::string>& keep) {
    std::error_code ec;
    for (sfs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (keep.count(name) || name.size() <= stem.size() || name.compare(0, stem.size(), stem) != 0) continue;
        const std::string rest = name.substr(stem.size());
        bool page = false;
        for (const PageKind& k : kPageKinds) {
            const std::string kind = k.kind;
            if (rest.size() > kind.size() + 5 && rest.compare(0, kind.size(), kind) == 0 &&
                rest.compare(rest.size() - 5, 5, ".html") == 0) {
                const std::string number = rest.substr(kind.size(), rest.size() - kind.size() - 5);
                page = std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); });
            }
            if (page) break;
        }
        std::error_code rec;
        if (page && it->is_regular_file(rec) && !it->is_symlink(rec)) sfs::remove(it->path(), rec);
    }
}

// What each page transform would otherwise work out over the whole first stage: the place of
// each paged object among its kind (tables not there only for context, views, stored
// procedures) and each named object's anchor, unique in the document. Given to the page sheets
// as their paged-position, paged-run and anchor functions.
class PageIndex {
public:
    explicit PageIndex(const xml::Document& firstStage) {
        database_ = firstStage.documentElement();
        if (database_ && database_.name() != "DATABASE") database_ = xml::Node();
        const xml::NodeList objects = database_ ? database_.childElements() : xml::NodeList();
        for (const xml::Node& n : objects) {
            const std::string kind = n.name();
            const int k = kind == "TABLE" ? (n.hasAttribute("PreviewContext") ? -1 : 0)
                          : kind == "VIEW" ? 1
                          : kind == "STOREDPROCEDURE" ? 2
                                                      : -1;
            if (k >= 0) {
                paged_[k].push_back(n);
                place_[n.raw()] = {k, static_cast<int>(paged_[k].size())};
            }
            if (n.hasAttribute("Name")) sameAnchor_[anchorBase(n.attribute("Name"))].push_back(n.raw());
        }
        // Every object but the first of those whose names give one anchor is numbered.
        for (const auto& [base, same] : sameAnchor_)
            for (std::size_t i = 1; i < same.size(); ++i) numbered_[same[i]] = freeAnchor(base, static_cast<int>(i) + 1);
        functions_.text["paged-position"] = [this](const xml::Node& n) {
            const auto it = place_.find(n.raw());
            return it == place_.end() ? std::string() : std::to_string(it->second.position);
        };
        // The paged objects of n's kind at places p from n's on with p < n's place + count.
        functions_.nodes["paged-run"] = [this](const xml::Node& n, double count) {
            xml::NodeList run;
            const auto it = place_.find(n.raw());
            if (it == place_.end()) return run;
            const std::vector<xml::Node>& kind = paged_[it->second.kind];
            const int first = it->second.position;
            for (int p = first; p <= static_cast<int>(kind.size()) && p < first + count; ++p) run.push_back(kind[p - 1]);
            return run;
        };
        functions_.text["anchor"] = [this](const xml::Node& n) { return anchor(n); };
    }
    PageIndex(const PageIndex&) = delete;  // the functions point into this one
    PageIndex& operator=(const PageIndex&) = delete;
    const xml::XsltFunctions& functions() const { return functions_; }

private:
    static std::string anchorBase(std::string name) {
        for (char& c : name)
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') c = '_';
        return name;
    }
    // base-n, with -n added again while an object's name gives that anchor.
    std::string freeAnchor(const std::string& base, int n) const {
        const std::string suffix = "-" + std::to_string(n);
        std::string anchor = base + suffix;
        while (sameAnchor_.count(anchor)) anchor += suffix;
        return anchor;
    }
    std::string anchor(const xml::Node& n) const {
        if (!n || !n.hasAttribute("Name")) return std::string();
        if (const auto it = numbered_.find(n.raw()); it != numbered_.end()) return it->second;
        const std::string base = anchorBase(n.attribute("Name"));
        const auto same = sameAnchor_.find(base);
        if (n.parent() == database_ || same == sameAnchor_.end() || same->second.size() < 2) return base;
        // A node outside the objects, numbered among its own siblings.
        int place = 1;
        for (const xml::Node& sibling : n.parent().childElements()) {
            if (sibling == n) break;
            if (sibling.hasAttribute("Name") && anchorBase(sibling.attribute("Name")) == base) ++place;
        }
        return freeAnchor(base, place);
    }

    struct Place {
        int kind, position;
    };
    xml::Node database_;
    std::vector<xml::Node> paged_[3];  // tables, views, stored procedures
    std::unordered_map<const void*, Place> place_;
    std::unordered_map<std::string, std::vector<const void*>> sameAnchor_;
    std::unordered_map<const void*, std::string> numbered_;
    xml::XsltFunctions functions_;
};

// Transforms that run at once while a report is written (each holds its own keys and page
// tree beside the shared first stage: eight keep a large report within its memory), and the
// number of paged objects that makes a kind worth splitting into one more part.
unsigned renderThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 8u); }
constexpr int kObjectsPerPart = 500;

// The parts a kind of `objects` paged objects out of `paged` is made in. Each part pays for
// keys and variables over the whole document, so only a kind with a large share of the
// objects is split: a small kind in a large report stays whole. Two threads stay for the
// kinds made whole, whose longest (the pages listing every object) take most of a part's time.
int pagePartCount(int objects, int paged, unsigned threads) {
    const int limit = threads > 2 ? static_cast<int>(threads) - 2 : 1;
    const int byShare = paged > 0 ? static_cast<int>(static_cast<long long>(objects) * threads / paged) : 0;
    return std::clamp(std::min(objects / kObjectsPerPart, byShare), 1, limit);
}

// Makes every page kind of layout, each kind in one transform, or, for a kind with many
// objects whose sheet takes page-parts, in parts that each make every n-th page; up to
// renderThreads() transforms at once. Each page is written to a staged file of pending as soon
// as it is made, so no result holds more than one page. A layout that puts its pages into its
// output instead (delimited) has them written from there. Returns false after a failure it
// has reported; indexPage is the last index page written.
bool renderPages(const xml::Document& intermediate, const std::string& layout, const std::string& folder,
                 PendingPages& pending, std::string& indexPage) {
    struct Part {
        std::string kind, sheet;
        std::unique_ptr<xml::Stylesheet> style;
        std::string last;  // the last page written
        std::exception_ptr failure;
        bool split = false, listsAll = false;
        int objects = 0;  // paged objects of the kind
    };
    std::deque<Part> parts;  // stable: the sinks hold their part
    std::atomic<bool> failed{false};
    const unsigned threads = renderThreads();
    const std::string stem = HtmlFileStem(oReportEngine->DatabaseName());
    std::vector<xml::TransformJob> jobs;
    const PageIndex index(intermediate);
    int objectsOf[std::size(kPageKinds)] = {}, paged = 0;
    for (std::size_t i = 0; i < std::size(kPageKinds); ++i)
        if (kPageKinds[i].objects)
            paged += objectsOf[i] = intermediate.count(std::string("DATABASE/") + kPageKinds[i].objects);
    for (std::size_t i = 0; i < std::size(kPageKinds); ++i) {
        const PageKind& k = kPageKinds[i];
        const std::string sheet = text::replaceAll(layout, ".xsl", k.sheet);
        // A custom layout may leave out page kinds other than the index.
        if (std::string(k.kind) != "Index" && !files::fileExists(sheet)) continue;
        if (!files::fileExists(sheet)) {
            ui::MsgBox("Please check the xsl that you have clhosen to apply. Try again with the default xsl.",
                       ui::MsgButtons::OK, ui::MsgIcon::Critical, "Dalvane 4.5");
            return false;
        }
        int count = 1;
        const int objects = objectsOf[i];
        for (int n = 0; n < count; ++n) {
            Part& part = parts.emplace_back();
            part.kind = k.kind;
            part.sheet = sheet;
            part.listsAll = k.listsAll;
            part.objects = objects;
            part.style = std::make_unique<xml::Stylesheet>();
            if (!part.style->load(sheet)) {
                cReport::ReportXslFailure(sheet, part.style->error());
                return false;
            }
            if (n == 0 && k.objects && part.style->declaresParam("page-parts"))
                count = pagePartCount(objects, paged, threads);
            xml::TransformJob& job = jobs.emplace_back();
            job.sheet = part.style.get();
            job.functions = &index.functions();
            job.params = {{"page-documents", xml::kResultDocumentPrefix}};
            if (count > 1) {
                part.split = true;
                job.params["page-part"] = std::to_string(n);
                job.params["page-parts"] = std::to_string(count);
            }
            job.sink = [&part, &failed, &pending, &folder, &stem](const std::string&, std::string&& text) {
                if (failed) return true;  // a page failed: the rest are not written
                cReport::WithoutFoNamespace(text);
                // A document's text ends with a line break that the page in an output has not.
                if (!text.empty() && text.back() == '\n') text.pop_back();
                try {
                    writePagesOrThrow(text, folder, stem, part.kind, &pending, part.last);
                } catch (...) {
                    part.failure = std::current_exception();
                    failed = true;
                }
                return true;
            };
        }
    }
    // The parts of split kinds go first to the added threads, then the other kinds from the one
    // with most objects down; the calling thread, which takes jobs from the back, makes the
    // kinds whose one page lists every object, then the smallest kinds.
    std::vector<std::size_t> order(jobs.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto rank = [&](std::size_t i) {
        return std::pair(parts[i].split ? 0 : parts[i].listsAll ? 2 : 1, parts[i].split ? 0 : -parts[i].objects);
    };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return rank(a) < rank(b); });
    std::vector<xml::TransformJob> ordered;
    for (std::size_t i : order) ordered.push_back(std::move(jobs[i]));
    xml::transformConcurrently(intermediate, ordered, threads);
    for (std::size_t i = 0; i < order.size(); ++i) jobs[order[i]] = std::move(ordered[i]);

    for (std::size_t i = 0; i < jobs.size(); ++i)
        if (!jobs[i].ok) {
            cReport::ReportXslFailure(parts[i].sheet, jobs[i].error);
            return false;
        }
    for (const Part& part : parts)
        if (part.failure) {
            reportPageFailure(part.failure);
            return false;
        }
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        std::string& out = jobs[i].out;
        cReport::WithoutFoNamespace(out);
        if (findPageMark(out).empty()) continue;
        bool ok = true;
        const std::string file = writePages(out, folder, parts[i].kind, ok, &pending);
        if (!ok) return false;
        if (!file.empty()) parts[i].last = file;
        out.clear();
    }
    for (const Part& part : parts)
        if (part.kind == "Index") indexPage = part.last;
    return true;
}

}  // namespace


std::string ParseHTML(const std::string& Html, const std::string& Target, const std::string& Kind) {
    bool ok = true;
    return writePages(Html, Target, Kind, ok);
}

std::string SaveAsHTML(const std::string& Target, bool MultipleFiles) {
    (void)MultipleFiles;
    const std::string folder = reportFolder(Target);
    try {
        if (!oReportEngine || !oReportEngine->oResultXML || oReportEngine->oResultXML->isEmpty())
            throw ExportError(-1, "No database structure is loaded.");
        if (folder.empty()) throw ExportError(files::kBadFileName, "No report folder given.");
        ensureFolder(folder, folder);
        ensureFolder(folder + "images/", folder + "images/");
        ensureFolder(folder + "styles/", folder + "styles/");

        copyImages(folder + "images");

        const std::string cssFrom = cssSource(oReportEngine->HTML_CurrentCSS());
        const std::string cssTo = folder + "styles/" + files::fileName(cssFrom);
        if (!files::fileExists(cssFrom)) throw ExportError(files::kBadFileName, "The style sheet " + cssFrom + " does not exist.");
        if (sfs::weakly_canonical(cssFrom) != sfs::weakly_canonical(cssTo)) {
            copyFileOver(cssFrom, cssTo);
            for (const std::string& name : importedStyleFiles(cssFrom)) {
                const std::string from = files::joinPath(files::parentFolder(cssFrom), name);
                if (files::fileExists(from)) copyFileOver(from, folder + "styles/" + name);
            }
        }

        // The diagram page shows the picture when there is one.
        const std::string picture = oReportEngine->GetDiagramFileName();
        xml::Node database = oReportEngine->oResultXML->selectSingleNode("DATABASE");
        if (!picture.empty() && files::fileExists(picture)) {
            copyFileOver(picture, folder + "images/" + files::fileName(picture));
            if (database) database.setAttribute("DiagramFile", files::fileName(picture));
        } else if (database) {
            database.removeAttribute("DiagramFile");
        }

        // One run at a time writes into a folder; files a killed run left are removed.
        FolderLock lock(folder);
        files::removeStaleTempFiles(folder);

        const std::string layout = oReportEngine->HTML_CurrentXSL();
        PendingPages pages;
        cReport::FirstStageReuse reuse(*oReportEngine);
        const xml::Document* intermediate = oReportEngine->FirstStageDocument();
        if (!intermediate) throw ExportError(0, "");  // reported
        std::string indexPage;
        bool failed = !renderPages(*intermediate, layout, folder, pages, indexPage);
        // Every page was made: the report is written whole, and pages of an earlier report of
        // this database that the new one no longer has are removed.
        std::set<std::string> names;
        if (failed) return std::string();
        for (const auto& [file, staged] : pages.pages) {
            errno = 0;
            if (::rename(staged.c_str(), files::resolveWriteTarget(file).c_str()) != 0) {
                reportFileError(ExportError(files::errorNumberOf(errno), "Cannot write " + file + ": " + std::strerror(errno)),
                                "You dont have permission to save the xml in the selected folder.",
                                ui::MsgIcon::Information, "bXMLSupport.ParseHTML");
                failed = true;
                break;
            }
            names.insert(files::fileName(file));
        }
        pages.committed = !failed;
        if (!failed) removeEarlierPages(folder, HtmlFileStem(oReportEngine->DatabaseName()), names);
        return failed ? std::string() : indexPage;
    } catch (const ExportError& e) {
        if (e.number != 0)  // 0: already reported
            reportFileError(e, "You dont have permission to save the html file in " + folder + ".",
                            ui::MsgIcon::Critical, "bXMLSupport.SaveAsHTML");
        return "";
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bXMLSupport.SaveAsHTML");
        return "";
    }
}

}  // namespace bXMLSupport
