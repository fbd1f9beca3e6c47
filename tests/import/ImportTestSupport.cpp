#include "ImportTestSupport.h"

#include "platform/fs/Paths.h"

#include <gtest/gtest.h>

#include <regex>
#include <unistd.h>

namespace importtest {

void expectFixtureText(const std::string& actual, const std::string& fixture)
{
    const std::string path = testsupport::fixturePath("import/" + fixture);
    if (std::getenv("DALV_WRITE_EXPECTED")) files::writeTextFile(path + ".actual", actual);
    EXPECT_EQ(actual, testsupport::readFile(path)) << fixture;
}

std::string serverConnection(ServerDatabase::Engine engine)
{
    const char* names[] = {engine == ServerDatabase::Engine::PostgreSQL ? "DALV_TEST_PG" : "DALV_TEST_MARIADB",
                           engine == ServerDatabase::Engine::PostgreSQL ? "DALV_PG_ODBC" : "DALV_MY_ODBC"};
    for (const char* n : names)
        if (const char* v = std::getenv(n); v && *v) return v;
    return {};
}

ServerDatabase::ServerDatabase(Engine engine) : engine_(engine)
{
    admin_ = serverConnection(engine);
    if (admin_.empty()) return;
    static int serial = 0;
    name_ = "dalv_import_" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
    db::Connection c;
    c.open(admin_);
    if (engine == Engine::MariaDB) c.execute("DROP DATABASE IF EXISTS " + name_);
    c.execute("CREATE DATABASE " + name_);
    conn_ = std::regex_replace(admin_, std::regex("(Database=)[^;]*", std::regex::icase), "$1" + name_);
}

ServerDatabase::~ServerDatabase()
{
    if (name_.empty()) return;
    try {
        db::Connection c;
        c.open(admin_);
        if (engine_ == Engine::PostgreSQL)
            c.execute("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + name_ + "'");
        c.execute("DROP DATABASE IF EXISTS " + name_);
    } catch (const db::Error&) {
    }
}

}  // namespace importtest
