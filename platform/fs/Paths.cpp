#include "platform/fs/Paths.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>
#include <set>

namespace files {
namespace sfs = std::filesystem;

std::string normalizeSeparators(std::string_view path) {
    std::string s(path);
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string a = normalizeSeparators(folder);
    std::string b = normalizeSeparators(name);
    if (a.empty()) return b;
    if (b.empty()) return a;
    while (a.size() > 1 && a.back() == '/') a.pop_back();
    size_t i = 0;
    while (i < b.size() && b[i] == '/') ++i;
    return (a == "/" ? a : a + "/") + b.substr(i);
}

std::string fileName(std::string_view path) {
    std::string p = normalizeSeparators(path);
    auto pos = p.find_last_of('/');
    return pos == std::string::npos ? p : p.substr(pos + 1);
}

std::string parentFolder(std::string_view path) {
    std::string p = normalizeSeparators(path);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    auto pos = p.find_last_of('/');
    if (pos == std::string::npos) return "";
    if (pos == 0) return "/";
    return p.substr(0, pos);
}

std::string extensionOf(std::string_view path) {
    std::string n = fileName(path);
    auto pos = n.find_last_of('.');
    if (pos == std::string::npos) return "";
    std::string e = n.substr(pos + 1);
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

std::string replaceExtension(std::string_view path, std::string_view newExtWithDot) {
    std::string p(path);
    std::string n = fileName(p);
    auto pos = n.find_last_of('.');
    if (pos != std::string::npos) p.erase(p.size() - (n.size() - pos));
    return p + std::string(newExtWithDot);
}

std::string safeFileName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const bool bad = u < 0x20 || u == 0x7F || std::string_view("/\\:*?\"<>|'`$&;!").find(c) != std::string_view::npos;
        out += bad ? '_' : c;
    }
    if (out.empty() || out == "." || out == "..") out.insert(0, "_");
    if (out.front() == '-' || out.front() == '.') out.insert(0, "_");
    return out;
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && sfs::is_regular_file(path, ec);
}

bool folderExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && sfs::is_directory(path, ec);
}

bool createFolder(const std::string& path) {
    if (folderExists(path)) return true;
    return ::mkdir(path.c_str(), 0755) == 0 || folderExists(path);
}

bool createFolders(const std::string& path) {
    std::error_code ec;
    sfs::create_directories(path, ec);
    return folderExists(path);
}

bool removeFile(const std::string& path) {
    std::error_code ec;
    return sfs::remove(path, ec);
}

bool readTextFile(const std::string& path, std::string& out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return !f.bad();
}

namespace {

thread_local std::string lastError;
thread_local int lastErrno = 0;

bool fail(int err, const std::string& what) {
    lastError = what + ": " + std::strerror(err);
    lastErrno = err;
    errno = err;
    return false;
}

// Writes all of data to fd; false with errno set on failure.
bool writeAll(int fd, std::string_view data) {
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

// Writes all of data to fd, open on file (on the disk before it is closed with sync), and
// closes it; on failure removes file and fails naming shown.
bool fillAndClose(int fd, const std::string& file, std::string_view data, bool sync, const std::string& shown) {
    if (!writeAll(fd, data) || (sync && ::fsync(fd) != 0)) {
        int err = errno;
        ::close(fd);
        ::unlink(file.c_str());
        return fail(err, "Cannot write " + shown);
    }
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(file.c_str());
        return fail(err, "Cannot write " + shown);
    }
    return true;
}

constexpr std::string_view kTempMark = ".dvtmp~";

thread_local bool refuseLinks = false;

bool processAlive(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH); }

}  // namespace

LinksRefused::LinksRefused() : was_(refuseLinks) { refuseLinks = true; }
LinksRefused::~LinksRefused() { refuseLinks = was_; }

std::string tempNameFor(std::string_view base) {
    static std::atomic<unsigned> counter{0};
    static std::mt19937 rng{std::random_device{}()};
    static std::mutex rngMutex;
    unsigned r;
    {
        std::lock_guard<std::mutex> lock(rngMutex);
        r = rng();
    }
    return "." + std::string(base.substr(0, 120)) + "." + std::to_string(::getpid()) + "." +
           std::to_string(counter++) + "-" + std::to_string(r % 1000000) + std::string(kTempMark);
}

int openFolderAt(int dirFd, const std::string& name, bool create, const std::string& shown) {
    const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(dirFd, name.c_str(), flags);
    if (fd < 0 && errno == ENOENT && create && (::mkdirat(dirFd, name.c_str(), 0755) == 0 || errno == EEXIST))
        fd = ::openat(dirFd, name.c_str(), flags);
    if (fd >= 0) return fd;
    const int err = errno;
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        fail(ELOOP, "Cannot write into " + shown + ", which is a link");
    else
        fail(err == ELOOP ? ENOTDIR : err, "Cannot write into " + shown);
    return -1;
}

const std::string& lastWriteError() { return lastError; }
int lastWriteErrno() { return lastError.empty() ? 0 : lastErrno; }
void clearLastWriteError() { lastError.clear(); }

// What a killed run left in a folder goes the first time this process writes there.
static void sweepOnce(const std::string& folder) {
    static std::mutex swept;
    static std::set<std::string> folders;
    {
        std::lock_guard<std::mutex> lock(swept);
        if (!folders.insert(folder).second) return;
    }
    removeStaleTempFiles(folder);
}

std::string resolveWriteTarget(const std::string& path) {
    std::string target = path;
    // A link keeps pointing where it pointed: its final target is written.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
        std::error_code ec;
        auto dest = sfs::read_symlink(target, ec);
        if (ec) return target;
        target = dest.is_absolute() ? dest.string() : (sfs::path(parentFolder(target)) / dest).lexically_normal().string();
    }
    return target;
}

bool writeTextFile(const std::string& path, std::string_view data, bool privateFile) {
    lastError.clear();
    if (path.empty()) return fail(ENOENT, "No file name");
    struct stat st {};
    if (refuseLinks && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return fail(ELOOP, "Cannot write " + path + ", which is a link");
    const std::string target = resolveWriteTarget(path);
    if (::lstat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return fail(EISDIR, "Cannot write " + path);
        if (S_ISLNK(st.st_mode)) return fail(ELOOP, "Cannot write " + path);
        if (!S_ISREG(st.st_mode)) return fail(EINVAL, "Cannot write " + path + " (not a regular file)");
    } else if (errno != ENOENT) {
        return fail(errno, "Cannot write " + path);
    }
    std::string folder = parentFolder(target);
    if (folder.empty()) folder = ".";
    const std::string base = fileName(target);
    const mode_t mode = privateFile ? 0600 : 0644;
    sweepOnce(folder);
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = joinPath(folder, tempNameFor(base));
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST) return fail(errno, "Cannot write " + path);
    }
    if (fd < 0) return fail(EEXIST, "Cannot write " + path);
    if (privateFile) ::fchmod(fd, 0600);
    // Private files (project and structure documents) also reach the disk before the rename.
    if (!fillAndClose(fd, tmp, data, privateFile, path)) return false;
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        return fail(err, "Cannot write " + path);
    }
    return true;
}

bool appendToFile(const std::string& path, std::string_view data) {
    lastError.clear();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return fail(errno, "Cannot write " + path);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(EINVAL, "Cannot write " + path);
    }
    // One write: with O_APPEND, writers of other processes never split or overwrite it.
    const ssize_t n = ::write(fd, data.data(), data.size());
    const int err = errno;
    if (::close(fd) != 0 && n >= 0) return fail(errno, "Cannot write " + path);
    if (n < 0 || static_cast<size_t>(n) != data.size()) return fail(n < 0 ? err : EIO, "Cannot write " + path);
    return true;
}

bool writeNewFile(const std::string& path, std::string_view data, bool replace) {
    lastError.clear();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | (replace ? O_TRUNC : O_EXCL) | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) return fail(errno, "Cannot write " + path);
    return fillAndClose(fd, path, data, false, path);
}

namespace {
// The process id in a temporary name .<name>.<pid>.<counter>-<random>.dvtmp~; none for any other name.
std::optional<long> pidOfTempName(std::string_view n) {
    if (n.size() <= kTempMark.size() || n[0] != '.' || n.substr(n.size() - kTempMark.size()) != kTempMark) return {};
    const std::string stem(n.substr(0, n.size() - kTempMark.size()));
    const auto dash = stem.rfind('-');
    const auto dot2 = dash == std::string::npos ? std::string::npos : stem.rfind('.', dash);
    const auto dot1 = dot2 == std::string::npos || dot2 == 0 ? std::string::npos : stem.rfind('.', dot2 - 1);
    if (dot1 == std::string::npos) return {};
    return std::strtol(stem.c_str() + dot1 + 1, nullptr, 10);
}
}  // namespace

bool isTempName(std::string_view n) { return pidOfTempName(n).has_value(); }

int removeStaleTempFiles(const std::string& folder) {
    int removed = 0;
    std::error_code ec;
    for (sfs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::optional<long> pid = pidOfTempName(it->path().filename().string());
        if (!pid || *pid == ::getpid() || processAlive(*pid)) continue;
        std::error_code rec;
        if (it->is_symlink(rec)) continue;
        if (it->is_regular_file(rec) ? sfs::remove(it->path(), rec)
                                     : it->is_directory(rec) && sfs::remove_all(it->path(), rec) > 0 && !rec)
            ++removed;
    }
    return removed;
}

bool isPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    // Without a separator no name leaves its folder: "sales..2020" is one file's name.
    for (char c : name)
        if (c == '/' || c == '\\' || c == '\0') return false;
    return true;
}

std::string executableFolder() {
    std::error_code ec;
    auto p = sfs::read_symlink("/proc/self/exe", ec);
    if (ec) return sfs::current_path().string();
    return p.parent_path().string();
}

namespace {
std::mutex tempMutex;
std::string tempFolder;
pid_t tempFolderOwner = 0;

// At exit the process that made the folder removes it; a forked child leaves it to its parent.
void removeAtExit() {
    if (::getpid() == tempFolderOwner) removePrivateTempFolder();
}
}  // namespace

// Folders dalvane-<pid>-XXXXXX of this user whose process has ended, and empty ones of the
// older form dalvane-XXXXXX, which no later run would reuse.
static void removeStaleTempFolders(const std::string& base) {
    std::error_code ec;
    for (sfs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("dalvane-", 0) != 0) continue;
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) continue;
        const std::string rest = name.substr(8);
        const auto dash = rest.find('-');
        std::error_code rec;
        if (dash == std::string::npos) {
            if (rest.size() == 6) sfs::remove(it->path(), rec);  // only when empty
            continue;
        }
        char* stop = nullptr;
        const long pid = std::strtol(rest.c_str(), &stop, 10);
        if (stop != rest.c_str() + dash || pid == ::getpid() || processAlive(pid)) continue;
        sfs::remove_all(it->path(), rec);
    }
}

std::string privateTempFolder() {
    std::lock_guard<std::mutex> lock(tempMutex);
    if (!tempFolder.empty() && folderExists(tempFolder)) return tempFolder;
    const char* env = std::getenv("TMPDIR");
    const std::string base = env && *env ? env : "/tmp";
    removeStaleTempFolders(base);
    std::string buf = joinPath(base, "dalvane-" + std::to_string(::getpid()) + "-XXXXXX");
    if (::mkdtemp(buf.data()) == nullptr) return "";
    ::chmod(buf.c_str(), 0700);
    tempFolder = buf;
    static const bool registered = std::atexit(removeAtExit) == 0;
    (void)registered;
    tempFolderOwner = ::getpid();
    return tempFolder;
}

std::string uniqueTempFile(std::string_view prefix, std::string_view extension) {
    static std::atomic<unsigned> counter{0};
    static std::mt19937 rng{std::random_device{}()};
    std::string folder = privateTempFolder();
    for (;;) {
        std::string name = std::string(prefix) + std::to_string(::getpid()) + "_" +
                           std::to_string(counter++) + "_" + std::to_string(rng() % 100000) +
                           std::string(extension);
        std::string p = joinPath(folder, name);
        if (!sfs::exists(p)) return p;
    }
}

void removePrivateTempFolder() {
    std::lock_guard<std::mutex> lock(tempMutex);
    if (tempFolder.empty()) return;
    std::error_code ec;
    sfs::remove_all(tempFolder, ec);
    tempFolder.clear();
}

bool isInside(const std::string& path, const std::string& folder) {
    auto p = sfs::weakly_canonical(sfs::absolute(path)).lexically_normal();
    auto f = sfs::weakly_canonical(sfs::absolute(folder)).lexically_normal();
    auto fs = f.string();
    auto ps = p.string();
    if (!fs.empty() && fs.back() != '/') fs += '/';
    return ps.rfind(fs, 0) == 0;
}

}  // namespace files
