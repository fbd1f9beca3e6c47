// Internal to the data layer: names and types read from SQLite's CREATE statements.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace db::schema {

// SQLite's CREATE TABLE text, for what only the text declares.
namespace sqlitesql {

// Constraint names declared in a CREATE TABLE statement: the primary key's, and each foreign
// key's with its referencing columns, in declaration order ("" where unnamed); and the
// expression of each generated column as written, by lower-case column name.
// Each CHECK too, with its name ("" where unnamed), its expression as written and the columns
// it is on, as declared: a column's own check is on that column, a table's check on the
// columns its expression names.
struct DeclaredNames {
    struct Check {
        std::string name, clause;
        std::vector<std::string> columns;
    };
    std::string primaryKey;
    std::vector<std::pair<std::string, std::vector<std::string>>> foreignKeys;
    std::unordered_map<std::string, std::string> generated;
    std::vector<Check> checks;
};

struct IndexText {
    std::vector<std::string> members;
    std::string condition;
};

// The statement's tokens, comments left out; a quoted token keeps its opening quote. With
// `at`, where each begins.
std::vector<std::string> tokens(const std::string& sql, std::vector<size_t>* at = nullptr);

DeclaredNames declaredNames(const std::string& sql);

// The members of a CREATE INDEX statement as written, and the condition after its WHERE.
IndexText indexText(const std::string& sql);

}  // namespace sqlitesql

// The SQLite3 ODBC driver's reading of a declared column type.
namespace sqlitecolumns {

// The driver's type code for a declared type, by its prefix (ODBC 3 codes).
int sqlType(const std::string& declared, bool bigint);

// The driver's display size m and digits d of a type: its defaults, or "(m,d)" / "(m)" as the
// declaration gives them (read with the driver's own patterns).
void sizes(const std::string& declared, int t, int& m, int& d);

}  // namespace sqlitecolumns

}  // namespace db::schema
