#include "platform/db/Connection.h"
#include "platform/db/ConnectionString.h"

#include <gtest/gtest.h>

using namespace db;

namespace {

long errorNumberOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

}  // namespace

TEST(ConnectionString, ParsesQuotedAndBracedValues) {
    auto p = parseConnectionString(
        " Provider = SQLOLEDB ; Data Source=srv ;Password=\"a;b=\"\"c\"\"\";User Id='it''s';Extended Properties={x;}}y};;");
    ASSERT_EQ(p.size(), 5u);
    EXPECT_EQ(parameterValue(p, "provider"), "SQLOLEDB");
    EXPECT_EQ(parameterValue(p, "DATA SOURCE"), "srv");
    EXPECT_EQ(parameterValue(p, "Password"), "a;b=\"c\"");
    EXPECT_EQ(parameterValue(p, "User Id"), "it's");
    EXPECT_EQ(parameterValue(p, "Extended Properties"), "x;}y");
    EXPECT_EQ(parameterValue(p, "Missing"), "");
}

TEST(ConnectionString, RepeatedKeywordKeepsLastValueInFirstPlace) {
    auto p = parseConnectionString("A=1;B=2;a=3");
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].first, "A");
    EXPECT_EQ(p[0].second, "3");
}

TEST(ConnectionString, MalformedTextIsRefused) {
    EXPECT_EQ(errorNumberOf([] { parseConnectionString("Password=\"open"); }), err::ArgumentsWrong);
    EXPECT_EQ(errorNumberOf([] { parseConnectionString("Data Source"); }), err::ArgumentsWrong);
    EXPECT_EQ(errorNumberOf([] { parseConnectionString("=x"); }), err::ArgumentsWrong);
    EXPECT_EQ(errorNumberOf([] { parseConnectionString("A='x'y"); }), err::ArgumentsWrong);
}

TEST(ConnectionString, BuildQuotesValuesSoTheyRoundTrip) {
    ConnectionParameters in = {{"Data Source", "srv"}, {"Empty", ""}, {"Password", "p;Provider=evil"},
                               {"User Id", "say \"hi\""}, {"X", "both ' and \""}, {"Y", " padded "}};
    const std::string s = buildConnectionString(in);
    EXPECT_EQ(s.find("Empty"), std::string::npos);
    auto out = parseConnectionString(s);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(parameterValue(out, "Password"), "p;Provider=evil");
    EXPECT_EQ(parameterValue(out, "Provider"), "");
    EXPECT_EQ(parameterValue(out, "User Id"), "say \"hi\"");
    EXPECT_EQ(parameterValue(out, "X"), "both ' and \"");
    EXPECT_EQ(parameterValue(out, "Y"), " padded ");
    EXPECT_EQ(quoteConnectionValue("plain"), "plain");
    // Written to a file: no secret, braced values and inner strings included; unreadable text not at all.
    EXPECT_EQ(withoutSecrets("Driver=x;PWD={a;b}};c};Jet OLEDB:System Database=s;Extended Properties='DSN=d;Pwd=q'"),
              "Driver=x;Jet OLEDB:System Database=s;Extended Properties=\"DSN=d\"");
    EXPECT_EQ(withoutSecrets("Password=\"open"), "");
}

TEST(ConnectionString, OdbcQuoting) {
    EXPECT_EQ(odbcQuote("plain value"), "plain value");
    EXPECT_EQ(odbcQuote("a;b"), "{a;b}");
    EXPECT_EQ(odbcQuote("x}y"), "{x}}y}");
    EXPECT_EQ(odbcQuote(" lead"), "{ lead}");
}

TEST(ConnectionString, SqlServerProviderBecomesFreeTds) {
    const std::string s = toOdbcConnectionString(
        "Provider=SQLOLEDB.1;Data Source=db.example,1444;Initial Catalog=shop;User Id=sa;"
        "Password=\"x;Driver=evil\";Integrated Security=SSPI;Persist Security Info=False");
    auto p = parseConnectionString(s);
    EXPECT_EQ(parameterValue(p, "Driver"), "FreeTDS");
    EXPECT_EQ(parameterValue(p, "Server"), "db.example");
    EXPECT_EQ(parameterValue(p, "Port"), "1444");
    EXPECT_EQ(parameterValue(p, "Database"), "shop");
    EXPECT_EQ(parameterValue(p, "UID"), "sa");
    EXPECT_EQ(parameterValue(p, "PWD"), "x;Driver=evil");
    EXPECT_EQ(parameterValue(p, "Trusted_Connection"), "Yes");
    EXPECT_EQ(parameterValue(p, "Persist Security Info"), "");
}

TEST(ConnectionString, ExplicitUserAndPasswordReplaceTheStrings) {
    auto p = parseConnectionString(toOdbcConnectionString("Provider=SQLOLEDB;Data Source=s;User Id=a;Password=b", "u", "p}w"));
    EXPECT_EQ(parameterValue(p, "UID"), "u");
    EXPECT_EQ(parameterValue(p, "PWD"), "p}w");
}

TEST(ConnectionString, JetPathWithSemicolonNeedsQuotes) {
    EXPECT_EQ(errorNumberOf([] {
                  toOdbcConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/my shop;v1.mdb");
              }),
              err::ArgumentsWrong);
    auto p = parseConnectionString(
        toOdbcConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/data/my shop;v1.mdb\";"
                               "Jet OLEDB:Database Password=x;User Id=Admin"));
    EXPECT_EQ(parameterValue(p, "Driver"), "MDBTools");
    EXPECT_EQ(parameterValue(p, "DBQ"), "/data/my shop;v1.mdb");
    EXPECT_EQ(p.size(), 2u);
}

TEST(ConnectionString, MissingDriversAndProvidersGive3706) {
    EXPECT_EQ(errorNumberOf([] { toOdbcConnectionString("Provider=MSDAORA;Data Source=orcl;User Id=scott"); }),
              err::ProviderNotFound);
    EXPECT_EQ(errorNumberOf([] { toOdbcConnectionString("Provider=IBMDADB2;Data Source=sample"); }),
              err::ProviderNotFound);
    EXPECT_EQ(errorNumberOf([] { toOdbcConnectionString("Provider=NoSuch.Provider;Data Source=x"); }),
              err::ProviderNotFound);
    EXPECT_EQ(errorNumberOf([] { toOdbcConnectionString("Driver={No Such Driver};Database=x"); }),
              err::ProviderNotFound);
    try {
        toOdbcConnectionString("Provider=OraOLEDB.Oracle;Data Source=orcl");
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("Oracle"), std::string::npos);
    }
}

TEST(ConnectionString, OdbcStringsPassThroughRequoted) {
    auto p = parseConnectionString(toOdbcConnectionString("Driver={SQLite3};Database=/tmp/a=b.db"));
    EXPECT_EQ(parameterValue(p, "Driver"), "SQLite3");
    EXPECT_EQ(parameterValue(p, "Database"), "/tmp/a=b.db");
    auto q = parseConnectionString(toOdbcConnectionString("Provider=MSDASQL;Data Source=MyDsn;User Id=u;Password=p"));
    EXPECT_EQ(parameterValue(q, "DSN"), "MyDsn");
    EXPECT_EQ(parameterValue(q, "UID"), "u");
    EXPECT_EQ(parameterValue(q, "PWD"), "p");
    auto x = parseConnectionString(
        toOdbcConnectionString("Provider=MSDASQL;Extended Properties=\"Driver={SQLite3};Database=/tmp/x.db\""));
    EXPECT_EQ(parameterValue(x, "Driver"), "SQLite3");
    EXPECT_EQ(parameterValue(x, "Database"), "/tmp/x.db");
}

TEST(ConnectionString, ValuesTheSqliteDriverCannotReadAreRefused) {
    // The SQLite drivers read no quoting: a ';' would start a new keyword.
    EXPECT_EQ(errorNumberOf([] { toOdbcConnectionString("Driver=SQLite3;Database=\"/tmp/a;b.db\""); }),
              err::ArgumentsWrong);
    EXPECT_EQ(errorNumberOf([] { toOdbcConnectionString("Driver=SQLite3;Database=\"/tmp/a}b.db\""); }),
              err::ArgumentsWrong);
    EXPECT_EQ(toOdbcConnectionString("Driver={SQLite3};Database=/tmp/a=b.db"), "Driver=SQLite3;Database=/tmp/a=b.db");
}

TEST(ConnectionString, KeywordsThatCouldDelimitAreRefused) {
    EXPECT_EQ(errorNumberOf([] { toOdbcConnectionString("Provider=SQLOLEDB;Data Source=s;Odd{Key=1"); }),
              err::ArgumentsWrong);
}

TEST(Connection, OpenFailuresAreReportedNotSwallowed) {
    Connection c;
    EXPECT_EQ(errorNumberOf([&] { c.open("Provider=MSDAORA;Data Source=orcl"); }), err::ProviderNotFound);
    EXPECT_FALSE(c.isOpen());
    EXPECT_EQ(errorNumberOf([&] { c.execute("select 1"); }), err::InvalidConnection);
    EXPECT_EQ(errorNumberOf([&] { c.openSchema(adSchemaTables); }), err::InvalidConnection);
}
