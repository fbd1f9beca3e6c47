// Structure reader that runs the engine's own catalogue statements, taken from the query-
// definition file "Queries.dvq" (enciphered XML, root QUERIES, one DATABASE per engine id).
//
// Each definition (QUERIES/DATABASE/TABLE) names the element its rows become (CurrentElement),
// how they are written (one element per row, one attribute of the parent, or one text block),
// the columns that become attributes and those that form the row key. Child definitions
// (ParentXPath = the parent's CurrentElement, same Fetch, Id >= the parent's Id) run once per
// parent row; the parent row's key parts fill the placeholders DALVZZZ, DALVYYY, DALVXXX, ...
// of their statements as bound parameters (inside a quoted literal or identifier: quoted text).
#pragma once

#include "import/StructureReader.h"
#include "platform/db/Connection.h"

#include <cstdint>
#include <string>
#include <vector>

class cDBSysQuery : public StructureReader {
public:
    cDBSysQuery();
    ~cDBSysQuery() override;

    // Selects the DATABASE entry of the definitions.
    std::int16_t CurrentDatabaseEngineId = 0;
    // Root facts: the engine's caption and the server name of the connection options.
    std::string DatabaseEngine;
    std::string DBServerName;
    // Folder holding "Queries.dvq" (the per-user data folder unless set).
    std::string QueriesFolder;

    bool OpenDalvDatabase() override;
    bool GenerateXML() override;
    void SaveDBXML(const std::string& path);

    // A statement with its placeholders replaced for one row key: "?" markers and the values
    // they take. Placeholders beyond the key's parts stay as they are.
    struct BoundStatement {
        std::string sql;
        std::vector<db::Value> parameters;
    };
    static BoundStatement bindKey(const std::string& statement, const std::vector<db::Value>& key);
    // Placeholder of key part i: "DALV" and three times the letter 'Z' - i.
    static std::string placeholder(int part);

protected:
    // Runs one catalogue statement; the seam through which tests answer with canned rows.
    virtual db::Recordset runStatement(const std::string& sql, const std::vector<db::Value>& parameters);

    db::Connection m_Connection;

private:
    class Failure {};  // unwinds to GenerateXML once the failure has been reported

    bool SetDatabaseQueries();
    void StartXML(const std::string& rootName);
    void WriteRecordsetXML(const xml::Node& definition, xml::Node parent, db::Recordset& rs, int depth);
    void RunChildQueries(const std::string& parentElement, const xml::Node& row, const std::vector<db::Value>& key,
                         const std::string& fetch, long parentId, int depth);
    db::Recordset execute(const xml::Node& definition, const std::vector<db::Value>& key);
    std::string databasePath() const;
    void raise(std::int32_t status, const std::string& message);
    [[noreturn]] void fail(long number, const std::string& description, const std::string& source);

    xml::Document m_Queries;
    xml::Node m_Root;
};
