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
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <exception>
#include <atomic>
#include <thread>
#include <mutex>
#include <deque>
#include <cctype>
#include <cstdio>
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

std::string lastFailure;  // of the running or last SaveAsHTML



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
    errno = 0;
    if (files::folderExists(folder) || files::createFolders(folder)) return;
    lastFailure = "Cannot create " + shown + (errno ? std::string(": ") + std::strerror(errno) : std::string());
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

// Names of the pages a run has made in its staging folder (added by concurrent transforms).
struct PendingPages {
    std::set<std::string> names;
    std::mutex mutex;
    void add(const std::string& file) {
        std::lock_guard<std::mutex> lock(mutex);
        names.insert(files::fileName(file));
    }
};

// Writes the pages of Html as ParseHTML does, their names beginning with stem, result naming
// each file as it is written; with pending, Target is a private staging folder and each page
// written is recorded there. Throws on failure.
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
        const bool written = pending ? files::writeNewFile(file, text, true) : files::writeTextFile(file, text);
        if (!written) throw ExportError(files::errorNumberOf(errno), files::lastWriteError());
        if (pending) pending->add(file);
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
        lastFailure = e.what();
        ReportFileError(e, "You dont have permission to save the xml in the selected folder.", "bXMLSupport.ParseHTML");
    } catch (const std::exception& e) {
        lastFailure = e.what();
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

// True for the name of a page <stem><Kind><n>.html.
bool isPageOf(const std::string& name, const std::string& stem) {
    if (name.size() <= stem.size() || name.compare(0, stem.size(), stem) != 0) return false;
    const std::string rest = name.substr(stem.size());
    for (const PageKind& k : kPageKinds) {
        const std::string kind = k.kind;
        if (rest.size() > kind.size() + 5 && rest.compare(0, kind.size(), kind) == 0 &&
            rest.compare(rest.size() - 5, 5, ".html") == 0) {
            const std::string number = rest.substr(kind.size(), rest.size() - kind.size() - 5);
            if (std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); })) return true;
        }
    }
    return false;
}

// Removes the pages <stem><Kind><n>.html of folder that are not in keep; nothing else.
void removeEarlierPages(const std::string& folder, const std::string& stem, const std::set<std::string>& keep) {
    std::error_code ec;
    for (sfs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code rec;
        if (!keep.count(name) && isPageOf(name, stem) && it->is_regular_file(rec) && !it->is_symlink(rec))
            sfs::remove(it->path(), rec);
    }
}

[[noreturn]] void throwWriteError(int err, const std::string& what) {
    throw ExportError(files::errorNumberOf(err), what + ": " + std::strerror(err));
}

// Refuses to write at path, which st describes, unless it is a regular file.
void refuseUnlessRegular(const struct stat& st, const std::string& path) {
    if (S_ISLNK(st.st_mode)) throwWriteError(ELOOP, "Cannot write " + path + ", which is a link");
    if (!S_ISREG(st.st_mode)) throwWriteError(EINVAL, "Cannot write " + path + " (not a regular file)");
}

// The file descriptor of an open folder, closed with it.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& o) noexcept {
        std::swap(fd_, o.fd_);
        return *this;
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// Refuses a link, or anything that is not a folder or a regular file, in the tree of the folder
// open at dir (shown names it).
void refuseLinksIn(int dir, const std::string& shown) {
    std::error_code ec;
    for (sfs::directory_iterator it("/proc/self/fd/" + std::to_string(dir), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        struct stat st {};
        if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISLNK(st.st_mode)) throwWriteError(ELOOP, "Cannot write " + shown + name + ", which is a link");
        if (S_ISDIR(st.st_mode)) {
            const Fd sub(files::openFolderAt(dir, name, false, shown + name));
            if (sub.get() < 0) throw ExportError(files::errorNumberOf(errno), files::lastWriteError());
            refuseLinksIn(sub.get(), shown + name + "/");
        } else if (!S_ISREG(st.st_mode) && !files::isTempName(name)) {
            throwWriteError(EINVAL, "Cannot write " + shown + name + " (not a regular file)");
        }
    }
}

// Moves the files of the staging folder src into the folder open at dest, each over the file of
// its name there, creating folders as needed; with checkOnly it only refuses names there that
// are links or not regular files. shown names dest, ending with '/'.
void moveInto(const std::string& src, int dest, const std::string& shown, bool checkOnly) {
    std::error_code ec;
    std::vector<std::string> names;
    for (sfs::directory_iterator it(src, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    if (ec) throwWriteError(ec.value(), "Cannot read " + src);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string from = src + "/" + name;
        std::error_code rec;
        if (sfs::is_directory(sfs::symlink_status(from, rec))) {
            const Fd sub(files::openFolderAt(dest, name, !checkOnly, shown + name));
            if (sub.get() < 0) {
                if (checkOnly && errno == ENOENT) continue;
                throw ExportError(files::errorNumberOf(errno), files::lastWriteError());
            }
            moveInto(from, sub.get(), shown + name + "/", checkOnly);
            continue;
        }
        struct stat st {};
        if (::fstatat(dest, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) refuseUnlessRegular(st, shown + name);
        if (!checkOnly && ::renameat(AT_FDCWD, from.c_str(), dest, name.c_str()) != 0)
            throwWriteError(errno, "Cannot write " + shown + name);
    }
}

// Puts the files of old's tree that fresh lacks into fresh, as links to the same files.
void carryOver(const std::string& old, const std::string& fresh) {
    std::error_code ec;
    if (!sfs::exists(old, ec)) return;
    for (sfs::recursive_directory_iterator it(old, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string to = fresh + "/" + sfs::relative(it->path(), old).string();
        std::error_code rec;
        if (it->is_symlink(rec)) continue;
        if (it->is_directory(rec)) {
            sfs::create_directory(to, rec);
        } else if (it->is_regular_file(rec) && !sfs::exists(sfs::symlink_status(to, rec))) {
            if (::link(it->path().c_str(), to.c_str()) != 0) {
                sfs::copy_file(it->path(), to, rec);
                if (rec) throwWriteError(rec.value(), "Cannot keep " + it->path().string());
            }
        }
    }
    if (ec) throwWriteError(ec.value(), "Cannot read " + old);
}

// True when folder is mounted on parent: another device, or (a bind mount) another mount of one.
bool isMountPoint(int parentFd, int folderFd) {
    struct statx parentSt {}, folderSt {};
    if (::statx(parentFd, "", AT_EMPTY_PATH, STATX_MNT_ID, &parentSt) != 0 ||
        ::statx(folderFd, "", AT_EMPTY_PATH, STATX_MNT_ID, &folderSt) != 0)
        return true;
    if (parentSt.stx_dev_major != folderSt.stx_dev_major || parentSt.stx_dev_minor != folderSt.stx_dev_minor)
        return true;
    return (parentSt.stx_mask & folderSt.stx_mask & STATX_MNT_ID) && parentSt.stx_mnt_id != folderSt.stx_mnt_id;
}

// A report is made in a staging folder beside its report folder, on the same file system, and
// put in place once whole. A report folder that holds nothing but this report (its pages,
// styles/, images/) is swapped with the staging folder in one step, so that at any moment the
// folder holds the whole earlier report or the whole new one; the earlier one is then removed.
// Into a folder holding anything else the files are moved one by one once all are made, and
// only this report's earlier pages are removed. Nothing is written through a link: a link at a
// page's name, in styles/ or images/ (or either of them a link) fails the report. Staging
// folders that a killed run left are removed by the next run. The folder's parent is locked
// while a report is made, so one run at a time writes into it.
class ReportStage {
public:
    ReportStage(const std::string& folder, const std::string& stem) : folder_(folder), stem_(stem) {
        std::error_code ec;
        const sfs::path real = sfs::canonical(folder, ec);
        if (ec) throwWriteError(ec.value(), "Cannot write into " + folder);
        base_ = real.filename().string();
        parent_ = real.parent_path().string();
        parentFd_ = Fd(::open(parent_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (parentFd_.get() < 0) throwWriteError(errno, "Cannot write into " + folder);
        ::flock(parentFd_.get(), LOCK_EX);
        folderFd_ = Fd(files::openFolderAt(parentFd_.get(), base_, false, folder));
        if (base_.empty() || folderFd_.get() < 0) throwWriteError(errno ? errno : EINVAL, "Cannot write into " + folder);
        files::removeStaleTempFiles(parent_);
        files::removeStaleTempFiles(folder);

        own_ = true;
        std::error_code iec;
        for (sfs::directory_iterator it(folder, iec), end; !iec && it != end; it.increment(iec)) {
            const std::string name = it->path().filename().string();
            struct stat st {};
            if (files::isTempName(name) || ::fstatat(folderFd_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (name == "styles" || name == "images") {
                const Fd sub(files::openFolderAt(folderFd_.get(), name, false, folder + name));
                if (sub.get() < 0) throw ExportError(files::errorNumberOf(errno), files::lastWriteError());
                refuseLinksIn(sub.get(), folder + name + "/");
            } else if (isPageOf(name, stem)) {
                refuseUnlessRegular(st, folder + name);
            } else {
                own_ = false;  // the user's own files, or other reports
            }
        }
        if (iec) throwWriteError(iec.value(), "Cannot read " + folder);

        if (isMountPoint(parentFd_.get(), folderFd_.get())) own_ = false;  // a mount point is not swapped
        const std::string name = files::tempNameFor(own_ ? base_ : stem);
        if (own_ && ::mkdirat(parentFd_.get(), name.c_str(), 0700) == 0) {
            stage_ = files::joinPath(parent_, name);
        } else {
            own_ = false;  // the parent cannot take it: staged inside the folder
            if (::mkdirat(folderFd_.get(), name.c_str(), 0700) != 0) throwWriteError(errno, "Cannot write into " + folder);
            stage_ = folder + name;
        }
    }
    ~ReportStage() {
        std::error_code ec;
        if (!stage_.empty()) sfs::remove_all(stage_, ec);
    }
    ReportStage(const ReportStage&) = delete;
    ReportStage& operator=(const ReportStage&) = delete;

    // The staging folder, ending with '/'.
    std::string path() const { return stage_ + "/"; }

    // Puts the staged report in place; pages names its pages. Throws on failure.
    void commit(const std::set<std::string>& pages) {
        if (own_) {
            for (const char* sub : {"styles", "images"}) carryOver(folder_ + sub, stage_ + "/" + sub);
            struct stat st {};
            if (::fstat(folderFd_.get(), &st) == 0) ::chmod(stage_.c_str(), st.st_mode & 07777);
            const std::string name = files::fileName(stage_);
            if (::renameat2(parentFd_.get(), name.c_str(), parentFd_.get(), base_.c_str(), RENAME_EXCHANGE) == 0) {
                // The earlier report, now at the staging name, goes with it; a file put into the
                // folder since it was looked at moves back.
                std::error_code ec;
                for (sfs::directory_iterator it(stage_, ec), end; !ec && it != end; it.increment(ec)) {
                    const std::string n = it->path().filename().string();
                    if (n != "styles" && n != "images" && !isPageOf(n, stem_) && !files::isTempName(n))
                        ::renameat2(AT_FDCWD, it->path().c_str(), parentFd_.get(), (base_ + "/" + n).c_str(), RENAME_NOREPLACE);
                }
                return;
            }
            if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) throwWriteError(errno, "Cannot write into " + folder_);
        }
        // A folder with other files, or a file system that cannot swap folders.
        moveInto(stage_, folderFd_.get(), folder_, true);
        moveInto(stage_, folderFd_.get(), folder_, false);
        removeEarlierPages(folder_, stem_, pages);
    }

private:
    std::string folder_, stem_, parent_, base_, stage_;
    Fd parentFd_, folderFd_;
    bool own_ = true;
};

}  // namespace

namespace {

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
    lastFailure.clear();
    try {
        if (!oReportEngine || !oReportEngine->oResultXML || oReportEngine->oResultXML->isEmpty())
            throw ExportError(-1, "No database structure is loaded.");
        if (folder.empty()) throw ExportError(files::kBadFileName, "No report folder given.");
        ensureFolder(folder, folder);
        const std::string stem = HtmlFileStem(oReportEngine->DatabaseName());
        ReportStage stage(folder, stem);
        const std::string staged = stage.path();
        ensureFolder(staged + "images/", folder + "images/");
        ensureFolder(staged + "styles/", folder + "styles/");

        copyImages(staged + "images");

        const std::string cssFrom = cssSource(oReportEngine->HTML_CurrentCSS());
        if (!files::fileExists(cssFrom)) throw ExportError(files::kBadFileName, "The style sheet " + cssFrom + " does not exist.");
        copyFileOver(cssFrom, staged + "styles/" + files::fileName(cssFrom));
        for (const std::string& name : importedStyleFiles(cssFrom)) {
            const std::string from = files::joinPath(files::parentFolder(cssFrom), name);
            if (files::fileExists(from)) copyFileOver(from, staged + "styles/" + name);
        }

        // The diagram page shows the picture when there is one.
        const std::string picture = oReportEngine->GetDiagramFileName();
        xml::Node database = oReportEngine->oResultXML->selectSingleNode("DATABASE");
        if (!picture.empty() && files::fileExists(picture)) {
            copyFileOver(picture, staged + "images/" + files::fileName(picture));
            if (database) database.setAttribute("DiagramFile", files::fileName(picture));
        } else if (database) {
            database.removeAttribute("DiagramFile");
        }

        const std::string layout = oReportEngine->HTML_CurrentXSL();
        PendingPages pages;
        cReport::FirstStageReuse reuse(*oReportEngine);
        const xml::Document* intermediate = oReportEngine->FirstStageDocument();
        if (!intermediate) throw ExportError(0, "");  // reported
        std::string indexPage;
        if (!renderPages(*intermediate, layout, staged, pages, indexPage)) return std::string();
        // Every page was made: the report is put in place whole.
        stage.commit(pages.names);
        return indexPage.empty() ? indexPage : folder + files::fileName(indexPage);
    } catch (const ExportError& e) {
        if (e.number != 0) lastFailure = e.what();
        if (e.number != 0)  // 0: already reported
            ReportFileError(e, "You dont have permission to save the html file in " + folder + ".",
                            "bXMLSupport.SaveAsHTML", ui::MsgIcon::Critical);
        return "";
    } catch (const std::exception& e) {
        lastFailure = e.what();
        HandleError(-1, e.what(), "bXMLSupport.SaveAsHTML");
        return "";
    }
}

const std::string& LastFailure() { return lastFailure; }

}  // namespace bXMLSupport
