#include "platform/jet/Jet.h"
#include "platform/jet/ReaderProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <stdexcept>
#include <thread>

namespace {

std::string fixture(const std::string& name) { return testsupport::fixturePath("access/" + name); }

const jet::Query& query(const std::vector<jet::Query>& all, const std::string& name)
{
    for (const auto& q : all)
        if (q.name == name) return q;
    throw std::runtime_error("no query " + name);
}

// A workgroup password as MSysAccounts keeps it: the bytes given, padded with zeros to size,
// under two-key triple DES (EDE) in ECB mode with the keys "kjhggaut" and "nitremvk".
std::string enciphered(std::string plain, std::size_t size)
{
    static const unsigned char key[] = "kjhggautnitremvk";
    plain.resize(size, '\0');
    std::string out(size + 8, '\0');
    int n = 0, tail = 0;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_des_ede_ecb(), nullptr, key, nullptr);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &n,
                      reinterpret_cast<const unsigned char*>(plain.data()), static_cast<int>(size));
    EVP_EncryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(out.data()) + n, &tail);
    EVP_CIPHER_CTX_free(ctx);
    out.resize(static_cast<std::size_t>(n + tail));
    return out;
}

}  // namespace

// Saved queries come back as Access writes them: nested joins, aliases, aggregates, parameters,
// TOP, a union and a crosstab.
TEST(Jet, SavedQuerySqlIsRebuiltWhole)
{
    jet::Database db(fixture("nwind.mdb"), "");
    const auto queries = db.Queries();
    EXPECT_EQ(queries.size(), 22u);
    const std::map<std::string, std::string> expected = {
        {"Current Product List",
         "SELECT [Product List].ProductID, [Product List].ProductName\r\n"
         "FROM Products AS [Product List]\r\n"
         "WHERE ((([Product List].Discontinued)=No))\r\n"
         "ORDER BY [Product List].ProductName;\r\n"},
        {"Customers and Suppliers by City",
         "SELECT City, CompanyName, ContactName, \"Customers\" AS [Relationship]\r\n"
         "FROM Customers\r\n"
         "UNION SELECT City, CompanyName, ContactName, \"Suppliers\"\r\n"
         "FROM Suppliers\r\n"
         "ORDER BY City, CompanyName;\r\n"},
        {"Employee Sales by Country",
         "PARAMETERS [Beginning Date] DateTime, [Ending Date] DateTime;\r\n"
         "SELECT DISTINCTROW Employees.Country, Employees.LastName, Employees.FirstName, Orders.ShippedDate, "
         "Orders.OrderID, [Order Subtotals].Subtotal AS SaleAmount\r\n"
         "FROM Employees INNER JOIN (Orders INNER JOIN [Order Subtotals] ON Orders.OrderID = "
         "[Order Subtotals].OrderID) ON Employees.EmployeeID = Orders.EmployeeID\r\n"
         "WHERE (((Orders.ShippedDate) Between [Beginning Date] And [Ending Date]));\r\n"},
        {"Order Subtotals",
         "SELECT DISTINCTROW [Order Details].OrderID, Sum(CCur([UnitPrice]*[Quantity]*(1-[Discount])/100)*100) "
         "AS Subtotal\r\n"
         "FROM [Order Details]\r\n"
         "GROUP BY [Order Details].OrderID;\r\n"},
        {"Quarterly Orders",
         "SELECT DISTINCTROW Customers.CustomerID, Customers.CompanyName, Customers.City, Customers.Country\r\n"
         "FROM Customers RIGHT JOIN Orders ON Customers.CustomerID = Orders.CustomerID\r\n"
         "WHERE (((Orders.OrderDate) Between #1/1/95# And #12/31/95#));\r\n"},
        {"Quarterly Orders by Product",
         "TRANSFORM Sum(CCur([Order Details].[UnitPrice]*[Quantity]*(1-[Discount])/100)*100) AS ProductAmount\r\n"
         "SELECT DISTINCTROW Products.ProductName, Orders.CustomerID, Year([OrderDate]) AS OrderYear\r\n"
         "FROM Products INNER JOIN (Orders INNER JOIN [Order Details] ON Orders.OrderID = [Order Details].OrderID) "
         "ON Products.ProductID = [Order Details].ProductID\r\n"
         "WHERE (((Orders.OrderDate) Between #1/1/95# And #12/31/95#))\r\n"
         "GROUP BY Products.ProductName, Orders.CustomerID, Year([OrderDate])\r\n"
         "PIVOT \"Qtr \" & DatePart(\"q\",[OrderDate],1,0) In (\"Qtr 1\",\"Qtr 2\",\"Qtr 3\",\"Qtr 4\");\r\n"},
        {"Sales by Category",
         "SELECT DISTINCTROW Categories.CategoryID, Categories.CategoryName, Products.ProductName, "
         "Sum([Order Details Extended].ExtendedPrice) AS ProductSales\r\n"
         "FROM Categories INNER JOIN (Products INNER JOIN (Orders INNER JOIN [Order Details Extended] ON "
         "Orders.OrderID = [Order Details Extended].OrderID) ON Products.ProductID = "
         "[Order Details Extended].ProductID) ON Categories.CategoryID = Products.CategoryID\r\n"
         "WHERE (((Orders.OrderDate) Between #1/1/95# And #12/31/95#))\r\n"
         "GROUP BY Categories.CategoryID, Categories.CategoryName, Products.ProductName\r\n"
         "ORDER BY Products.ProductName;\r\n"},
        {"Ten Most Expensive Products",
         "SELECT DISTINCTROW TOP 10 Products.ProductName AS TenMostExpensiveProducts, Products.UnitPrice\r\n"
         "FROM Products\r\n"
         "ORDER BY Products.UnitPrice DESC;\r\n"},
    };
    for (const auto& [name, sql] : expected) EXPECT_EQ(query(queries, name).sql, sql) << name;
    EXPECT_EQ(query(queries, "Quarterly Orders by Product").type, jet::CrosstabQuery);
    EXPECT_TRUE(query(queries, "Employee Sales by Country").hasParameters);
    EXPECT_FALSE(query(queries, "Order Subtotals").hasParameters);
}

// Query kinds the fixtures lack, in the rows Access stores for them: the value column of an
// update or append in Name2, whole statements in the type row, a union known only from its
// MSysObjects flags; and queries whose rows cannot make SQL say why instead.
TEST(Jet, EveryQueryKindRebuildsOrSaysWhyNot)
{
    const auto row = [](int attribute, std::string name1, std::string name2, std::string expression, long flag = 0) {
        return jet::QueryRow{attribute, "", std::move(name1), std::move(name2), std::move(expression), true, flag};
    };
    const std::vector<std::pair<std::vector<jet::QueryRow>, std::string>> cases = {
        {{row(1, "", "", "", 4), row(5, "Table1", "", ""), row(6, "", "Table1.Name 2", "\"foo\""),
          row(6, "", "Total", "[Total]+1"), row(8, "", "", "(((Table1.ID)=3))")},
         "UPDATE Table1 SET Table1.[Name 2] = \"foo\", Total = [Total]+1\r\nWHERE (((Table1.ID)=3));\r\n"},
        {{row(1, "Archive", "", "", 3), row(5, "Orders", "", ""), row(6, "", "OrderID", "Orders.OrderID")},
         "INSERT INTO Archive ( OrderID )\r\nSELECT Orders.OrderID\r\nFROM Orders;\r\n"},
        {{row(1, "", "", "CREATE TABLE t (a LONG);", 7)}, "CREATE TABLE t (a LONG);\r\n"},
        {{row(1, "ODBC;DSN=x", "", "SELECT 1\nFROM dual", 8)}, "SELECT 1\r\nFROM dual;\r\n"},
        {{row(5, "", "X7YZ_____1", "SELECT a FROM t1"), row(5, "", "X7YZ_____2", "SELECT b FROM t2")},
         "SELECT a FROM t1\r\nUNION ALL SELECT b FROM t2;\r\n"},
        {{row(1, "", "", "", 9), row(5, "", "X7YZ_____1", "SELECT a")}, "the union has fewer than two parts"},
        {{row(1, "", "", "", 4), row(5, "T", "", ""), row(6, "", "", "1")}, "a value it sets has no column or no value"},
        {{row(1, "", "", "", 7)}, "its statement text is missing"},
        {{row(5, "a", "", ""), row(6, "", "", "a.x"), row(7, "a", "b", "a.id = b.id", 1)},
         "a join names \"b\", which the query does not read"},
    };
    for (const auto& [rows, expected] : cases) {
        const jet::Query q = jet::RebuildQuery(rows, rows[0].attribute == 5 && rows[0].name1.empty() ? 128 : 0);
        EXPECT_EQ(q.problem.empty() ? q.sql : q.problem, expected);
    }
    EXPECT_EQ(jet::RebuildQuery(cases[4].first).problem, "it selects no columns");

    // Jet 4 rows: one union part holding the whole union, parts stored out of order, and a type
    // row whose flag is no type, where MSysObjects names a data-definition query (96).
    const auto sqlOf = [](const std::vector<jet::QueryRow>& rows, std::uint32_t flags) {
        const jet::Query q = jet::RebuildQuery(rows, flags);
        return q.problem.empty() ? q.sql : q.problem;
    };
    EXPECT_EQ(sqlOf({row(1, "", "", "", 9), row(3, "", "", "", 3),
                     row(5, "", "X7YZ_____1", "SELECT a FROM t1 UNION SELECT b FROM [t 2] "), row(11, "", "", "a")},
                    128),
              "SELECT a FROM t1 UNION SELECT b FROM [t 2]\r\nORDER BY a;\r\n");
    EXPECT_EQ(sqlOf({row(1, "", "", "", 9), row(5, "", "X7YZ_____2", "SELECT b FROM t2"),
                     row(5, "", "X7YZ_____1", "SELECT a FROM t1")},
                    128),
              "SELECT a FROM t1\r\nUNION ALL SELECT b FROM t2;\r\n");
    EXPECT_EQ(sqlOf({row(1, "", "", "SELECT '(union)' AS x", 9)}, 128), "the union has fewer than two parts");
    EXPECT_EQ(sqlOf({row(1, "", "", "DROP TABLE t", 0)}, 96), "DROP TABLE t;\r\n");

    // An update query's parameter named in Name1 or, beside its columns, in Name2; one without
    // a name cannot be declared.
    const std::string update = "UPDATE Table1 SET Table1.col1 = [User Name];\r\n";
    for (const auto& parameter : {row(2, "User Name", "", "", 10), row(2, "", "User Name", "", 10)})
        EXPECT_EQ(sqlOf({row(1, "", "", "", 4), parameter, row(5, "Table1", "", ""),
                         row(6, "", "Table1.col1", "[User Name]")},
                        48),
                  "PARAMETERS [User Name] Text;\r\n" + update);
    EXPECT_EQ(sqlOf({row(2, "", "", "", 10), row(5, "T", "", ""), row(6, "", "", "1")}, 0), "a parameter has no name");
}

// Every saved query of the three files rebuilds (the ACCDB keeps no type rows: its types come
// from MSysObjects); the rights of the built-in accounts are read from MSysACEs whether the
// SIDs are stored plain (Jet 3) or masked; a hyperlink memo is told by its column flags.
TEST(Jet, QueriesRightsAndHyperlinksOfEveryFile)
{
    std::vector<std::string> hyperlinks;
    for (const std::string file : {"nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"}) {
        jet::Database db(fixture(file), "");
        for (const jet::Query& q : db.Queries())
            EXPECT_NE(q.sql.find("\r\nFROM "), std::string::npos) << file << ": " << q.name << ": " << q.problem;
        // Users may read the catalogue, admin only read and change its permissions; the Admins
        // group's long SID is named by its workgroup file only.
        std::map<std::string, std::uint32_t> rights;
        for (const jet::AccessEntry& e : db.Permissions())
            if (e.objectName == "MSysObjects") rights[db.BuiltInAccount(e.sid)] = e.sid.size() > 2 ? 1 : e.mask;
        EXPECT_EQ(rights, (std::map<std::string, std::uint32_t>{{"", 1}, {"Users", jet::ReadData}, {"admin", 0x60000}}))
            << file;
        for (const jet::Table& t : db.Tables())
            for (const jet::Field& f : db.ReadTable(t.name).fields)
                if (f.hyperlink) hyperlinks.push_back(file + ": " + t.name + "." + f.name);
    }
    EXPECT_EQ(hyperlinks, std::vector<std::string>{"nwind.mdb: Suppliers.HomePage"});

    // The default workgroup file: its own signature, RC4-encoded pages, and admin's empty
    // password kept enciphered; a password longer than the 20 characters kept is never it.
    jet::Database system(fixture("System.mdw"), "");
    EXPECT_TRUE(system.header().workgroup && system.header().key != 0);
    const jet::Account admin = system.Accounts().back();
    EXPECT_TRUE(jet::PasswordMatches(admin.password, "", system.header()) && admin.name == "admin");
    EXPECT_FALSE(jet::PasswordMatches(admin.password, std::string(21, '\0'), system.header()));

    // A Jet 3 workgroup keeps 16 bytes in its code page: the byte FC is "ü" in 1252 (also when
    // the file names none) and "ь" in 1251; a 16-character password fills both blocks, a 17th
    // character never fits, and a Jet 4 file reads the same bytes as UTF-16 in 40.
    jet::Header jet3;
    jet3.version = 0;
    const std::string mueller = enciphered("M\xFCller", 16);
    EXPECT_TRUE(jet::PasswordMatches(mueller, "Müller", jet3));
    jet3.codePage = 1252;
    EXPECT_TRUE(jet::PasswordMatches(mueller, "Müller", jet3));
    EXPECT_FALSE(jet::PasswordMatches(mueller, "müller", jet3));
    jet3.codePage = 1251;
    EXPECT_TRUE(jet::PasswordMatches(mueller, "Mьller", jet3));
    EXPECT_FALSE(jet::PasswordMatches(mueller, "Müller", jet3));
    EXPECT_TRUE(jet::PasswordMatches(enciphered("0123456789abcdef", 16), "0123456789abcdef", jet3));
    EXPECT_FALSE(jet::PasswordMatches(enciphered("0123456789abcdef", 16), "0123456789abcdefg", jet3));
    jet::Header jet4;
    jet4.version = 1;
    EXPECT_FALSE(jet::PasswordMatches(mueller, "Müller", jet4));
    EXPECT_TRUE(jet::PasswordMatches(enciphered(std::string("M\0\xFC\0l\0l\0e\0r\0", 12), 40), "Müller", jet4));
}

// The database password is read from the masked header of Jet 3 and Jet 4 files and a wrong one
// is refused; a password-protected ACCDB is named as such; damaged files fail with a reason.
TEST(Jet, HeaderPasswordAndDamagedFiles)
{
    testsupport::TempDir dir;
    for (const char* name : {"nwind.mdb", "DateTestDatabase.mdb", "ASampleDatabase.accdb"})
        EXPECT_EQ(jet::ReadHeader(fixture(name)).password, "") << name;
    EXPECT_EQ(jet::ReadHeader(fixture("nwind.mdb")).version, 0);
    EXPECT_EQ(jet::ReadHeader(fixture("DateTestDatabase.mdb")).version, 1);

    const std::string jet3 = testsupport::accessCopy(dir, "nwind.mdb");
    const std::string jet4 = testsupport::accessCopy(dir, "DateTestDatabase.mdb");
    const std::string ace = testsupport::accessCopy(dir, "ASampleDatabase.accdb");
    testsupport::setAccessPassword(jet3, "Sesam3", false);
    testsupport::setAccessPassword(jet4, "Sesam4", true);
    testsupport::setAccessPassword(ace, "Sesam5", true);
    EXPECT_EQ(jet::ReadHeader(jet3).password, "Sesam3");
    EXPECT_EQ(jet::ReadHeader(jet4).password, "Sesam4");

    auto kindOf = [](const std::string& path, const std::string& password) {
        try {
            jet::Database db(path, password);
            return -1;
        } catch (const jet::Error& e) {
            return static_cast<int>(e.kind());
        }
    };
    EXPECT_EQ(kindOf(jet3, "Sesam3"), -1);
    EXPECT_EQ(kindOf(jet4, "Sesam4"), -1);
    EXPECT_EQ(kindOf(jet3, ""), jet::Error::WrongPassword);
    EXPECT_EQ(kindOf(jet4, "sesam4"), jet::Error::WrongPassword);  // passwords are case-sensitive
    EXPECT_EQ(kindOf(ace, "Sesam5"), jet::Error::EncryptedAccdb);
    // Pages after the header turned to noise, as encryption leaves them: named as such.
    const std::string scrambled = testsupport::accessCopy(dir, "ASampleDatabase.accdb", "scrambled.accdb");
    {
        std::fstream f(scrambled, std::ios::in | std::ios::out | std::ios::binary);
        std::string rest((std::istreambuf_iterator<char>(f)), {});
        for (std::size_t i = 4096; i < rest.size(); ++i) rest[i] = static_cast<char>(rest[i] ^ (0x5A + i % 7));
        f.seekp(0);
        f.write(rest.data(), static_cast<std::streamsize>(rest.size()));
    }
    EXPECT_EQ(kindOf(scrambled, ""), jet::Error::EncryptedAccdb);
    EXPECT_EQ(jet::Database(jet4, "Sesam4").Tables().front().name, "DateTest");

    // Cut after the header page: the catalogue cannot be read.
    const std::string cut = dir.file("cut.mdb");
    std::filesystem::copy_file(fixture("nwind.mdb"), cut);
    std::filesystem::resize_file(cut, 4096);
    EXPECT_EQ(kindOf(cut, ""), jet::Error::Unreadable);
    const std::string text = dir.file("notes.mdb");
    std::ofstream(text) << "not a database at all, but long enough to hold a header page........."
                           "......................................................................"
                           "......................................................................"
                           "......................................................................";
    EXPECT_EQ(kindOf(text, ""), jet::Error::NotADatabase);
    EXPECT_EQ(kindOf(dir.file("absent.mdb"), ""), jet::Error::NotFound);
    // A FIFO is refused at once instead of blocking the read.
    const std::string fifo = dir.file("pipe.mdb");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(kindOf(fifo, ""), jet::Error::NotADatabase);

    // Damaged files fail as damaged, on opening or at the table with pages gone; a part that is
    // not a table (properties, relationships, queries) fails alone or is left out with a warning.
    // Besides the damaged fixtures, single bytes changed where libmdb reads on without a word: an
    // index name's length in a table definition, a column's place in the row, a row offset of a
    // catalogue page, a name's length in a property list, the null mask and a type of catalogue
    // rows, a relationship's column, the type of MSysObjects.DateCreate, a text column's length
    // and a column's type.
    struct Damage {
        std::string file;
        std::size_t at = 0;
        char byte = 0;
        std::string expected;
        bool refused = true;  // else expected among the warnings
    };
    const std::vector<Damage> damage = {
        {"damaged/truncated.mdb", 0, 0, "damaged and cannot be read: rows of MSysRelationships are missing"},
        {"damaged/truncated.mdb", 0, 0, "the properties of the table \"DateTest\" are missing", false},
        {"damaged/zeroed-map-page.mdb", 0, 0, "cannot be read; the file is damaged"},
        {"damaged/zeroed-catalogue-page.mdb", 0, 0, "cannot be read; the file is damaged"},
        {"nwind.mdb", 94 * 2048 + 722, 0x04, "the definition of the table \"Employees\" does not take the length it records"},
        {"nwind.mdb", 4 * 2048 + 173, 0x01, "the saved queries cannot be read (\"", false},
        {"nwind.mdb", 22 * 2048 + 47, 0x01, "cannot be read; the file is damaged"},
        {"DateTestDatabase.mdb", 36 * 4096 + 1414, 0x2A, "the properties of the table \"DateTest\" are damaged", false},
        {"nwind.mdb", 548 * 2048 + 1844, 0x00, "a row of MSysObjects has no Id, name or type"},
        {"nwind.mdb", 22 * 2048 + 167, 0x05, "the catalogue row of \"Shippers\" has the type 5, which does not go with its Id"},
        {"nwind.mdb", 2 * 2048 + 131, 0x0F, "cannot be read; the file is damaged"},
        {"nwind.mdb", 591 * 2048 + 1573, 'T', "\"SuppliersProducts\" names a table or column the file lacks", false},
        {"nwind.mdb", 23 * 2048 + 94, char(0x80), "gives the column \"CategoryName\" a length of 32783 characters"},
        {"nwind.mdb", 23 * 2048 + 95, 0x0E, "gives the column \"Description\" the type 14, which Jet does not have"},
        {"nwind.mdb", 23 * 2048 + 95, 0x13, "\"Description\" of the table \"Categories\" has a type (19)", false}};
    std::size_t copies = 0;
    const auto changed = [&](const std::string& file, std::size_t at, char byte) {
        const std::string path = testsupport::accessCopy(dir, file, "changed-" + std::to_string(++copies) + ".mdb");
        if (at == 0) return path;
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(at));
        f.put(byte);
        return path;
    };
    for (const auto& [file, at, byte, expected, refused] : damage) {
        const std::string name = file + " at " + std::to_string(at);
        const std::string path = changed(file, at, byte);
        std::string error, warnings;
        try {
            jet::Database db(path, "");
            for (const jet::Table& t : db.Tables())
                if (!t.system()) db.ReadTable(t.name);
            for (const std::string& w : db.Warnings()) warnings += w + "\n";
            db.Queries();
            db.Relations();
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), jet::Error::Unreadable) << name;
            error = e.what();
        }
        EXPECT_NE((refused ? error : warnings).find(expected), std::string::npos) << name << ": " << error << warnings;
    }
    // A row count kept short in MSysQueries' definition (318 rows) hides none of its rows.
    const auto sqlOf = [](const std::string& path) {
        std::vector<std::string> sql;
        for (const jet::Query& q : jet::Database(path, "").Queries()) sql.push_back(q.sql);
        return sql;
    };
    EXPECT_EQ(sqlOf(changed("nwind.mdb", 4 * 2048 + 0x0C, 0x3D)), sqlOf(fixture("nwind.mdb")));
}

// The reader program: readers opened beside a thread holding allocator and stderr locks read whole;
// a property list whose pages loop onto themselves ends it at its memory limit, named.
TEST(Jet, ReaderProgramBesideBusyThreadsAndAtItsMemoryLimit)
{
    testsupport::TempDir dir;
    const std::string file = testsupport::accessCopy(dir, "DateTestDatabase.mdb");
    std::atomic<bool> done{false};
    std::thread busy([&] {
        for (std::vector<std::string> kept; !done; kept.size() == 64 ? kept.clear() : void(), std::fputs("", stderr))
            kept.emplace_back(512, 'x');
    });
    std::vector<std::future<std::string>> readers;
    for (int i = 0; i < 4; ++i)
        readers.push_back(std::async(std::launch::async, [&] { return jet::Database(file, "").ReadTable("DateTest").name; }));
    for (auto& r : readers) EXPECT_EQ(r.get(), "DateTest");
    done = true, busy.join();

    const std::string looped = testsupport::accessCopy(dir, "ASampleDatabase.accdb", "looped.accdb");
    std::fstream(looped, std::ios::in | std::ios::out | std::ios::binary).seekp(106 * 4096 + 21).put('\x6A');
    FILE* reader = ::popen(("timeout -s KILL 60 " DALV_BIN_DIR "/" + std::string(jet::ReaderProgramName) + " '" + looped + "' 48").c_str(), "r");
    ASSERT_NE(reader, nullptr);
    std::string reply(65536, '\0');
    reply.resize(std::fread(reply.data(), 1, reply.size(), reader));
    EXPECT_EQ(::pclose(reader), 0);
    EXPECT_NE(reply.find("damaged and cannot be read: reading its catalogue needed more than 48 MiB of memory"), std::string::npos);
}
