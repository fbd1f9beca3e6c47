// Start-up of the main program: the report engine's start values, the process-wide values of a
// run, the batch route of the command line, and the query tool's launch on the current connection.
#pragma once

#include "reports/bHandleCMD_Batch.h"

#include <string>

// Creates oReportEngine and sets its start values (engine 1, options, folder 1, connection 1).
bool InitReportEngine();
void StartApplication();

// Removes every double quote from commandLine; a path with extension "xml" runs the batch
// (StartApplication, then HandleBatchProcess) and gives 2, anything else gives 1.
// batchResult receives the batch run's result.
int HandleCLP(const std::string& commandLine, BatchResult* batchResult = nullptr);
// True when commandLine names a batch document (the test HandleCLP applies).
bool IsBatchCommandLine(const std::string& commandLine);

// Hands the current connection and a query to a new query tool (run at once with executeNow).
// False when there is no current connection, the document could not be written (told to the
// user) or the program did not start (told too; such a process is not recorded).
bool Brenik(bool executeNow, const std::string& query);
// The connection string the query tool gets for the current connection: an Access database's
// names its file for the MDB Tools ODBC driver (its structure is read without one), others' is
// the connection's own.
std::string BrenikConnectionString();
