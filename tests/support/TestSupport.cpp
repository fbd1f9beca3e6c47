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

}  // namespace testsupport
