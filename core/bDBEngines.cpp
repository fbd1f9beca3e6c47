#include "core/bDBEngines.h"

#include <array>

namespace {

using K = EngineKind;

// Index = engine id; row 0 stands for every id outside the catalogue.
constexpr std::array<DBEngineFacts, 14> kEngines{{
    {},
    {K::SQLServer, "SQLSERVER", "SQLOLEDB"},
    {K::SQLServer, "SQLSERVER", "SQLOLEDB"},
    {K::SQLServer, "SQLSERVER65", "SQLOLEDB"},
    {K::Oracle, "ORACLE", "OraOLEDB.Oracle"},
    {K::Oracle, "ORACLE", "OraOLEDB.Oracle"},
    {K::Oracle, "ORACLE", "OraOLEDB.Oracle"},
    {K::Oracle, "ORACLE", "MSDAORA.1"},
    {K::Access, "ACCESS", "Microsoft.Jet.OLEDB.4.0"},
    {K::Access, "ACCESS", "Microsoft.Jet.OLEDB.4.0"},
    {K::Access, "ACCESS", "Microsoft.Jet.OLEDB.4.0"},
    {K::IBMDB2, "IBMDB2", "IBMDADB2.1"},
    {K::Others, "OTHERS", ""},
    {K::DalvaneXML, "", ""},
}};

}  // namespace

const DBEngineFacts& DBEngine(int id) {
    return id > 0 && id < static_cast<int>(kEngines.size()) ? kEngines[static_cast<std::size_t>(id)] : kEngines[0];
}
