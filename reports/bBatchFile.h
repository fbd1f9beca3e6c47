// Batch-file generator: writes a batch document (root DALVIMPORT) for the connection current in
// the report engine, and the shell script that runs dalvane on it.
#pragma once

#include <string>
#include <string_view>

namespace batchfile {

// Output places of the three reports the document lists.
struct Outputs {
    std::string HTMLPath;      // folder of the multi-page HTML report
    std::string XMLFileName;   // structure document
    std::string WordFileName;  // Word report
};

// The text in single quotes for a POSIX shell, each embedded quote written as '\''.
std::string shellQuoted(std::string_view text);

// The batch document path for a script path: its final extension (any letter case) replaced by
// ".xml"; "" when that would be the script itself.
std::string documentPathFor(const std::string& batchFile);

// Writes the batch document (0600) and the script (0700). An empty batchFile becomes
// ReportsFolder/Batch Process/<connection name>.sh and is written back. False after a message
// when either file cannot be written; then neither is left behind.
bool BatchProcessFile(std::string& batchFile, const Outputs& outputs);

}  // namespace batchfile
