#include "options/cStructureFile.h"

#include "options/StructureVocabulary.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "platform/ui/Prompter.h"

std::string cStructureFile::UnnamedObject(const xml::Document& doc) {
    int number = 0;
    for (const xml::Node& table : doc.selectNodes("DATABASE/TABLE")) {
        ++number;
        if (text::trim(table.attribute("Name")).empty()) return "table " + std::to_string(number) + " has no name";
        int column = 0;
        // Each reader names its columns in its own words.
        for (const xml::Node& c : table.selectNodes("COLUMN")) {
            ++column;
            if (text::trim(vocab::columnName(c)).empty())
                return "column " + std::to_string(column) + " of table " + table.attribute("Name") + " has no name";
        }
    }
    return {};
}

bool cStructureFile::OpenDalvDatabase() {
    open_ = false;
    xml::Document doc;
    std::string fault;
    if (!files::fileExists(ConnectionString) || !doc.load(ConnectionString) ||
        doc.documentElement().name() != "DATABASE" || !(fault = UnnamedObject(doc)).empty()) {
        ui::MsgBox("Invalid dalvane structure file" + (fault.empty() ? std::string() : ": " + fault), ui::MsgButtons::OK,
                   ui::MsgIcon::Critical);
        return false;
    }
    loaded_ = std::move(doc);
    open_ = true;
    return true;
}

bool cStructureFile::GenerateXML() {
    if (!open_) return false;
    RaiseImportingDB(1, "Reading the structure file " + files::fileName(ConnectionString) + "...", 10);
    if (m_Cancel) return false;
    oResultXML = loaded_.clone();
    xml::Node root = oResultXML.documentElement();
    for (const char* child : {"DBOPTIONS", "REPORTOPTIONS", "DIAGRAM"})
        for (xml::Node n : root.selectNodes(child)) n.remove();
    RaiseImportingDB(4, "Database imported", 100);
    return !m_Cancel;
}
