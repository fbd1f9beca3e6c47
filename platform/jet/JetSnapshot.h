// The Access catalogue as one reading gives it, shared by the reader program and the process that asks for it.
#pragma once

#include "platform/jet/Jet.h"

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

// The catalogue read whole; a part that could not be read keeps its error, reported when asked for.
struct Snapshot {
    std::vector<Table> tables;  // whole, MSysObjects order
    std::vector<std::string> tableErrors;
    std::vector<Relation> relations;
    std::string relationsError;
    std::vector<Query> queries;
    std::string queriesError;
    std::vector<AccessEntry> permissions;
    std::string permissionsError;
    std::string engineOwner;  // the SID, as stored, that owns the system tables
    bool accountsFound = false;
    std::vector<Account> accounts;
    std::string accountsError;
    std::vector<std::string> warnings;
    std::string readError;  // what libmdb reported while it read, failing every part not failed already
};

// The catalogue of path read in this process (the reader program's work).
Snapshot readCatalogue(const std::string& path);

// The catalogue of path, of size bytes, read by the reader program within its time and memory.
Snapshot readIsolated(const std::string& path, std::uintmax_t size);

// The error of a file whose catalogue is damaged: what names the part.
Error damaged(const std::string& path, const std::string& what);

// The first line of text that is not blank, without its trailing blanks; "" when there is none.
std::string firstLine(const std::string& text);

}  // namespace jet
