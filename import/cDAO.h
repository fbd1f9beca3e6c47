// Structure reader for Access database files through the Jet catalogue: tables, fields and
// their properties, indexes with their fields, relationships (under the referencing table) and
// saved queries with their SQL text.
#pragma once

#include "import/StructureReader.h"
#include "platform/jet/Jet.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class cDAO : public StructureReader {
public:
    cDAO();
    ~cDAO() override;

    // Connection fields, set by cReport before OpenDalvDatabase.
    std::string WorkgroupDatabase;
    std::string UserName;
    std::string Password;
    std::string AccessPassword;
    std::string DatabasePath;
    // Caption of the current engine, written on the root.
    std::string DatabaseEngine;

    bool OpenDalvDatabase() override;
    bool GenerateXML() override;

    // Opens an Access file for a reader; on failure tells the user why and returns null.
    // A workgroup file, when given, must hold users and groups, the user (empty for "admin" with
    // an empty password) among them with userPassword as its password; accounts then gets them
    // (without their passwords).
    static std::unique_ptr<jet::Database> OpenAccessFile(const std::string& path, const std::string& password,
                                                         const std::string& workgroup, const std::string& user,
                                                         const std::string& userPassword, const char* source,
                                                         std::vector<jet::Account>* accounts = nullptr);

    // The SQLSCRIPT text of a saved query: its SQL on one line, or an SQL comment saying why it
    // cannot be rebuilt.
    static std::string QueryText(const jet::Query& query);

    // Data_Type text of a Jet field: a decimal with its precision and scale ("Decimal(18,6)"), a
    // complex field by what it holds; "" for a type code the file format does not have.
    static std::string jetTypeName(const jet::Field& field);
    // Writes what the file made the reader leave out on the standard error, a line each.
    static void ReportWarnings(const jet::Database& database, const std::string& source);

private:
    void StartXML(const std::string& rootName);
    void GenerateTables();
    void GenerateIndexXML(const jet::Table& table, xml::Node tableNode);
    void GenerateForeignKeysXML();
    void GenerateViewsXML();
    std::string GetPrimaryKey(const jet::Table& table, const std::string& fieldName);
    void raise(std::int32_t status, const std::string& message) { RaiseImportingDB(status, message, 2); }
    bool stopped() const { return m_Cancel || m_Failed; }

    std::unique_ptr<jet::Database> m_Database;
    xml::Node m_Root;
    std::unordered_map<std::string, xml::Node> m_TableNodes;  // TABLE element of each table
    bool m_Failed = false;
};
