// Batch run: imports every database a batch document (root DALVIMPORT) lists and writes its
// reports, without any window.
#pragma once

#include "platform/xml/Xml.h"

#include <cstddef>
#include <string>

// Result of a batch run.
struct BatchResult {
    bool success = false;
    std::string message;
    int failures = 0;
    int warned = 0;  // entries imported with facts left out, each named in a warning
};
// Runs the batch document at path without any window.
BatchResult HandleBatchProcess(const std::string& path);

namespace bHandleCMD {

// Result codes of one database entry.
enum BatchCode : int {
    BatchOK = 0,
    BatchNotLoaded = 1,
    BatchNoEngine = 2,          // ENGINE missing, not a number or not in the engine catalogue
    BatchNoDatabaseFile = 4,    // engines 8-10 and 13 without DBNAME / DATABASENAME
    BatchNoConnectString = 5,   // engine 12 without CONNECTIONSTRING
    BatchNoServer = 6,
    BatchNoDatabase = 7,
    BatchNoAuthentication = 8,
    BatchNoUser = 9,
    BatchNoPassword = 10,       // also: the database could not be opened
    BatchNotImported = 11,
    BatchReportFailed = 12,     // a listed report could not be written
};

struct EntryResult {
    int Code = BatchOK;
    std::string Message;
    std::size_t Warnings = 0;  // facts the import could not read and left out
};

// The batch document of the running batch and the DATABASE element being processed.
extern xml::Document oBatchDocument;
extern xml::Node oBatchDatabase;
// Path of the batch document being run (ends the messages of StoreDBInfo).
extern std::string BatchPath;

// Reads SERVERNAME, DATABASENAME and AUTHENTICATION of oBatchDatabase into the report engine;
// stops at the first missing value.
EntryResult StoreDBInfo();

// Builds the connection string of the current engine into oReportEngine->ConnectionString();
// true when it is not empty (always for engine 13).
bool GetConnectionString();
std::string GetSQLServerConnStr();
std::string GetOracleConnStr();
std::string GetAccessConnStr();
std::string GetOthersConnStr();
std::string GetIBMDB2connStr();

// Writes every REPORTS/REPORT of oBatchDatabase. False when one of them was not written;
// failure then names the first such report.
bool SaveReport(std::string* failure = nullptr);

// Word report of the current structure at target. True when the document was saved.
bool SaveAsWordDocument(const std::string& target);

// The line printed for an entry: "DATABASE <n>: <code> <message>".
std::string FormatEntryLine(int entry, const EntryResult& result);

}  // namespace bHandleCMD
