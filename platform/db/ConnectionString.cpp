#include "platform/db/ConnectionString.h"

#include "platform/db/DbError.h"
#include "platform/db/OdbcSupport.h"
#include "platform/text/Text.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace db {

namespace {

bool iequals(std::string_view a, std::string_view b) { return text::lower(a) == text::lower(b); }

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

void upsert(ConnectionParameters& params, std::string key, std::string value) {
    for (auto& p : params)
        if (iequals(p.first, key)) {
            p.second = std::move(value);
            return;
        }
    params.emplace_back(std::move(key), std::move(value));
}

[[noreturn]] void malformed(const std::string& why) {
    throw Error(err::ArgumentsWrong, "The connection string is not valid: " + why);
}

// An ODBC keyword must not hold characters that delimit or quote.
bool validOdbcKeyword(std::string_view k) {
    if (k.empty()) return false;
    for (char c : k)
        if (std::string_view("[]{}(),;?*=!@").find(c) != std::string_view::npos) return false;
    return true;
}

// How a driver reads values: the others accept {…} with "}}" for '}'; the SQLite drivers know no
// quoting at all, so a value that would need it cannot reach them intact.
struct DriverQuoting {
    bool braces = true;
};

DriverQuoting quotingFor(std::string_view driver) {
    DriverQuoting q;
    std::string d = text::lower(driver);
    if (d.find("sqlite") != std::string::npos) q.braces = false;
    return q;
}

bool needsBraces(std::string_view v) {
    return v.find_first_of(";{}") != std::string_view::npos ||
           (!v.empty() && (std::isspace(static_cast<unsigned char>(v.front())) ||
                           std::isspace(static_cast<unsigned char>(v.back()))));
}

class OdbcBuilder {
public:
    explicit OdbcBuilder(std::string driver) : driver_(std::move(driver)), quoting_(quotingFor(driver_)) {}

    void add(const std::string& key, const std::string& value) {
        if (!validOdbcKeyword(key)) malformed("the keyword \"" + key + "\" cannot be passed to the driver");
        upsert(pairs_, key, value);
    }
    void remove(std::string_view key) {
        pairs_.erase(std::remove_if(pairs_.begin(), pairs_.end(), [&](auto& p) { return iequals(p.first, key); }),
                     pairs_.end());
    }

    std::string str() const {
        std::string out;
        auto append = [&](const std::string& k, const std::string& v) {
            if (!out.empty()) out += ';';
            if (quoting_.braces) {
                out += k + "=" + odbcQuote(v);
                return;
            }
            if (needsBraces(v))
                throw Error(err::ArgumentsWrong, "The value of \"" + k +
                                                     "\" holds characters that the ODBC driver cannot accept (; { } or "
                                                     "blanks at its ends).");
            out += k + "=" + v;
        };
        if (!driver_.empty()) append("Driver", driver_);
        for (auto& [k, v] : pairs_)
            if (!v.empty() || iequals(k, "PWD")) append(k, v);
        return out;
    }

private:
    std::string driver_;
    DriverQuoting quoting_;
    ConnectionParameters pairs_;
};

std::string findDriver(std::string_view preferred, std::string_view containing, const std::string& what) {
    auto drivers = installedOdbcDrivers();
    for (auto& d : drivers)
        if (!preferred.empty() && iequals(d, preferred)) return d;
    if (!containing.empty())
        for (auto& d : drivers)
            if (text::lower(d).find(text::lower(containing)) != std::string::npos) return d;
    throw Error(err::ProviderNotFound,
                "The " + what + " ODBC driver is not installed on this machine; install it and try again.");
}

bool isTrue(std::string_view v) {
    std::string l = text::lower(text::trim(v));
    return l == "sspi" || l == "true" || l == "yes";
}

bool anyOf(std::string_view key, std::initializer_list<std::string_view> names) {
    for (auto n : names)
        if (iequals(key, n)) return true;
    return false;
}

// Keywords of the platform providers that carry nothing for an ODBC driver.
bool ignoredKeyword(std::string_view key) {
    return anyOf(key, {"Provider", "Persist Security Info", "Workstation ID", "Application Name", "Network Library",
                       "Network", "Packet Size", "Auto Translate", "Use Procedure for Prepare",
                       "Use Encryption for Data", "Tag with column collation when possible", "Mode",
                       "Locale Identifier", "OLE DB Services", "Prompt", "Window Handle", "Connect Timeout",
                       "Connection Timeout", "General Timeout", "Extended Properties", "Current Language",
                       "Data Provider"}) ||
           startsWithNoCase(key, "Jet OLEDB:");
}

std::string sqlServerOdbc(const ConnectionParameters& params) {
    OdbcBuilder b(findDriver("FreeTDS", "tds", "FreeTDS (SQL Server)"));
    for (auto& [k, v] : params) {
        if (anyOf(k, {"Data Source", "Server", "Address", "Addr", "Network Address"})) {
            std::string host = text::trim(v), port;
            if (auto comma = host.rfind(','); comma != std::string::npos) {
                port = text::trim(host.substr(comma + 1));
                host = text::trim(host.substr(0, comma));
            }
            if (host == "." || iequals(host, "(local)")) host = "localhost";
            b.add("Server", host);
            if (!port.empty()) b.add("Port", port);
        } else if (anyOf(k, {"Initial Catalog", "Database"})) {
            b.add("Database", v);
        } else if (anyOf(k, {"User Id", "UID", "User"})) {
            b.add("UID", v);
        } else if (anyOf(k, {"Password", "PWD"})) {
            b.add("PWD", v);
        } else if (anyOf(k, {"Integrated Security", "Trusted_Connection"})) {
            if (isTrue(v)) b.add("Trusted_Connection", "Yes");
        } else if (!ignoredKeyword(k)) {
            b.add(k, v);
        }
    }
    if (parameterValue(params, "ClientCharset").empty()) b.add("ClientCharset", "UTF-8");
    return b.str();
}

std::string jetOdbc(const ConnectionParameters& params) {
    OdbcBuilder b(findDriver("MDBTools", "mdb", "MDBTools (Access)"));
    for (auto& [k, v] : params) {
        if (anyOf(k, {"Data Source", "DBQ", "Database"})) b.add("DBQ", v);
        else if (anyOf(k, {"User Id", "UID", "Password", "PWD"}) || ignoredKeyword(k)) continue;
        else b.add(k, v);
    }
    return b.str();
}

std::string vendorOdbc(const ConnectionParameters& params, std::string_view containing, const std::string& what,
                       const char* dataSourceKey) {
    OdbcBuilder b(findDriver({}, containing, what));
    for (auto& [k, v] : params) {
        if (iequals(k, "Data Source")) b.add(dataSourceKey, v);
        else if (anyOf(k, {"User Id", "UID"})) b.add("UID", v);
        else if (anyOf(k, {"Password", "PWD"})) b.add("PWD", v);
        else if (!ignoredKeyword(k)) b.add(k, v);
    }
    return b.str();
}

std::string plainOdbc(ConnectionParameters params) {
    // Pairs of "Extended Properties" are ODBC pairs; they count as given before the outer ones.
    std::string extended = parameterValue(params, "Extended Properties");
    if (!extended.empty()) {
        ConnectionParameters merged = parseConnectionString(extended);
        for (auto& [k, v] : params)
            if (!iequals(k, "Extended Properties")) upsert(merged, k, v);
        params = std::move(merged);
    }
    std::string driver = text::trim(parameterValue(params, "Driver"));
    if (!driver.empty() && driver.find('/') == std::string::npos) {
        auto drivers = installedOdbcDrivers();
        auto it = std::find_if(drivers.begin(), drivers.end(), [&](auto& d) { return iequals(d, driver); });
        if (it == drivers.end())
            throw Error(err::ProviderNotFound,
                        "The ODBC driver \"" + driver + "\" is not installed on this machine; install it and try again.");
        driver = *it;
    }
    OdbcBuilder b(driver);
    for (auto& [k, v] : params) {
        if (iequals(k, "Driver")) continue;
        if (iequals(k, "Data Source")) b.add(driver.empty() ? "DSN" : "Data Source", v);
        else if (anyOf(k, {"User Id", "User ID"})) b.add("UID", v);
        else if (iequals(k, "Password")) b.add("PWD", v);
        else if (!ignoredKeyword(k)) b.add(k, v);
    }
    return b.str();
}

}  // namespace

ConnectionParameters parseConnectionString(std::string_view text) {
    ConnectionParameters params;
    size_t i = 0;
    const size_t n = text.size();
    std::string previousKey;
    while (i < n) {
        while (i < n && (text[i] == ';' || std::isspace(static_cast<unsigned char>(text[i])))) ++i;
        if (i >= n) break;
        size_t eq = text.find('=', i), semi = text.find(';', i);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            // A segment after a password may be the rest of it: never quoted.
            const std::string segment = isSecretKeyword(previousKey)
                                            ? std::string("****")
                                            : text::trim(text.substr(i, semi == std::string_view::npos ? n - i : semi - i));
            malformed("\"" + segment + "\" has no value");
        }
        std::string key = text::trim(text.substr(i, eq - i));
        if (key.empty()) malformed("a value has no keyword");
        i = eq + 1;
        while (i < n && text[i] != ';' && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        std::string value;
        if (i < n && (text[i] == '"' || text[i] == '\'' || text[i] == '{')) {
            const char open = text[i];
            const char close = open == '{' ? '}' : open;
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed) malformed("the value of \"" + key + "\" has no closing quote");
            while (i < n && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
            if (i < n && text[i] != ';') malformed("text follows the quoted value of \"" + key + "\"");
        } else {
            size_t end = text.find(';', i);
            if (end == std::string_view::npos) end = n;
            value = text::trim(text.substr(i, end - i));
            i = end;
        }
        previousKey = key;
        upsert(params, std::move(key), std::move(value));
    }
    return params;
}

std::string parameterValue(const ConnectionParameters& params, std::string_view keyword) {
    for (auto& [k, v] : params)
        if (iequals(k, keyword)) return v;
    return {};
}

bool isSecretKeyword(std::string_view key) {
    const std::string k = text::lower(text::trim(key));
    return k.find("pwd") != std::string::npos || k.find("pass") != std::string::npos ||
           k.find("secret") != std::string::npos || k.find("token") != std::string::npos;
}

std::string withoutPasswords(std::string_view connectionString) {
    ConnectionParameters params;
    try {
        params = parseConnectionString(connectionString);
    } catch (const Error&) {
        return "(connection string not shown)";
    }
    for (auto& [k, v] : params)
        if (!v.empty() && isSecretKeyword(k)) v = "****";
    return buildConnectionString(params);
}

std::string withoutSecrets(std::string_view connectionString) {
    ConnectionParameters params;
    try {
        params = parseConnectionString(connectionString);
    } catch (const Error&) {
        return {};
    }
    std::erase_if(params, [](const auto& p) { return isSecretKeyword(p.first); });
    // Extended Properties is a connection string of its own (merged in for MSDASQL); a value that
    // does not read as pairs is kept unless it may hide a password.
    for (auto& [k, v] : params) {
        if (!iequals(k, "Extended Properties")) continue;
        try {
            ConnectionParameters inner = parseConnectionString(v);
            if (std::any_of(inner.begin(), inner.end(), [](const auto& p) { return isSecretKeyword(p.first); }))
                v = withoutSecrets(v);
        } catch (const Error&) {
            const std::string lower = text::lower(v);
            if (lower.find("pwd") != std::string::npos || lower.find("pass") != std::string::npos) v.clear();
        }
    }
    return buildConnectionString(params);
}

std::string databaseNameOf(std::string_view connectionString) {
    try {
        const ConnectionParameters params = parseConnectionString(connectionString);
        for (const char* key : {"Database", "Initial Catalog", "DBQ", "Data Source", "DSN"}) {
            std::string v = text::trim(parameterValue(params, key));
            if (v.empty()) continue;
            if (v.find_first_of("/\\") == std::string::npos) return v;
            for (char& c : v)
                if (c == '\\') c = '/';
            v = v.substr(v.find_last_of('/') + 1);
            const auto dot = v.rfind('.');
            if (dot != std::string::npos && dot > 0) v.erase(dot);
            return v;
        }
    } catch (const std::exception&) {
        // a string that cannot be read names no database
    }
    return {};
}

std::string missingDatabaseFile(std::string_view connectionString) {
    ConnectionParameters params;
    try {
        params = parseConnectionString(connectionString);
    } catch (const std::exception&) {
        return {};
    }
    std::string extended = parameterValue(params, "Extended Properties");
    if (!extended.empty()) {
        try {
            for (auto& [k, v] : parseConnectionString(extended)) upsert(params, k, v);
        } catch (const std::exception&) {
        }
    }
    if (text::lower(parameterValue(params, "Driver")).find("sqlite") == std::string::npos) return {};
    const std::string file = text::trim(parameterValue(params, "Database"));
    if (file.empty() || file == ":memory:" || startsWithNoCase(file, "file:")) return {};
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return {};
    return file;
}

std::string quoteConnectionValue(std::string_view value) {
    const bool edgeBlank = !value.empty() && (std::isspace(static_cast<unsigned char>(value.front())) ||
                                              std::isspace(static_cast<unsigned char>(value.back())));
    const bool needs = edgeBlank || value.find_first_of(";=\"'") != std::string_view::npos ||
                       (!value.empty() && value.front() == '{');
    if (!needs) return std::string(value);
    const char q = value.find('"') != std::string_view::npos && value.find('\'') == std::string_view::npos ? '\'' : '"';
    std::string out(1, q);
    for (char c : value) {
        out += c;
        if (c == q) out += q;
    }
    out += q;
    return out;
}

std::string buildConnectionString(const ConnectionParameters& params) {
    std::string out;
    for (auto& [k, v] : params) {
        if (v.empty()) continue;
        if (!out.empty()) out += ';';
        out += k + "=" + quoteConnectionValue(v);
    }
    return out;
}

std::string odbcQuote(std::string_view value) {
    const bool edgeBlank = !value.empty() && (std::isspace(static_cast<unsigned char>(value.front())) ||
                                              std::isspace(static_cast<unsigned char>(value.back())));
    if (!edgeBlank && value.find_first_of(";{}=") == std::string_view::npos) return std::string(value);
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') out += '}';
    }
    out += '}';
    return out;
}

std::string toOdbcConnectionString(std::string_view connectionString, std::string_view userId,
                                   std::string_view password) {
    ConnectionParameters params = parseConnectionString(connectionString);
    const std::string provider = text::lower(text::trim(parameterValue(params, "Provider")));
    if (!userId.empty()) upsert(params, provider.empty() || provider == "msdasql" ? "UID" : "User Id", std::string(userId));
    if (!password.empty()) upsert(params, provider.empty() || provider == "msdasql" ? "PWD" : "Password", std::string(password));

    auto stem = [&](std::string_view p) { return provider.rfind(p, 0) == 0; };
    if (provider.empty() || stem("msdasql")) return plainOdbc(std::move(params));
    if (stem("sqloledb") || stem("sqlncli") || stem("msoledbsql")) return sqlServerOdbc(params);
    if (stem("microsoft.jet.oledb") || stem("microsoft.ace.oledb")) return jetOdbc(params);
    if (stem("msdaora") || stem("oraoledb")) return vendorOdbc(params, "oracle", "Oracle", "DBQ");
    if (stem("ibmdadb2")) return vendorOdbc(params, "db2", "IBM DB2", "DATABASE");
    throw Error(err::ProviderNotFound, "Provider cannot be found. It may not be properly installed. (Provider \"" +
                                           text::trim(parameterValue(params, "Provider")) + "\")");
}

std::string odbcDriverOf(std::string_view connectionString) {
    try {
        const ConnectionParameters odbcParams = parseConnectionString(toOdbcConnectionString(connectionString));
        const std::string driver = text::trim(parameterValue(odbcParams, "Driver"));
        if (!driver.empty()) return driver;
        const std::string dsn = text::trim(parameterValue(odbcParams, "DSN"));
        return dsn.empty() ? std::string() : odbc::dataSourceDriver(dsn);
    } catch (const std::exception&) {
        return {};  // a string that cannot be read reaches no driver
    }
}

std::vector<std::string> installedOdbcDrivers() { return odbc::installedDrivers(); }

}  // namespace db
