// The version record and the fixed names of the product.
#pragma once

#include <string>

constexpr int AppMajorVersion = 4;
constexpr int AppMinorVersion = 5;
constexpr int AppRevision = 412;  // build number
// Maker folder in the data folder and maker key in the registry root.
inline constexpr const char* MakerName = "Torvik";

struct VersionRecordType {
    std::string ProductTitle;       // "Dalvane 4.5"
    std::string EditionName;        // "Enterprise"
    std::string EditionCode;        // sent with update checks
    std::string RegistryRoot;       // key below HKEY_CURRENT_USER
    std::string EngineDisplayList;  // "|SQL Server 2000|...|Dalvane XML"
};

extern VersionRecordType VersionRecord;
// "Dalvane " major "." minor: the default title of message boxes.
extern std::string ApplicationTitle;
// Full path of the help file (set at start-up).
extern std::string HelpFile;

void InitVersionInfo();
// ProductTitle, a blank and EditionName: "Dalvane 4.5 Enterprise".
std::string MainCaption();
