#include "CoreTestEnv.h"
#include "core/bErrorHandler.h"
#include "core/bVersion.h"

#include <gtest/gtest.h>

#include <QUrl>
#include <QUrlQuery>

#include <iostream>
#include <sstream>

using testsupport::readFile;
using testsupport::TempDir;

namespace {
struct CaptureStderr {
    std::stringstream buffer;
    std::streambuf* old;
    CaptureStderr() : old(std::cerr.rdbuf(buffer.rdbuf())) {}
    ~CaptureStderr() { std::cerr.rdbuf(old); }
};
}  // namespace

TEST(HandleError, HeadlessRunLogsToStderrAndErrorsLog) {
    TempDir dir;
    std::string saved = DataFolder;
    DataFolder = dir.path();
    setErrorDialogHook(nullptr);
    ErrorShown = false;
    CaptureStderr err;
    HandleError(3704, "Operation is not allowed when the object is closed.", "cReport.GenerateSummary");
    HandleError(5, "second", "bGlobal.Occurs");
    EXPECT_TRUE(ErrorShown);
    EXPECT_NE(err.buffer.str().find("3704 in cReport.GenerateSummary: Operation is not allowed"), std::string::npos);
    std::string log = readFile(dir.file("errors.log"));
    EXPECT_NE(log.find("error 3704 in cReport.GenerateSummary"), std::string::npos);
    EXPECT_NE(log.find("error 5 in bGlobal.Occurs: second\r\n"), std::string::npos);  // appended
    DataFolder = saved;
}

TEST(HandleError, InstalledDialogTakesTheReport) {
    long number = 0;
    std::string source;
    setErrorDialogHook([&](long n, const std::string&, const std::string& s) {
        number = n;
        source = s;
    });
    ErrorShown = false;
    HandleError(91, "Object variable not set", "frmSplash.Form_Load");
    EXPECT_EQ(number, 91);
    EXPECT_EQ(source, "frmSplash.Form_Load");
    EXPECT_TRUE(ErrorShown);
    setErrorDialogHook(nullptr);
}

TEST(ErrorReport, TextAndMailFormCarryTheFacts) {
    std::string text = BuildErrorReportText(13, "Type mismatch", "cReport.ApplyXSL");
    EXPECT_EQ(text.rfind("Dalvane 4.5 Enterprise\r\nError Date: ", 0), 0u);
    EXPECT_NE(text.find("\r\nError Number: 13\r\nError Description: Type mismatch\r\nError Source: cReport.ApplyXSL\r\n"
                        "Build Number: 412\r\nSystem Information\r\nOperating System: "),
              std::string::npos);

    std::string form = BuildErrorMailForm(13, "Type mismatch", "cReport.ApplyXSL");
    EXPECT_EQ(form.find("\r\n"), std::string::npos);
    EXPECT_NE(form.find("%0DError Number: 13 %0DError Description: Type mismatch %0DError Source: cReport.ApplyXSL"
                        "%0DBuild Number: 412%0DSystem Information Operating System: "),
              std::string::npos);
}

TEST(ErrorReport, MailLinkBodyIsPercentEncoded) {
    std::string form = "Dalvane 4.5 Enterprise%0DError Description: a&Body=evil?x=1 #5 100%%0DÜber";
    std::string link = BuildErrorMailLink(form, "  ");
    ASSERT_EQ(link.rfind(std::string("mailto:") + ErrorReportAddress + "?subject=Dalvane%20Error%20Report&Body=", 0), 0u);
    EXPECT_EQ(link.find(' '), std::string::npos);
    EXPECT_EQ(link.find('#'), std::string::npos);
    QUrlQuery q(QUrl(QString::fromStdString(link)).query(QUrl::FullyEncoded));
    ASSERT_EQ(q.queryItems().size(), 2);  // nothing in the text adds a field
    EXPECT_EQ(q.queryItemValue("subject", QUrl::FullyDecoded), "Dalvane Error Report");
    EXPECT_EQ(q.queryItemValue("Body", QUrl::FullyDecoded).toStdString(),
              "Dalvane 4.5 Enterprise\r\nError Description: a&Body=evil?x=1 #5 100%\r\nÜber\r\nComments:   ");

    EXPECT_EQ(BuildErrorMailLink("x", "").find("Comments"), std::string::npos);
}
