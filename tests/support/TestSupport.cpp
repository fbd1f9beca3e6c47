#include "support/TestSupport.h"

#include "platform/fs/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

TempDir::TempDir() {
    std::string base = std::filesystem::temp_directory_path().string();
    std::string tmpl = base + "/dalvtest-XXXXXX";
    if (::mkdtemp(tmpl.data())) path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string TempDir::file(const std::string& name) const { return files::joinPath(path_, name); }

ScopedPrompter::ScopedPrompter() {
    auto sp = std::make_unique<ui::ScriptedPrompter>();
    p_ = sp.get();
    previous_ = ui::setPrompter(std::move(sp));
}

ScopedPrompter::~ScopedPrompter() { ui::setPrompter(std::move(previous_)); }

std::string readFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string fixturePath(const std::string& relative) { return files::joinPath(DALV_TEST_FIXTURES, relative); }
std::string sharedFixturePath(const std::string& relative) {
    return files::joinPath(DALV_SHARED_FIXTURES, relative);
}

std::string accessCopy(const TempDir& dir, const std::string& name, const std::string& copyName) {
    const std::string to = dir.file(copyName.empty() ? name : copyName);
    std::filesystem::copy_file(fixturePath("access/" + name), to);
    return to;
}

void setAccessPassword(const std::string& path, const std::string& password, bool wide) {
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    std::string area(40, '\0');
    f.seekg(0x42);
    f.read(area.data(), 40);
    for (std::size_t i = 0; i < password.size(); ++i) area[wide ? 2 * i : i] ^= password[i];
    f.seekp(0x42);
    f.write(area.data(), 40);
}

void renumberAccessColumns(const std::string& path, unsigned page, unsigned by) {
    std::string d = readFile(path);
    const bool jet3 = d[0x14] == 0;
    const std::size_t base = page * (jet3 ? 2048 : 4096);
    // Counts and lengths are read by their low 16 bits, which hold them in these files.
    const auto byte = [&](std::size_t at) { return static_cast<unsigned>(static_cast<unsigned char>(d[base + at])); };
    const auto u16 = [&](std::size_t at) { return byte(at) | byte(at + 1) << 8; };
    const auto bump = [&](std::size_t at) {
        d[base + at] = static_cast<char>(u16(at) + by);
        d[base + at + 1] = static_cast<char>((u16(at) + by) >> 8);
    };
    const std::size_t columns = u16(jet3 ? 0x19 : 0x2D), logical = u16(jet3 ? 0x1B : 0x2F), real = u16(jet3 ? 0x1F : 0x33);
    bump(jet3 ? 0x15 : 0x29);
    std::size_t at = (jet3 ? 0x2B : 0x3F) + real * (jet3 ? 8 : 12);
    for (std::size_t k = 0; k < columns; ++k, at += jet3 ? 18 : 25) bump(at + (jet3 ? 1 : 5));
    const auto names = [&](std::size_t n) {
        for (; n > 0; --n) at += jet3 ? 1 + byte(at) : 2 + u16(at);
    };
    names(columns);
    for (std::size_t r = 0; r < real; ++r, at += jet3 ? 39 : 52)
        for (std::size_t key = at + (jet3 ? 0 : 4); key < at + (jet3 ? 30 : 34); key += 3)
            if (u16(key) != 0xFFFF) bump(key);
    for (std::size_t l = 0; l < logical; ++l, at += jet3 ? 20 : 28) bump(at + (jet3 ? 0 : 4));
    names(logical);
    for (const std::size_t end = u16(8); at + 10 <= end && u16(at) != 0xFFFF; at += 10) bump(at);
    std::ofstream(path, std::ios::binary) << d;
}

}  // namespace testsupport
