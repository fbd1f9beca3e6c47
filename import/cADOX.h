// Structure reader for Access database files in the ADOX catalogue's terms: tables with their
// columns in alphabetical order and the Jet column properties, and the views (row-returning
// saved queries without parameters) with their SQL text. No indexes or foreign keys.
//
// Users, groups and their permissions live in the workgroup information file, whose encrypted
// account tables cannot be read here, so no PRIVILEGE element is written.
#pragma once

#include "import/StructureReader.h"
#include "platform/jet/Jet.h"

#include <memory>
#include <string>

class cADOX : public StructureReader {
public:
    cADOX();
    ~cADOX() override;

    bool OpenDalvDatabase() override;
    bool GenerateXML() override;
    void GenerateViewsXML();

    // Type name for an ADO type code and the column's size and flags.
    static std::string GetAccessDataType(long type, long size, bool fixedLength, bool autoIncrement, bool hyperlink);
    // ADO type code of a Jet field.
    static long AdoType(const jet::Field& field);

private:
    void InitXmlDocument(const std::string& rootName);
    void GenerateAccessTables_ADOX();
    void raise(std::int32_t status, const std::string& message, std::int16_t increment)
    {
        RaiseImportingDB(status, message, increment);
    }

    std::unique_ptr<jet::Database> m_Database;
    xml::Node m_Root;
    bool m_Failed = false;
};
