// Helpers shared by the database-layer tests.
#pragma once

#include "platform/db/Recordset.h"

#include <string>
#include <vector>

namespace dbtest {

// Every field of every row as kind and text, for comparing rowsets exactly.
inline std::vector<std::vector<std::string>> rowsOf(db::Recordset rs) {
    std::vector<std::vector<std::string>> out;
    for (; !rs.eof(); rs.moveNext()) {
        std::vector<std::string> row;
        for (int i = 0; i < rs.fieldCount(); ++i)
            row.push_back(std::to_string(static_cast<int>(rs.field(i).kind())) + ":" + rs.field(i).toString());
        out.push_back(std::move(row));
    }
    return out;
}

}  // namespace dbtest
