#include "platform/fs/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>

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

bool writeTextFile(const std::string& path, std::string_view data, bool privateFile) {
    std::string tmp = path + ".tmp~";
    {
        mode_t old = ::umask(privateFile ? 077 : 022);
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        ::umask(old);
        if (!f) return false;
        f.write(data.data(), static_cast<std::streamsize>(data.size()));
        f.flush();
        if (!f) {
            removeFile(tmp);
            return false;
        }
    }
    if (privateFile) ::chmod(tmp.c_str(), 0600);
    std::error_code ec;
    sfs::rename(tmp, path, ec);
    if (ec) {
        removeFile(tmp);
        return false;
    }
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
}  // namespace

std::string privateTempFolder() {
    std::lock_guard<std::mutex> lock(tempMutex);
    if (!tempFolder.empty() && folderExists(tempFolder)) return tempFolder;
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = joinPath(base && *base ? base : "/tmp", "dalvane-XXXXXX");
    std::string buf = tmpl;
    if (::mkdtemp(buf.data()) == nullptr) return "";
    ::chmod(buf.c_str(), 0700);
    tempFolder = buf;
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
