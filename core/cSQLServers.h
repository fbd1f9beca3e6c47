// SQL Server instances visible on the network, asked through the SQL Server Browser
// service (UDP 1434): one broadcast request plus one to the local machine, answers
// collected until the timeout.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ServerList {
    std::vector<std::string> names;  // "HOST" or "HOST\INSTANCE", in order of arrival
    bool ok = false;                 // false when the request could not be sent
    std::string message;
    std::string joined() const;      // names joined by ","
};

class cSQLServers {
public:
    explicit cSQLServers(std::uint16_t port = 1434) : port_(port) {}
    ServerList GetServersList(int timeoutMs = 2000) const;

    // Instance names of one Browser answer (0x05, length, "ServerName;H;InstanceName;I;...;;"
    // per instance); empty for anything else.
    static std::vector<std::string> ParseBrowserReply(std::string_view datagram);

private:
    std::uint16_t port_;
};
