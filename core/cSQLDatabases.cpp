#include "core/cSQLDatabases.h"

#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"

std::string DatabaseList::joined() const {
    std::string r;
    for (const auto& n : names) {
        if (!r.empty()) r += ',';
        r += n;
    }
    return r;
}

std::string cSQLDatabases::ConnectionStringFor(const std::string& sServerName, bool bWindowsAuthentication,
                                               const std::string& sLoginName, const std::string& sPassword) {
    db::ConnectionParameters p{{"Provider", "SQLOLEDB"}, {"Data Source", sServerName}, {"Initial Catalog", "master"}};
    if (bWindowsAuthentication) {
        p.emplace_back("Integrated Security", "SSPI");
    } else {
        p.emplace_back("User Id", sLoginName);
        p.emplace_back("Password", sPassword);
    }
    return db::buildConnectionString(p);
}

DatabaseList cSQLDatabases::GetDatabasesList(const std::string& sServerName, bool bWindowsAuthentication,
                                             const std::string& sLoginName, const std::string& sPassword) const {
    DatabaseList result;
    if (sServerName.empty()) {
        result.message = "No server name given.";
        return result;
    }
    try {
        db::Connection c;
        c.setConnectionTimeout(10);
        c.open(ConnectionStringFor(sServerName, bWindowsAuthentication, sLoginName, sPassword));
        db::Recordset rs = c.execute("SELECT name FROM master.dbo.sysdatabases ORDER BY dbid");
        for (; !rs.eof(); rs.moveNext()) result.names.push_back(rs["name"].toString());
        result.status = DatabaseList::Status::Ok;
    } catch (const db::Error& e) {
        result.names.clear();
        if (e.number() == db::err::AuthFailed || e.nativeError() == 18456) {
            result.status = DatabaseList::Status::LoginFailed;
            result.message = "Incorrect Loginname/Password";
        } else {
            result.status = DatabaseList::Status::Failed;
            result.message = e.description();
        }
    } catch (const std::exception& e) {
        result.names.clear();
        result.status = DatabaseList::Status::Failed;
        result.message = e.what();
    }
    return result;
}
