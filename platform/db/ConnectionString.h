// Connection strings: the keyword=value form kept in the option documents ("Provider=...;
// Data Source=...;Initial Catalog=...;User Id=...;Password=...") and its translation into an
// ODBC connection string for unixODBC.
//
// Parsing rules: pairs are separated by ';'; keywords are trimmed and compared without regard
// to case; a value is trimmed and may be quoted with "..." or '...' (the quote doubled inside
// stands for itself) or, ODBC style, with {...} ('}}' stands for '}'), so that it can hold
// ';', '=' and quotes. A keyword repeated later replaces the earlier value.
//
// Translation by provider (Provider keyword, case-insensitive):
//   SQLOLEDB, SQLNCLI*, MSOLEDBSQL*      -> FreeTDS driver: Server (and Port from "host,port"),
//                                           Database, UID, PWD, Trusted_Connection, ClientCharset=UTF-8
//   Microsoft.Jet.OLEDB.*, Microsoft.ACE.OLEDB.* -> MDBTools driver: DBQ (Data Source)
//   MSDAORA, OraOLEDB.Oracle             -> an installed ODBC driver whose name holds "Oracle"
//   IBMDADB2*                            -> an installed ODBC driver whose name holds "DB2"
//   MSDASQL or no Provider               -> the pairs are ODBC already ("Data Source" = DSN;
//                                           "Extended Properties" is merged in)
// A string with Driver, DSN or FILEDSN and no Provider is taken as ODBC. Every value in the
// result is quoted as the target driver needs; a value that cannot be carried safely is
// refused, never passed on to be read as further keywords.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace db {

using ConnectionParameters = std::vector<std::pair<std::string, std::string>>;

// Splits a connection string into its pairs (last value of a repeated keyword wins, kept in the
// place of its first occurrence). Throws db::Error(err::ArgumentsWrong) on an unterminated quote
// or a pair without '='.
ConnectionParameters parseConnectionString(std::string_view text);

// Value of a keyword (case-insensitive), "" when absent.
std::string parameterValue(const ConnectionParameters& params, std::string_view keyword);

// Whether a keyword's value is a secret: keywords holding "pwd", "pass", "secret" or "token"
// (PWD, Password, Jet OLEDB:Database Password, ...). The one rule for every place that shows or
// writes connection options.
bool isSecretKeyword(std::string_view keyword);

// The connection string fit to be shown: every secret value replaced by "****". A string that
// does not parse is not shown at all.
std::string withoutPasswords(std::string_view connectionString);

// The connection string fit to be written to a file: the pairs holding secrets left out. ""
// when the string does not parse.
std::string withoutSecrets(std::string_view connectionString);

// The database a connection string names: Database, Initial Catalog, DBQ, Data Source or DSN,
// a file path reduced to its base name. "" when it names none or cannot be read.
std::string databaseNameOf(std::string_view connectionString);

// The database file of a connection string whose driver opens a file and would create a missing
// one (SQLite), when that file does not exist; "" otherwise.
std::string missingDatabaseFile(std::string_view connectionString);

// Quotes one value for the keyword=value form: unchanged when it needs no quotes, else in
// double quotes (or single quotes when it holds double ones), the quote doubled inside.
std::string quoteConnectionValue(std::string_view value);

// Joins pairs into "Name=Value;Name=Value", quoting values that need it and leaving out pairs
// with an empty value.
std::string buildConnectionString(const ConnectionParameters& params);

// Quotes one value for an ODBC string: {value} with '}' doubled when it holds any of ; { } =
// or blanks at its ends, else unchanged.
std::string odbcQuote(std::string_view value);

// The ODBC connection string for a connection string of either form. userId and password,
// when not empty, replace the string's own. Throws db::Error(err::ProviderNotFound) when the
// provider is unknown or its ODBC driver is not installed (the message names the driver).
std::string toOdbcConnectionString(std::string_view connectionString, std::string_view userId = {},
                                   std::string_view password = {});

// The ODBC driver a connection string reaches: its Driver, or the driver of its data source;
// "" when it names neither or cannot be read.
std::string odbcDriverOf(std::string_view connectionString);

// Names of the installed ODBC drivers (unixODBC's odbcinst list).
std::vector<std::string> installedOdbcDrivers();

}  // namespace db
