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

}  // namespace testsupport
