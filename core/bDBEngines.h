// The kind of each database engine id, and the facts that tell engines of one kind apart.
// The table follows data/DBEngines.xml: one row per DBENGINE, by its Id.
#pragma once

enum class EngineKind { Unknown, SQLServer, Oracle, Access, IBMDB2, Others, DalvaneXML };

struct DBEngineFacts {
    EngineKind kind = EngineKind::Unknown;
    const char* migrationCode = "";  // MigrationCode: the generator that writes its tables
    const char* provider = "";       // Provider of its connection string template
};

// The facts of engine `id`; kind Unknown and empty texts for an id the catalogue lacks.
const DBEngineFacts& DBEngine(int id);
inline EngineKind EngineKindOf(int id) { return DBEngine(id).kind; }
