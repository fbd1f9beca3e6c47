#include "core/cDVUpdates.h"
#include "core/cSQLDatabases.h"
#include "core/cSQLServers.h"
#include "platform/db/ConnectionString.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace {
std::string reply(const std::string& data) {
    std::string d = "\x05";
    d += static_cast<char>(data.size() & 0xFF);
    d += static_cast<char>(data.size() >> 8);
    return d + data;
}

// A socket bound to a free port on the loopback address.
int boundSocket(int type, uint16_t& port) {
    int fd = ::socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    return fd;
}
}  // namespace

TEST(BrowserReply, InstancesAndDefaultInstance) {
    auto names = cSQLServers::ParseBrowserReply(reply(
        "ServerName;DBHOST;InstanceName;SQLEXPRESS;IsClustered;No;Version;15.0.2000.5;tcp;1433;;"
        "ServerName;DBHOST;InstanceName;MSSQLSERVER;IsClustered;No;Version;16.0.1000.6;tcp;1434;;"));
    EXPECT_EQ(names, (std::vector<std::string>{"DBHOST\\SQLEXPRESS", "DBHOST"}));
    // Without the final ";;" and with the keys in other letters.
    names = cSQLServers::ParseBrowserReply(reply("servername;H2;instancename;Sales;tcp;1500"));
    EXPECT_EQ(names, (std::vector<std::string>{"H2\\Sales"}));
}

TEST(BrowserReply, RejectsWhatIsNoAnswer) {
    EXPECT_TRUE(cSQLServers::ParseBrowserReply("").empty());
    EXPECT_TRUE(cSQLServers::ParseBrowserReply("\x05\x10").empty());
    EXPECT_TRUE(cSQLServers::ParseBrowserReply("\x04\x05\x00ServerName;X").empty());
    // Length beyond the datagram.
    std::string longer = reply("ServerName;X;InstanceName;Y;;");
    longer.resize(longer.size() - 5);
    EXPECT_TRUE(cSQLServers::ParseBrowserReply(longer).empty());
    // A record without a server name is skipped.
    EXPECT_EQ(cSQLServers::ParseBrowserReply(reply("InstanceName;Y;;ServerName;Z;InstanceName;MSSQLSERVER;;")),
              (std::vector<std::string>{"Z"}));
}

TEST(SQLServers, CollectsAnswersUntilTheTimeout) {
    uint16_t port = 0;
    int fd = boundSocket(SOCK_DGRAM, port);
    std::thread browser([fd] {
        char buf[16];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, 3000) > 0) {
            ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n != 1 || (buf[0] != 0x02 && buf[0] != 0x03)) continue;
            for (const std::string& d : {reply("ServerName;LAB;InstanceName;ONE;tcp;1;;ServerName;LAB;InstanceName;MSSQLSERVER;;"),
                                         std::string("garbage"), reply("ServerName;lab;InstanceName;one;;")})
                ::sendto(fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
            break;
        }
    });
    ServerList list = cSQLServers(port).GetServersList(700);
    browser.join();
    ::close(fd);
    EXPECT_TRUE(list.ok);
    EXPECT_EQ(list.names, (std::vector<std::string>{"LAB\\ONE", "LAB"}));  // duplicates once
    EXPECT_EQ(list.joined(), "LAB\\ONE,LAB");
}

TEST(SQLServers, NoBrowserGivesAnEmptyList) {
    uint16_t port = 0;
    int fd = boundSocket(SOCK_DGRAM, port);  // holds the port, never answers
    ServerList list = cSQLServers(port).GetServersList(300);
    ::close(fd);
    EXPECT_TRUE(list.names.empty());
    EXPECT_EQ(list.joined(), "");
}

TEST(SQLDatabases, UnreachableServerIsAFailureNotAList) {
    DatabaseList l = cSQLDatabases().GetDatabasesList("127.0.0.1,1", false, "sa", "x");
    EXPECT_EQ(l.status, DatabaseList::Status::Failed);
    EXPECT_TRUE(l.names.empty());
    EXPECT_FALSE(l.message.empty());
    EXPECT_EQ(l.joined(), "");
    EXPECT_EQ(cSQLDatabases().GetDatabasesList("", true, "", "").status, DatabaseList::Status::Failed);
}

TEST(SQLDatabases, LoginValuesCannotAddKeywords) {
    std::string cs = cSQLDatabases::ConnectionStringFor("srv", false, "sa;Trusted", "p;Integrated Security=SSPI");
    auto params = db::parseConnectionString(cs);
    EXPECT_EQ(db::parameterValue(params, "Password"), "p;Integrated Security=SSPI");
    EXPECT_EQ(db::parameterValue(params, "User Id"), "sa;Trusted");
    EXPECT_EQ(db::parameterValue(params, "Integrated Security"), "");
    EXPECT_EQ(db::parameterValue(db::parseConnectionString(cSQLDatabases::ConnectionStringFor("srv", true, "u", "p")),
                                 "Integrated Security"),
              "SSPI");
}

namespace {
// Answers one HTTP request with body and records the request head.
struct OneShotHttp {
    uint16_t port = 0;
    int fd;
    std::string request;
    std::thread t;
    explicit OneShotHttp(std::string body) {
        fd = boundSocket(SOCK_STREAM, port);
        ::listen(fd, 1);
        t = std::thread([this, body] {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) return;
            int c = ::accept(fd, nullptr, nullptr);
            char buf[8192];
            while (request.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                request.append(buf, static_cast<size_t>(n));
            }
            std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                 std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            ::send(c, answer.data(), answer.size(), 0);
            ::close(c);
        });
    }
    ~OneShotHttp() {
        if (t.joinable()) t.join();
        ::close(fd);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port); }
};
}  // namespace

TEST(ErrorReportPost, PostsTheEncodedFormAndReadsSuccess) {
    OneShotHttp server("Mail SUCCESSfully sent");
    cDVUpdates service(server.url());
    EXPECT_TRUE(service.SendErrorReport("me@x.org", "Dalvane 4.5 Error Report", "a\r\nb&c=d\ne #f"));
    server.t.join();
    EXPECT_EQ(server.request.rfind("POST /DV45LiveUpdates/SendMail.aspx?From=me%40x.org&Subject=Dalvane%204.5%20Error%20Report"
                                   "&ErrorMessage=a%0Db%26c%3Dd%0De%20%23f HTTP/1.1\r\n", 0),
              0u)
        << server.request;
}

TEST(ErrorReportPost, AnythingButSuccessIsFailure) {
    {
        OneShotHttp server("failed");
        EXPECT_FALSE(cDVUpdates(server.url()).SendErrorReport("a", "b", "c"));
    }
    uint16_t port = 0;
    int fd = boundSocket(SOCK_STREAM, port);  // bound, not listening: refused
    cDVUpdates closed("http://127.0.0.1:" + std::to_string(port));
    closed.timeoutSeconds = 5;
    EXPECT_FALSE(closed.SendErrorReport("a", "b", "c"));
    ::close(fd);
}
