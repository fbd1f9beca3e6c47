#include "core/cSQLServers.h"
#include "platform/text/Text.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <map>

namespace {
}  // namespace

std::string ServerList::joined() const {
    std::string r;
    for (const auto& n : names) {
        if (!r.empty()) r += ',';
        r += n;
    }
    return r;
}

std::vector<std::string> cSQLServers::ParseBrowserReply(std::string_view d) {
    std::vector<std::string> names;
    if (d.size() < 3 || static_cast<unsigned char>(d[0]) != 0x05) return names;
    size_t len = static_cast<unsigned char>(d[1]) | (static_cast<size_t>(static_cast<unsigned char>(d[2])) << 8);
    if (len > d.size() - 3) return names;
    std::string_view data = d.substr(3, len);
    // Instances end with ";;"; inside one, names and values alternate.
    size_t pos = 0;
    while (pos < data.size()) {
        size_t end = data.find(";;", pos);
        std::string_view rec = data.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        pos = end == std::string_view::npos ? data.size() : end + 2;
        std::vector<std::string_view> parts;
        size_t p = 0;
        for (;;) {
            size_t semi = rec.find(';', p);
            parts.push_back(rec.substr(p, semi == std::string_view::npos ? std::string_view::npos : semi - p));
            if (semi == std::string_view::npos) break;
            p = semi + 1;
        }
        std::map<std::string, std::string> fields;
        for (size_t i = 0; i + 1 < parts.size(); i += 2)
            fields.emplace(text::lower(std::string(parts[i])), std::string(parts[i + 1]));
        std::string server = fields["servername"];
        std::string instance = fields["instancename"];
        if (server.empty()) continue;
        if (instance.empty() || text::lower(instance) == "mssqlserver")
            names.push_back(server);
        else
            names.push_back(server + "\\" + instance);
    }
    return names;
}

ServerList cSQLServers::GetServersList(int timeoutMs) const {
    ServerList result;
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        result.message = "no UDP socket";
        return result;
    }
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &yes, sizeof yes);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port_);
    const unsigned char broadcastRequest = 0x02, unicastRequest = 0x03;
    bool sent = false;
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    sent |= ::sendto(fd, &broadcastRequest, 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) == 1;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sent |= ::sendto(fd, &unicastRequest, 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to) == 1;
    if (!sent) {
        ::close(fd);
        result.message = "the SQL Server Browser request could not be sent";
        return result;
    }
    result.ok = true;

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buf[65536];
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, static_cast<int>(left)) <= 0) break;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) continue;
        for (auto& name : ParseBrowserReply(std::string_view(buf, static_cast<size_t>(n)))) {
            bool seen = std::any_of(result.names.begin(), result.names.end(),
                                    [&](const std::string& s) { return text::lower(s) == text::lower(name); });
            if (!seen) result.names.push_back(name);
        }
    }
    ::close(fd);
    return result;
}
