// One accessor per fact of a structure document, whichever reader wrote it.
//
// The readers name the same fact differently (ADO/ADOX: Name, Datatype, Length; DAO and the
// catalogue-query definitions: Column_Name, Data_Type, Precision), and the ADO reader writes a
// foreign key under the referenced table where DAO writes it under the referencing table.
// Consumers (diagram file, migration, grids) read facts through these functions only.
#pragma once

#include "platform/xml/Xml.h"

#include <string>
#include <vector>

namespace vocab {

// TABLE/COLUMN, VIEW/COLUMN and INDEX/COLUMN
std::string columnName(const xml::Node& column);
std::string dataType(const xml::Node& column);
std::string length(const xml::Node& column);   // size or precision, "" when absent
std::string scale(const xml::Node& column);    // numeric scale, "" when the reader had none
std::string columnDefault(const xml::Node& column);
// A MariaDB AUTO_INCREMENT column (@Auto_Increment, or the default of that text in structures
// read before it was a fact of its own).
bool autoIncrement(const xml::Node& column);
bool nullAllowed(const xml::Node& column);     // "False"/"No"/"0" mean NOT NULL
// True when the column belongs to the table's primary key: ADO writes the key's name,
// DAO "Yes"/"True", catalogue-query definitions "Yes"/"True"/"1" or a name.
bool inPrimaryKey(const xml::Node& column);
// Columns of a table in catalogue order (by Ordinal_Position, then Serial_Number, then
// document order).
std::vector<xml::Node> tableColumns(const xml::Node& table);
// Names of the columns marked as the table's primary key, in key order (Key_Position where the
// reader gives it, else catalogue order).
std::vector<std::string> primaryKeyColumns(const xml::Node& table);

// TABLE/INDEX
bool indexUnique(const xml::Node& index);      // ADO indexes are unique by construction
bool indexPrimary(const xml::Node& index);
// Index columns in order: INDEX/COLUMN children (DAO, catalogue queries, and ADO where a name
// holds a comma or blanks at its ends, or a member is an expression or a prefix) or the
// comma-separated list in INDEX/@Column_Name (ADO), blanks at each name's ends dropped.
std::vector<std::string> indexColumns(const xml::Node& index);
// What of an index only its source engine writes, as a phrase ("" when nothing): a partial
// index's condition (@Condition), an expression member (COLUMN/@Expression) or a column prefix
// (COLUMN/@Prefix_Length).
std::string indexEngineForm(const xml::Node& index);

// TABLE/FOREIGNKEY: one element per column pair.
struct ForeignKeyPair {
    std::string name;
    std::string referencingTable;   // Foreign_Key_Table
    std::string referencingColumn;  // Foreign_Key_Column or Related_Column
    std::string referencedTable;    // Primary_Key_Table
    std::string referencedColumn;   // Primary_Key_Column
    std::string updateRule;
    std::string deleteRule;
    int ordinal = 0;  // the pair's place in its key (Ordinal), 0 where the reader gives none
    xml::Node element;
};
ForeignKeyPair foreignKeyPair(const xml::Node& foreignKey);
// Every foreign-key pair of the document, wherever the reader placed the element, each once,
// in document order.
std::vector<ForeignKeyPair> allForeignKeys(const xml::Document& structure);
// Pairs whose referencing table is the given one (keys this table holds).
std::vector<ForeignKeyPair> foreignKeysOf(const xml::Document& structure, const std::string& table);

// DATABASE: whether the reader read objects of the kind (element name, e.g. "TRIGGER"); a count
// of a kind it did not read is not available, not 0. And whether its indexes are the unique
// ones only.
bool objectsRead(const xml::Document& structure, const std::string& kind);
bool uniqueIndexesOnly(const xml::Document& structure);

// "Yes", "True", "1" (any case) are true.
bool isTrueText(const std::string& text);

}  // namespace vocab
