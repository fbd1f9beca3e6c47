// Databases of one SQL Server, read through the FreeTDS driver of the data layer.
#pragma once

#include <string>
#include <vector>

struct DatabaseList {
    enum class Status { Ok, LoginFailed, Failed };
    std::vector<std::string> names;  // in the server's order (by database id)
    Status status = Status::Failed;
    std::string message;             // the reason when not Ok
    std::string joined() const;      // names joined by ","
};

class cSQLDatabases {
public:
    DatabaseList GetDatabasesList(const std::string& sServerName, bool bWindowsAuthentication,
                                  const std::string& sLoginName, const std::string& sPassword) const;
    // The connection string used for a server (keyword form of the option documents).
    static std::string ConnectionStringFor(const std::string& sServerName, bool bWindowsAuthentication,
                                           const std::string& sLoginName, const std::string& sPassword);
};
