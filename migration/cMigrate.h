// Migration engine: turns a structure document into data-definition statements for another
// database engine, executing each at once or collecting them into a script.
//
// One instance serves one run of the migration wizard. The data-type map "DataTypes.dvd" in the
// per-user data folder is read once at creation. Failures never show a message: they arrive
// through the callbacks. Each run decides first what the target takes, in the newest version its
// code names (SQL Server 2000, SQL Server 6.5, Oracle 9i, DB2 Version 7, Access): every table
// that cannot be created, every key left out and every change made to fit is reported before
// the first statement runs.
#pragma once

#include "platform/xml/Xml.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace db {
class Connection;
}

class cMigrate {
public:
    cMigrate();
    ~cMigrate();
    cMigrate(const cMigrate&) = delete;
    cMigrate& operator=(const cMigrate&) = delete;

    // ---- events -------------------------------------------------------------------------
    // ObjectType "Table", "Index" or "Foreign Key"; Status the present or past status word.
    std::function<void(const std::string& objectName, const std::string& objectType, const std::string& status)>
        WhileMigrating;
    std::function<void(long errNumber, const std::string& errDescription, const std::string& objectName,
                       const std::string& query)>
        MigrationError;
    std::function<void(const std::string& errorDescription, const std::string& sourceDatabase,
                       const std::string& targetDatabase, const std::string& sourceDatatype)>
        MigrationDataTypeError;
    // A change made so that the target takes an object: a name shortened, a type that keeps
    // less than the source's (its time zone, digits, length or numbering), a column numbered by
    // a sequence and a trigger. ObjectName is the table, or "table.column".
    std::function<void(const std::string& objectName, const std::string& description)> MigrationChange;

    // ---- settings -----------------------------------------------------------------------
    void SetConnectionString(const std::string& connectionString);
    void SetDBXMLContent(const std::string& xmlText);
    void SetTargetDBType(const std::string& migrationCode);
    void ExecuteImmediately(bool value);
    bool ExecuteImmediately() const { return executeImmediately_; }

    // Objects created (execute mode) or generated (script mode); after ExecuteAll, the pieces
    // that executed.
    int ObjectsMigrated() const { return objectsMigrated_; }
    // Every statement so far, each followed by CR LF "Go" CR LF CR LF.
    const std::string& AllQueries() const { return script_; }

    // One whole run for one target: tables, then keys and indexes, then foreign keys. The
    // argument is the source engine's migration code. False when a step failed. A target that
    // cannot be opened stops a run that executes; a run that only writes the script goes on.
    bool GenerateAccessTables(const std::string& sourceCode);
    bool GenerateSQLServerTables(const std::string& sourceCode);
    bool GenerateOracleTables(const std::string& sourceCode);
    bool GenerateDB2Tables(const std::string& sourceCode);
    bool GenerateSQLServer65Tables(const std::string& sourceCode);

    // Executes an edited script on the target, opened anew when the generator could not open
    // it. The script is divided at lines that read "Go" (any case, blanks around) outside names
    // in [...], "..." or `...`, string literals '...' and /* */ comments; blank pieces are
    // skipped. True when every piece executed.
    bool ExecuteAll(const std::string& script);

    // The statements of a script, divided as ExecuteAll divides them.
    static std::vector<std::string> SplitScript(const std::string& script);

    // The column under way as "table.column"; names the column of a MigrationDataTypeError.
    const std::string& CurrentColumn() const { return currentColumn_; }

    struct Target;
    struct Limits;

private:
    struct Plan;
    struct TypeMatch;
    bool run(const Target& target, const std::string& sourceCode);
    bool OpenTargetConnection();
    bool LoadSourceStructure();
    bool LoadDataTypeMap();
    // indexed: the column is in a key or index, where a large-object type cannot stand; a
    // length the source leaves open is then keyLength (when positive) or the type's largest.
    TypeMatch MatchDataType(const xml::Node& column, const std::string& sourceType, const std::string& sourceCode,
                            const std::string& targetCode, bool indexed = false, long keyLength = 0);
    // What the run writes: names, types, the keys and foreign keys kept; reports what cannot be
    // created, what is left out and what changes.
    void planRun(const Target& target, const std::string& sourceCode);
    void planKeys(const Target& target);
    void planForeignKeys(const Target& target);
    void AddQuery(const std::string& statement);
    bool GenerateIndexes(const Target& target);
    bool GenerateForeignKeys(const Target& target);

    // Runs (in execute mode) and records one statement; raises the past status and counts it
    // when it succeeded.
    bool runStatement(const std::string& statement, const std::string& objectName, const std::string& objectType);
    // A statement that completes an object (a counted column's sequence and trigger): run when
    // execute, recorded, neither announced nor counted.
    bool runPart(const std::string& statement, const std::string& objectName, bool execute);
    std::string newName(const char* prefix);
    void raiseError(long number, const std::string& description, const std::string& objectName,
                    const std::string& query);
    void raiseProgress(const std::string& name, const std::string& type, const std::string& status);

    std::string connectionString_;
    std::string sourceXml_;
    std::string targetType_;
    bool executeImmediately_ = false;
    std::string presentStatus_, pastStatus_;
    int objectsMigrated_ = 0;
    std::string script_;
    std::unique_ptr<db::Connection> connection_;
    xml::Document source_;
    xml::Document dataTypeMap_;
    std::string mapPath_, mapError_;
    std::set<std::string> usedNames_;
    std::unique_ptr<Plan> plan_;
    std::string currentColumn_;
    bool sqliteSource_ = false;  // declared types follow SQLite's affinity rules
    std::mt19937 random_;
};
