// Minimal zip archive access on libzip: write a whole archive at once, read entries back.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace docx {

using ZipWriteText = std::function<void(std::string_view)>;

struct ZipEntry {
    ZipEntry(std::string name, std::string data) : name(std::move(name)), data(std::move(data)) {}
    // The entry's text is handed piece by piece to the function given and deflated as it
    // comes: a large entry is never held whole.
    ZipEntry(std::string name, std::function<void(const ZipWriteText&)> write)
        : name(std::move(name)), write(std::move(write)) {}

    std::string name;
    std::string data;
    std::function<void(const ZipWriteText&)> write;
};

// Writes the entries, in order, to a new archive at path (deflated). The archive is built
// beside the target and renamed over it, so a failure never leaves a half-written file.
bool writeZip(const std::string& path, const std::vector<ZipEntry>& entries, std::string* error = nullptr);

// Reads one entry; false when the archive or the entry cannot be read.
bool readZipEntry(const std::string& path, const std::string& entry, std::string& out,
                  std::string* error = nullptr);

// Names of the archive's entries in stored order; empty when it cannot be opened.
std::vector<std::string> zipEntryNames(const std::string& path);

}  // namespace docx
