// Databases for the reader tests: SQLite files made by the test, PostgreSQL and MariaDB
// databases made on the servers of scripts/dbservers.sh when their connection strings are set.
#pragma once

#include "core/bErrorHandler.h"
#include "import/cADODB.h"
#include "platform/db/Connection.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace importtest {

struct Event {
    int status;
    std::string message;
    int increment;
};

// Records the events a reader raises; stopAt decides when to set Cancel.
struct EventLog {
    std::vector<Event> events;
    std::function<bool(const Event&)> stopAt;
    std::function<void(const Event&)> onEvent;

    void attach(StructureReader& r)
    {
        r.ImportingDB = [this](std::int32_t& s, std::string& m, std::int16_t& inc, bool& cancel) {
            events.push_back({s, m, inc});
            if (onEvent) onEvent(events.back());
            if (stopAt && stopAt(events.back())) cancel = true;
        };
    }
    int count(const std::string& prefix) const
    {
        int n = 0;
        for (const auto& e : events)
            if (e.message.rfind(prefix, 0) == 0) ++n;
        return n;
    }
};

// Collects what reaches the error routine while alive.
struct ErrorCapture {
    struct Entry {
        long number;
        std::string description, source;
    };
    std::vector<Entry> entries;
    ErrorCapture()
    {
        setErrorDialogHook([this](long n, const std::string& d, const std::string& s) { entries.push_back({n, d, s}); });
    }
    ~ErrorCapture() { setErrorDialogHook(nullptr); }
};

inline void run(db::Connection& c, const std::vector<std::string>& statements)
{
    for (const auto& s : statements) c.execute(s);
}

// A server database created for one test and dropped afterwards.
class ServerDatabase {
public:
    enum class Engine { PostgreSQL, MariaDB };
    // Empty connectionString() when the server is not configured.
    explicit ServerDatabase(Engine engine);
    ~ServerDatabase();
    const std::string& connectionString() const { return conn_; }
    const std::string& name() const { return name_; }
    Engine engine() const { return engine_; }

private:
    Engine engine_;
    std::string admin_, conn_, name_;
};

std::string serverConnection(ServerDatabase::Engine engine);

// Expects actual to equal the text of tests/fixtures/import/<fixture>; with DALV_WRITE_EXPECTED
// set, also writes actual beside it as <fixture>.actual.
void expectFixtureText(const std::string& actual, const std::string& fixture);

// Schemas the way applications write them: a SQLite INTEGER PRIMARY KEY table referenced by
// others, declared types of any name, a UNIQUE column, an untyped one; PostgreSQL enums, domains,
// arrays, a sequence shared by two tables, a CHECK; MariaDB unsigned and signed integers, a
// display width, a CHECK, a table with unique keys only (one on a prefix); on each, a key
// declared in another order than its columns; SQLite and PostgreSQL partial and expression
// unique indexes.
struct AppSchema {
    const char* engine;  // "SQLite", "PostgreSQL", "MariaDB"
    std::vector<const char*> sql;
    int tables;  // with a primary key
};
extern const AppSchema kAppSchemas[3];
// Creates the schema in the SQLite file or a new server database (kept in server); its
// connection string, "" when the server is not set.
std::string createAppSchema(const AppSchema& app, const std::string& sqliteFile, std::unique_ptr<ServerDatabase>& server);

}  // namespace importtest
