// A private home for a test: HOME and the XDG folders point into a temporary folder, and the
// program folder is $DALVANE_APP_DIR. Everything is restored afterwards.
#pragma once

#include "core/bGlobal.h"
#include "platform/fs/Paths.h"
#include "support/TestSupport.h"

#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <string>

namespace coretest {

class ScopedHome {
public:
    explicit ScopedHome(const std::string& programFolder = DALV_BIN_DIR) {
        set("HOME", dir.file("home"));
        set("XDG_DATA_HOME", dir.file("home/.local/share"));
        set("XDG_CONFIG_HOME", dir.file("home/.config"));
        set("XDG_CONFIG_DIRS", dir.file("etc/xdg"));
        set("XDG_RUNTIME_DIR", dir.file("run"));
        set("DALVANE_APP_DIR", programFolder);
        files::createFolders(dir.file("home"));
        files::createFolders(dir.file("run"));
        ::chmod(dir.file("run").c_str(), 0700);
    }
    ~ScopedHome() {
        for (auto& [name, value] : saved_) {
            if (value.second) ::setenv(name.c_str(), value.first.c_str(), 1);
            else ::unsetenv(name.c_str());
        }
    }
    std::string home() const { return dir.file("home"); }
    std::string path(const std::string& rel) const { return dir.file(rel); }
    testsupport::TempDir dir;

private:
    void set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace(name, std::make_pair(old ? std::string(old) : std::string(), old != nullptr));
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    std::map<std::string, std::pair<std::string, bool>> saved_;
};

}  // namespace coretest
