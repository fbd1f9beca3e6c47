#include "options/cStructureFile.h"

#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"

bool cStructureFile::OpenDalvDatabase() {
    open_ = false;
    xml::Document doc;
    if (!files::fileExists(ConnectionString) || !doc.load(ConnectionString) ||
        doc.documentElement().name() != "DATABASE") {
        ui::MsgBox("Invalid dalvane structure file", ui::MsgButtons::OK, ui::MsgIcon::Critical);
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
