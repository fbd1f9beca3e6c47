// Reader for engine 13: an existing structure document saved as an XML file.
#pragma once

#include "import/StructureReader.h"

class cStructureFile : public StructureReader {
public:
    // ConnectionString holds the path of the structure file.
    bool OpenDalvDatabase() override;
    // What makes doc unusable as a structure: a table or column without a name ("" when none).
    static std::string UnnamedObject(const xml::Document& doc);
    // Copies the loaded document; the connection and report options it carries are dropped,
    // since the importer attaches the current ones.
    bool GenerateXML() override;

private:
    xml::Document loaded_;
    bool open_ = false;
};
