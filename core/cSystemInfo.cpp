#include "core/cSystemInfo.h"

#include "core/bGlobal.h"
#include "platform/fs/Paths.h"

#include "core/bErrorHandler.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QSysInfo>

#include <libxml/xmlversion.h>
#include <openssl/opensslv.h>

#include <cstdlib>

namespace {
std::string clean(QString s) {
    s.remove(QChar(0));
    return s.trimmed().toStdString();
}

// ODBC drivers registered with unixODBC, from its driver list.
QStringList odbcDrivers() {
    QStringList names;
    for (const char* file : {"/etc/odbcinst.ini", "/usr/local/etc/odbcinst.ini"}) {
        QSettings ini(QString::fromLatin1(file), QSettings::IniFormat);
        for (const QString& g : ini.childGroups())
            if (g != QLatin1String("ODBC") && !names.contains(g)) names << g;
    }
    return names;
}
}  // namespace

cSystemInfo::cSystemInfo() {
    fillNames();
    osName_ = clean(QSysInfo::prettyProductName());
    dependencyReport_.clear();
}

void cSystemInfo::fillNames() {
    computerName_ = clean(QSysInfo::machineHostName());
    userName_ = GetCurrentUser();
}

std::string cSystemInfo::getWindowsVersion() const {
    return clean(QSysInfo::kernelType()) + " - " + clean(QSysInfo::kernelVersion());
}

std::string cSystemInfo::DependencyReport() {
    if (computerName_.empty() || userName_.empty()) fillNames();
    const std::string crlf = "\r\n";
    std::string r = "Operating System: " + osName_ + " (" + getWindowsVersion() + ")" + crlf;
    r += "Qt Version: " + std::string(qVersion()) + crlf;
    r += std::string("libxml2 Version: ") + LIBXML_DOTTED_VERSION + crlf;
    r += std::string("OpenSSL Version: ") + OPENSSL_VERSION_STR + crlf;
    QStringList drivers = odbcDrivers();
    const std::pair<const char*, const char*> wanted[] = {
        {"FreeTDS", "FreeTDS ODBC driver"},  {"MDBTools", "MDBTools ODBC driver"},
        {"SQLite3", "SQLite ODBC driver"},   {"PostgreSQL", "PostgreSQL ODBC driver"},
        {"MariaDB", "MariaDB ODBC driver"},
    };
    for (const auto& [key, label] : wanted) {
        bool found = false;
        for (const QString& d : drivers)
            if (d.contains(QLatin1String(key), Qt::CaseInsensitive)) found = true;
        r += std::string(label) + (found ? " exists." : " does not exist.") + crlf;
    }
    r += "Report prepared on " + QDateTime::currentDateTime().toString(Qt::TextDate).toStdString();
    dependencyReport_ = r;
    return r;
}

bool cSystemInfo::SetCurrentPath() {
    std::string folder = ProgramFolder();
    const char* cur = std::getenv("PATH");
    std::string path = cur ? cur : "";
    // Already there: nothing to add.
    std::string padded = ":" + path + ":";
    if (padded.find(":" + folder + ":") != std::string::npos) return true;
    path = path.empty() ? folder : path + ":" + folder;
    return ::setenv("PATH", path.c_str(), 1) == 0;
}

std::string cSystemInfo::GetCurrentResolution() const {
    QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                          ? QGuiApplication::primaryScreen()
                          : nullptr;
    if (!screen) {
        HandleError(91, "No screen is available.", "cSystemInfo.GetCurrentResolution");
        return {};
    }
    QSize size = screen->size();
    return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

std::string cSystemInfo::MDACVersion() const { return "unixODBC " DALV_ODBC_VERSION; }
