// Helpers shared by the tests.
#pragma once

#include "platform/ui/Prompter.h"

#include <memory>
#include <string>

namespace testsupport {

// A fresh folder under the build's temporary area, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const;

private:
    std::string path_;
};

// Installs a ScriptedPrompter for the lifetime of the object.
class ScopedPrompter {
public:
    ScopedPrompter();
    ~ScopedPrompter();
    ui::ScriptedPrompter& operator*() { return *p_; }
    ui::ScriptedPrompter* operator->() { return p_; }

private:
    ui::ScriptedPrompter* p_;
    std::unique_ptr<ui::Prompter> previous_;
};

std::string readFile(const std::string& path);
std::string fixturePath(const std::string& relative);        // tests/fixtures/...
std::string sharedFixturePath(const std::string& relative);  // tests/fixtures/... (the Access files live in access/)

// Copies tests/fixtures/access/<name> into dir (as the file name copyName, when given) and
// returns the copy's path.
std::string accessCopy(const TempDir& dir, const std::string& name, const std::string& copyName = "");
// Gives a copy of an Access file that has no database password the (ASCII) password: there the
// stored header bytes are the mask itself, so the password's bytes are XORed into them.
// wide: Jet 4 and ACE keep two bytes per character.
void setAccessPassword(const std::string& path, const std::string& password, bool wide);
// Numbers the columns of the one-page table definition at page of an Access copy `by` higher,
// in the column entries, the index keys, the list of variable-length columns and the most
// columns a row holds, and its logical indexes `by` higher: the definition Jet keeps after `by`
// columns and indexes before them were deleted.
void renumberAccessColumns(const std::string& path, unsigned page, unsigned by);

}  // namespace testsupport
