#include "platform/db/Value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using db::Value;

TEST(Value, TextFormsFollowThePlatform) {
    EXPECT_EQ(Value().toString(), "");
    EXPECT_EQ(Value(true).toString(), "True");
    EXPECT_EQ(Value(false).toString(), "False");
    EXPECT_EQ(Value(42).toString(), "42");
    EXPECT_EQ(Value(2.5).toString(), "2.5");
    EXPECT_EQ(Value(300000.0).toString(), "300000.0");
    EXPECT_EQ(Value(-0.30000000000000004).toString(), "-0.30000000000000004");
    EXPECT_EQ(Value(0.0001).toString(), "0.0001");
    EXPECT_EQ(Value(999999999999999.0).toString(), "999999999999999.0");
    EXPECT_EQ(Value(1e15).toString(), "1e+15");
    EXPECT_EQ(Value(1.5e-5).toString(), "1.5e-05");
    EXPECT_EQ(Value("x").toString(), "x");
}

// Each engine's numbers as its own client writes them (psql, mariadb, sqlite3).
TEST(Value, RealFormsFollowEachEnginesClient) {
    using db::RealForm;
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double d;
        const char *sqlite, *pg, *pgSingle, *mariadb;
    };
    for (const Case& c : std::initializer_list<Case>{
             {300000, "300000.0", "300000", "300000", "300000"},
             {0.1, "0.1", "0.1", "0.1", "0.1"},
             {-2.5, "-2.5", "-2.5", "-2.5", "-2.5"},
             {1e300, "1.0e+300", "1e+300", "1e+300", "1e300"},
             {-0.0, "-0.0", "-0", "-0", "0"},
             {1e15, "1.0e+15", "1e+15", "1e+15", "1e15"},
             {1e14, "100000000000000.0", "100000000000000", "1e+14", "100000000000000"},
             {1234567, "1234567.0", "1234567", "1.234567e+06", "1234567"},
             {1e-4, "0.0001", "0.0001", "0.0001", "0.0001"},
             {1e-5, "1.0e-05", "1e-05", "1e-05", "0.00001"},
             {1e-15, "1.0e-15", "1e-15", "1e-15", "0.000000000000001"},
             {-1.5e-16, "-1.5e-16", "-1.5e-16", "-1.5e-16", "-1.5e-16"},
             {0.30000000000000004, "0.30000000000000004", "0.30000000000000004", "0.30000000000000004",
              "0.30000000000000004"},
             {12345678901234567.0, "1.2345678901234568e+16", "1.2345678901234568e+16", "1.2345678901234568e+16",
              "1.2345678901234568e16"},
             {inf, "Inf", "Infinity", "Infinity", "inf"},
             {-inf, "-Inf", "-Infinity", "-Infinity", "-inf"},
         }) {
        SCOPED_TRACE(c.pg);
        EXPECT_EQ(db::realText(c.d, RealForm::SQLite), c.sqlite);
        EXPECT_EQ(db::realText(c.d, RealForm::PostgreSQL), c.pg);
        EXPECT_EQ(db::realText(c.d, RealForm::PostgreSQL, true), c.pgSingle);
        EXPECT_EQ(db::realText(c.d, RealForm::MariaDB), c.mariadb);
    }
    EXPECT_EQ(db::realText(std::nan(""), RealForm::PostgreSQL), "NaN");
    EXPECT_EQ(db::realFormOf("PostgreSQL"), RealForm::PostgreSQL);
    EXPECT_EQ(db::realFormOf("MariaDB"), RealForm::MariaDB);
    EXPECT_EQ(db::realFormOf("SQLite"), RealForm::SQLite);
    EXPECT_EQ(db::realFormOf("Microsoft SQL Server"), RealForm::Plain);
}

TEST(Value, NumericTests) {
    EXPECT_TRUE(Value(" 12 ").isNumeric());
    EXPECT_TRUE(Value("-1.5").isNumeric());
    EXPECT_FALSE(Value("12a").isNumeric());
    EXPECT_FALSE(Value("").isNumeric());
    EXPECT_FALSE(Value().isNumeric());
    EXPECT_TRUE(Value(true).isNumeric());
}

TEST(Value, Conversions) {
    bool ok = true;
    EXPECT_EQ(Value("17").toInt(&ok), 17);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Value("abc").toInt(&ok), 0);
    EXPECT_FALSE(ok);
    Value().toInt(&ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Value(true).toInt(), -1);
    EXPECT_TRUE(Value("TRUE").toBool(&ok));
    EXPECT_TRUE(ok);
    EXPECT_FALSE(Value("0").toBool());
    EXPECT_TRUE(Value(-1).toBool());
    Value("maybe").toBool(&ok);
    EXPECT_FALSE(ok);
}

TEST(Value, EqualityAcrossNumbersFollowsTheBoolean) {
    EXPECT_TRUE(Value(true) == Value(-1));
    EXPECT_FALSE(Value(true) == Value(1));
    EXPECT_TRUE(Value(2) == Value(2.0));
    EXPECT_FALSE(Value("1") == Value(1));
    EXPECT_TRUE(Value() == Value());
    EXPECT_FALSE(Value() == Value(""));
}
