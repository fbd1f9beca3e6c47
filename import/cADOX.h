// Structure reader for Access database files in the ADOX catalogue's terms: tables with their
// columns in alphabetical order, the Jet column properties and the rights of each user and group
// (MSysACEs, named from the workgroup file or as built-in accounts), and the views
// (row-returning saved queries without parameters) with their SQL text. No indexes, foreign keys
// or procedures (the action and parameter queries).
#pragma once

#include "import/StructureReader.h"
#include "platform/jet/Jet.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
    // The Datatype written for a Jet field: GetAccessDataType's, a decimal with its precision and
    // scale, a complex field by what it holds.
    static std::string TypeName(const jet::Field& field);
    // Insert, Update, Delete, Select, References and Execute ("Yes", "No" or "NA") of an object
    // of the kind ("TABLE", "VIEW" or "STOREDPROCEDURE") for a Jet access mask: the data rights
    // from their own bits, References from the right to modify the design.
    static std::array<std::string, 6> Rights(const std::string& kind, std::uint32_t mask);

private:
    void InitXmlDocument(const std::string& rootName);
    void GenerateAccessTables_ADOX();
    // PRIVILEGE elements of an object (kind "TABLE", "VIEW" or "STOREDPROCEDURE") under its element.
    void GetAccessObjectPrivileges(const std::string& objectName, const std::string& kind, xml::Node object);
    // Whether an MSysACEs SID of the database is the workgroup file's account.
    bool SameAccount(const jet::Account& account, const std::string& sid) const;
    void raise(std::int32_t status, const std::string& message, std::int16_t increment)
    {
        RaiseImportingDB(status, message, increment);
    }

    std::unique_ptr<jet::Database> m_Database;
    std::vector<jet::Account> m_Accounts;  // of the workgroup file, when one is given
    xml::Node m_Root;
    bool m_Failed = false;
    bool m_RightsUnread = false;  // the file's rights could not be read: no privileges are written
};
