#include "core/cDVUpdates.h"
#include "core/CoreTestEnv.h"
#include "core/bVersion.h"
#include "platform/ui/Prompter.h"
#include "platform/xml/Xml.h"
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
// Answers one HTTP request with body (or never, when silent) and records the request.
struct OneShotHttp {
    uint16_t port = 0;
    int fd;
    std::string request;
    std::thread t;
    explicit OneShotHttp(std::string body, std::string status = "200 OK", bool silent = false) {
        fd = boundSocket(SOCK_STREAM, port);
        ::listen(fd, 1);
        t = std::thread([this, body, status, silent] {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) return;
            int c = ::accept(fd, nullptr, nullptr);
            char buf[8192];
            size_t head;
            while ((head = request.find("\r\n\r\n")) == std::string::npos) {
                ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                request.append(buf, static_cast<size_t>(n));
            }
            size_t lengthAt = request.find("Content-Length: ");
            size_t want = lengthAt == std::string::npos ? 0 : std::stoul(request.substr(lengthAt + 16));
            while (head != std::string::npos && request.size() < head + 4 + want) {
                ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                request.append(buf, static_cast<size_t>(n));
            }
            if (silent) {
                pollfd q{c, POLLIN, 0};
                ::poll(&q, 1, 4000);  // the client gives up first
            } else {
                std::string answer = "HTTP/1.1 " + status + "\r\nContent-Type: text/xml\r\nContent-Length: " +
                                     std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
                ::send(c, answer.data(), answer.size(), 0);
            }
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
    service.SOAPINSTALLED = false;  // the form post
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
        cDVUpdates form(server.url());
        form.SOAPINSTALLED = false;
        EXPECT_FALSE(form.SendErrorReport("a", "b", "c"));
    }
    uint16_t port = 0;
    int fd = boundSocket(SOCK_STREAM, port);  // bound, not listening: refused
    cDVUpdates closed("http://127.0.0.1:" + std::to_string(port));
    closed.timeoutSeconds = 5;
    EXPECT_FALSE(closed.SendErrorReport("a", "b", "c"));
    ::close(fd);
}

namespace {
std::string envelope(const std::string& body) {
    return "<?xml version=\"1.0\"?><soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">"
           "<soap:Body>" + body + "</soap:Body></soap:Envelope>";
}
std::string patchAnswer(const std::string& info) {
    xml::Document d;
    xml::Node r = d.createRoot("CheckLatestPatchResult");
    r.setText(info);
    return envelope("<CheckLatestPatchResponse xmlns=\"" + std::string(cDVUpdates::SoapNamespace) + "\">" +
                    r.xml() + "</CheckLatestPatchResponse>");
}
struct RecordingWait : UpdateWaitWindow {
    std::vector<std::string> seen;
    bool open = false;
    void StartDownload(const std::string& m) override { open = true; seen.push_back(m); }
    void ChangeMessage(const std::string& m) override { seen.push_back(m); }
    void StopDownload() override { open = false; }
};
}  // namespace

// The service's answers of every kind; the wait window is closed on every way out.
TEST(UpdateCheck, AnswersOfEveryKind) {
    coretest::ScopedHome home;
    testsupport::ScopedPrompter prompter;
    InitVersionInfo();
    SetProgramFolders();
    ASSERT_TRUE(CreateUserFolders());
    const std::string fault = envelope("<soap:Fault><faultcode>soap:Server</faultcode><faultstring>x</faultstring></soap:Fault>");
    struct Case {
        std::string body, status;
        bool silent;
        bool result;
        std::string message;  // start of the last message shown
        std::vector<std::string> opened;
    } cases[] = {
        {patchAnswer("<NEWDVINFO URL=\"https://dl.example/p.tar\" Version=\"4.6\" Revision=\"501\"/>"), "200 OK", false,
         true, "Latest update for Dalvane - Version 4.6 Build 501 is available", {"https://dl.example/p.tar"}},
        {patchAnswer("<NEWDVINFO URL=\"\" Version=\"\" Revision=\"\"/>"), "200 OK", false, false,
         "Currently there is no updates available", {}},
        {patchAnswer("<NEWDVINFO URL=\"javascript:alert(1)\" Version=\"9\" Revision=\"1\"/>"), "200 OK", false, false,
         "The web service offered an update at an address that is not a web page", {}},
        {patchAnswer("<NEWDVINFO URL=\"https://x\" Version=\"4.6\"/>"), "200 OK", false, false, "Dalvane 4.5 is about", {}},
        {patchAnswer("<NEWDVINFO"), "200 OK", false, false, "Currently there is no updates available", {}},
        {fault, "500 Internal Server Error", false, false, "Unable to communicate with Web Service", {}},
        {fault, "200 OK", false, false, "Unable to communicate with Web Service", {}},
        {"<html>not found</html>", "404 Not Found", false, false, "Unable to communicate with Web Service", {}},
        {"<soap:Envelope", "200 OK", false, false, "Unable to communicate with Web Service", {}},
        {"", "200 OK", true, false, "Unable to communicate with Web Service", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body + " " + c.status);
        OneShotHttp server(c.body, c.status, c.silent);
        cDVUpdates service(server.url());
        ASSERT_TRUE(service.SOAPINSTALLED);
        service.timeoutSeconds = 2;
        prompter->messages.clear();
        prompter->opened.clear();
        prompter->messageAnswers = {ui::MsgResult::OK, ui::MsgResult::Yes};
        RecordingWait wait;
        EXPECT_EQ(service.CheckApplicationUpdates(&wait), c.result);
        EXPECT_FALSE(wait.open);
        EXPECT_EQ(wait.seen.front(), "Communicating with Dalvane Web Service...");
        EXPECT_EQ(prompter->lastMessage().rfind(c.message, 0), 0u) << prompter->lastMessage();
        EXPECT_EQ(prompter->opened, c.opened);
        EXPECT_EQ(service.closeRequested, !c.opened.empty());
        server.t.join();
        // One SOAP 1.1 call carrying the product record as text.
        EXPECT_NE(server.request.find("SOAPAction: \"" + std::string(cDVUpdates::SoapNamespace) + "CheckLatestPatch\""),
                  std::string::npos);
        EXPECT_NE(server.request.find("&lt;PRODUCT Name=\"Dalvane 4.5\""), std::string::npos) << server.request;
    }
    // The wait window's Cancel ends a call that the service leaves unanswered, without a message.
    {
        OneShotHttp server("", "200 OK", true);
        cDVUpdates service(server.url());
        service.timeoutSeconds = 30;
        prompter->messages.clear();
        prompter->messageAnswers = {ui::MsgResult::OK};
        struct CancellingWait : RecordingWait {
            bool CancelRequested() const override { return true; }
        } wait;
        EXPECT_FALSE(service.CheckApplicationUpdates(&wait));
        EXPECT_FALSE(wait.open);
        EXPECT_EQ(prompter->messages.size(), 1u);  // the question before the call only
        // The server is let go whether or not the call reached it.
        int poke = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(server.port);
        ::connect(poke, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::close(poke);
    }
    // Cancel at the question: nothing is sent.
    prompter->messageAnswers = {ui::MsgResult::Cancel};
    cDVUpdates idle("http://127.0.0.1:9");
    EXPECT_FALSE(idle.CheckApplicationUpdates());
}

TEST(ErrorReportPost, SoapSendSucceedsOnlyWithoutFault) {
    {
        OneShotHttp server(envelope("<SendErrorMailResponse xmlns=\"" + std::string(cDVUpdates::SoapNamespace) +
                                    "\"><SendErrorMailResult/></SendErrorMailResponse>"));
        EXPECT_TRUE(cDVUpdates(server.url()).SendErrorReport("a&b", "s", "x<y"));
        server.t.join();
        EXPECT_NE(server.request.find("<sFrom>a&amp;b</sFrom>"), std::string::npos) << server.request;
        EXPECT_NE(server.request.find("<sErrorMessage>x&lt;y</sErrorMessage>"), std::string::npos);
    }
    OneShotHttp fault(envelope("<soap:Fault><faultcode>soap:Client</faultcode></soap:Fault>"));
    EXPECT_FALSE(cDVUpdates(fault.url()).SendErrorReport("a", "b", "c"));
}
