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

const AppSchema kAppSchemas[3] = {
    {"SQLite",
     {"CREATE TABLE artist (ArtistId INTEGER PRIMARY KEY, Name NVARCHAR(120))",
      "CREATE TABLE album (AlbumId INTEGER PRIMARY KEY, Title NVARCHAR(160) NOT NULL, "
      "ArtistId INTEGER NOT NULL REFERENCES artist (ArtistId))",
      "CREATE TABLE track (TrackId INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT NOT NULL, code TEXT UNIQUE, "
      "AlbumId INTEGER REFERENCES album (AlbumId), Bytes UNSIGNED BIG INT, Lyrics BLOB SUB_TYPE TEXT, "
      "Price NUMERIC(10,2), Added DATETIME, Rating REAL, Cover BLOB, Misc)",
      "CREATE TABLE play (id INTEGER NOT NULL, created_at DATETIME NOT NULL, TrackId INTEGER REFERENCES track (TrackId), "
      "CONSTRAINT play_key PRIMARY KEY (created_at, id))",
      "CREATE UNIQUE INDEX artist_name ON artist (Name) WHERE ArtistId > 100",
      "CREATE UNIQUE INDEX album_title ON album (lower(Title), ArtistId)"},
     4},
    {"PostgreSQL",
     {"CREATE TYPE mood AS ENUM ('sad', 'ok', 'it''s very ok')",
      "CREATE DOMAIN price AS numeric(10,2) DEFAULT 0 NOT NULL CHECK (VALUE >= 0)", "CREATE SEQUENCE shared_seq",
      "CREATE TABLE customer (id integer DEFAULT nextval('shared_seq') PRIMARY KEY, name text NOT NULL, tags text[], "
      "scores real[], doc tsvector, meta jsonb, uid uuid, span interval, ip inet, cash money, pic bytea, m mood, "
      "seen timestamptz)",
      "CREATE TABLE supplier (id integer DEFAULT nextval('shared_seq') PRIMARY KEY, name varchar(80), m mood)",
      "CREATE TABLE orders (id bigserial, created_at timestamptz NOT NULL, customer_id integer REFERENCES customer, "
      "amount price, qty integer CONSTRAINT qty_positive CHECK (qty > 0), CONSTRAINT orders_key PRIMARY KEY (created_at, id))",
      "CREATE TABLE rate (id integer PRIMARY KEY, pay numeric)",
      "CREATE UNIQUE INDEX supplier_name ON supplier (name) WHERE m IS NULL",
      "CREATE UNIQUE INDEX customer_lower_name ON customer (lower(name))",
      "CREATE UNIQUE INDEX customer_uid ON customer (uid) INCLUDE (name, seen)",
      "CREATE UNIQUE INDEX supplier_name_m ON supplier (name, m) NULLS NOT DISTINCT"},
     4},
    {"MariaDB",
     {"CREATE TABLE cat (id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY, flag TINYINT(1) NOT NULL DEFAULT 0, "
      "level TINYINT, code SMALLINT UNSIGNED, big BIGINT UNSIGNED, body LONGTEXT, kind ENUM('a','bbb'), "
      "price DECIMAL(9,3) UNSIGNED CHECK (price < 1000))",
      "CREATE TABLE item (id INT NOT NULL, created_at DATETIME NOT NULL, cat_id INT UNSIGNED, "
      "PRIMARY KEY (created_at, id), FOREIGN KEY (cat_id) REFERENCES cat (id))",
      "CREATE TABLE analysis (analysis_id INT NOT NULL, note VARCHAR(200), UNIQUE KEY analysis_idx (analysis_id), "
      "UNIQUE KEY note_idx (note(20)))"},
     2},
};

std::string createAppSchema(const AppSchema& app, const std::string& sqliteFile, std::unique_ptr<ServerDatabase>& server)
{
    const std::string e = app.engine;
    std::string connection = "Driver=SQLite3;Database=" + sqliteFile;
    if (e != "SQLite") {
        server = std::make_unique<ServerDatabase>(e == "MariaDB" ? ServerDatabase::Engine::MariaDB
                                                                 : ServerDatabase::Engine::PostgreSQL);
        connection = server->connectionString();
        if (connection.empty()) return {};
    }
    db::Connection c;
    c.open(connection);
    for (const char* sql : app.sql) c.execute(sql);
    return connection;
}

}  // namespace importtest
