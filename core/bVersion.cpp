#include "core/bVersion.h"

VersionRecordType VersionRecord;
std::string ApplicationTitle = "Dalvane 4.5";
std::string HelpFile;

void InitVersionInfo() {
    VersionRecord.ProductTitle = "Dalvane 4.5";
    VersionRecord.EditionName = "Enterprise";
    VersionRecord.EditionCode = "ENT";
    VersionRecord.RegistryRoot = std::string("Software\\") + MakerName + "\\Dalvane 4.5\\Enterprise";
    VersionRecord.EngineDisplayList =
        "|SQL Server 2000|SQL Server 7.0|SQL Server 6.5|Oracle 9i|Oracle 8i|Oracle 7.x|Personal Oracle"
        "|MS Access XP|MS Access 2000|MS Access (97, 95 or 2.0)|IBM DB2 Version 7|OTHERS|Dalvane XML";
}

std::string MainCaption() {
    if (VersionRecord.ProductTitle.empty()) InitVersionInfo();
    return VersionRecord.ProductTitle + " " + VersionRecord.EditionName;
}
