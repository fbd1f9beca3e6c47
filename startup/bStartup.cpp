#include "startup/bStartup.h"

#include "core/CLocalInfo.h"
#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/bVersion.h"
#include "core/cSystemInfo.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"

#include <QLocale>

#include <algorithm>
#include <exception>

bool InitReportEngine() {
    try {
        cReport* r = CreateReportEngine();
        r->CurrentDatabaseEngineId(1);
        r->InitializeDBOptions();
        r->InitializeReportOptions();
        r->InitializeDiagramSettings();
        r->CurrentDatabaseGroup(1);
        r->CurrentDatabaseNumber(1);
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bHandleCMD.Main");
        return false;
    }
}

void StartApplication() {
    try {
        ErrorShown = false;
        if (VersionRecord.ProductTitle.empty()) InitVersionInfo();
        ApplicationTitle = "Dalvane " + std::to_string(AppMajorVersion) + "." + std::to_string(AppMinorVersion);
        OSName = oSystemInfo ? oSystemInfo->OperatingSystem() : cSystemInfo().OperatingSystem();

        EngineNames.clear();
        const std::string& list = VersionRecord.EngineDisplayList;
        size_t from = 0;
        for (;;) {
            size_t bar = list.find('|', from);
            EngineNames.push_back(list.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
            if (bar == std::string::npos) break;
            from = bar + 1;
        }
        EnginePanelMap = {2, 0, 0, 0, 1, 1, 1, 1, 3, 3, 3, 2, 4, 5};

        PassPhrase1 = StoredPassPhrase(1);
        PassPhrase2 = StoredPassPhrase(2);
        PassPhrase3 = StoredPassPhrase(3);
        PassPhrase4 = StoredPassPhrase(4);

        QString fmt = QLocale().dateFormat(QLocale::ShortFormat);
        fmt.remove(QChar(0));
        ShortDateFormat = fmt.trimmed().toStdString();

        if (oReportEngine) oReportEngine->SortTableStructure(false);
        TempFolder = files::privateTempFolder();
        CurrentUser = GetCurrentUser();
        {
            CLocalInfo locale;
            DigitGroupingSymbol = locale.GetDigitGroupingSymbol();
            DecimalSymbol = locale.GetDecimalSymbol();
        }
        SetDefaultReportOptions();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bGlobal.StartApplication");
    }
}

namespace {
// The path of a command line: the line itself when it names a file (a double quote is a legal
// character of a file name here), otherwise the line without its double quotes.
std::string commandLinePath(const std::string& commandLine) {
    if (!commandLine.empty() && files::fileExists(commandLine)) return commandLine;
    std::string path = commandLine;
    path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
    return text::trim(path);
}
}  // namespace

bool IsBatchCommandLine(const std::string& commandLine) {
    std::string path = commandLinePath(commandLine);
    return !path.empty() && files::extensionOf(path) == "xml";
}

int HandleCLP(const std::string& commandLine, BatchResult* batchResult) {
    try {
        const std::string path = commandLinePath(commandLine);
        if (!path.empty() && files::extensionOf(path) == "xml") {
            StartApplication();
            BatchResult r = HandleBatchProcess(path);
            if (batchResult) *batchResult = r;
            return 2;
        }
        return 1;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "bGlobal.HandleCLP");
        if (batchResult) *batchResult = {false, e.what(), 1};
        return IsBatchCommandLine(commandLine) ? 2 : 1;
    }
}
