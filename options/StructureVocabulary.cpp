#include "options/StructureVocabulary.h"

#include "platform/text/Text.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace vocab {
namespace {

std::string firstOf(const xml::Node& n, const char* a, const char* b) {
    if (n.hasAttribute(a)) return n.attribute(a);
    return n.attribute(b);
}

bool equalsNoCase(const std::string& a, const char* b) {
    std::string_view bv(b);
    if (a.size() != bv.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(bv[i])))
            return false;
    return true;
}

long orderOf(const xml::Node& column) {
    std::string v = firstOf(column, "Ordinal_Position", "Serial_Number");
    if (v.empty()) return -1;
    char* end = nullptr;
    long n = std::strtol(v.c_str(), &end, 10);
    return (end && *end == '\0') ? n : -1;
}

}  // namespace

bool isTrueText(const std::string& text) {
    return equalsNoCase(text, "yes") || equalsNoCase(text, "true") || text == "1";
}

std::string columnName(const xml::Node& c) { return firstOf(c, "Column_Name", "Name"); }
std::string dataType(const xml::Node& c) { return firstOf(c, "Data_Type", "Datatype"); }
std::string length(const xml::Node& c) { return firstOf(c, "Precision", "Length"); }
std::string scale(const xml::Node& c) { return c.attribute("Scale"); }
std::string columnDefault(const xml::Node& c) { return c.attribute("Column_Default"); }
bool autoIncrement(const xml::Node& c) {
    return isTrueText(c.attribute("Auto_Increment")) || c.attribute("Column_Default") == "AUTO_INCREMENT";
}

bool nullAllowed(const xml::Node& c) {
    if (!c.hasAttribute("Null_Allowed")) return true;
    std::string v = c.attribute("Null_Allowed");
    return !(equalsNoCase(v, "false") || equalsNoCase(v, "no") || v == "0");
}

bool inPrimaryKey(const xml::Node& c) {
    std::string v = c.attribute("Primary_Key");
    if (v.empty() || equalsNoCase(v, "no") || equalsNoCase(v, "false") || v == "0") return false;
    return true;  // "Yes"/"True"/"1" or the key's name
}

std::vector<xml::Node> tableColumns(const xml::Node& table) {
    std::vector<xml::Node> cols = table.selectNodes("COLUMN");
    std::stable_sort(cols.begin(), cols.end(), [](const xml::Node& a, const xml::Node& b) {
        long oa = orderOf(a), ob = orderOf(b);
        if (oa < 0 || ob < 0) return false;
        return oa < ob;
    });
    return cols;
}

std::vector<std::string> primaryKeyColumns(const xml::Node& table) {
    std::vector<std::pair<long, std::string>> keyed;
    for (const xml::Node& c : tableColumns(table)) {
        if (!inPrimaryKey(c)) continue;
        const std::string p = text::trim(c.attribute("Key_Position"));
        char* end = nullptr;
        const long position = p.empty() ? -1 : std::strtol(p.c_str(), &end, 10);
        keyed.emplace_back(end && *end == '\0' ? position : -1, columnName(c));
    }
    // Without a position for every column, catalogue order.
    if (std::all_of(keyed.begin(), keyed.end(), [](const auto& k) { return k.first > 0; }))
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> out;
    for (auto& k : keyed) out.push_back(std::move(k.second));
    return out;
}

bool indexUnique(const xml::Node& index) {
    if (index.hasAttribute("Unique")) return isTrueText(index.attribute("Unique"));
    // The ADO reader writes unique indexes only and no Unique attribute.
    return !index.hasAttribute("Index_Type");
}

bool indexPrimary(const xml::Node& index) { return isTrueText(index.attribute("Primary_Key")); }

std::vector<std::string> indexColumns(const xml::Node& index) {
    std::vector<std::string> out;
    for (const xml::Node& c : index.selectNodes("COLUMN")) out.push_back(columnName(c));
    if (!out.empty()) return out;
    const std::string list = index.attribute("Column_Name");
    for (std::size_t start = 0; start <= list.size();) {
        std::size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        std::string part = text::trim(std::string_view(list).substr(start, comma - start));
        if (!part.empty()) out.push_back(std::move(part));
        start = comma + 1;
    }
    return out;
}

std::string indexEngineForm(const xml::Node& index) {
    if (!index.attribute("Condition").empty()) return "only the rows where " + index.attribute("Condition");
    for (const xml::Node& c : index.selectNodes("COLUMN")) {
        if (c.hasAttribute("Expression")) return "the expression " + c.attribute("Expression");
        if (!c.attribute("Prefix_Length").empty())
            return "the first " + c.attribute("Prefix_Length") + " characters of " + columnName(c);
    }
    return {};
}

ForeignKeyPair foreignKeyPair(const xml::Node& fk) {
    ForeignKeyPair p;
    p.name = fk.attribute("Name");
    p.referencingTable = fk.attribute("Foreign_Key_Table");
    p.referencingColumn = firstOf(fk, "Foreign_Key_Column", "Related_Column");
    p.referencedTable = fk.attribute("Primary_Key_Table");
    p.referencedColumn = fk.attribute("Primary_Key_Column");
    p.updateRule = fk.attribute("Update_Rule");
    p.deleteRule = fk.attribute("Delete_Rule");
    p.ordinal = std::max(0, std::atoi(fk.attribute("Ordinal").c_str()));
    p.element = fk;
    // A reader that leaves out the table it writes under: that table is the one it names by
    // placement (ADO: referenced, DAO: referencing).
    if (p.referencingTable.empty() || p.referencedTable.empty()) {
        std::string owner = fk.parent().attribute("Name");
        bool ado = fk.hasAttribute("Related_Column");
        if (ado && p.referencedTable.empty()) p.referencedTable = owner;
        if (!ado && p.referencingTable.empty()) p.referencingTable = owner;
    }
    return p;
}

std::vector<ForeignKeyPair> allForeignKeys(const xml::Document& structure) {
    std::vector<ForeignKeyPair> out;
    for (const xml::Node& fk : structure.selectNodes("/DATABASE/TABLE/FOREIGNKEY"))
        out.push_back(foreignKeyPair(fk));
    return out;
}

std::vector<ForeignKeyPair> foreignKeysOf(const xml::Document& structure, const std::string& table) {
    std::vector<ForeignKeyPair> out;
    for (ForeignKeyPair& p : allForeignKeys(structure))
        if (p.referencingTable == table) out.push_back(std::move(p));
    return out;
}

bool objectsRead(const xml::Document& structure, const std::string& kind) {
    const std::string unread = " " + structure.documentElement().attribute("Not_Read") + " ";
    return unread.find(" " + kind + " ") == std::string::npos;
}

bool uniqueIndexesOnly(const xml::Document& structure) {
    return structure.documentElement().attribute("Indexes_Read") == "Unique";
}

}  // namespace vocab
