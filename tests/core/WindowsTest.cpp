#include "CoreTestEnv.h"
#include "core/QtPrompter.h"
#include "core/bErrorHandler.h"
#include "core/bGlobalUi.h"
#include "options/cReport.h"
#include "startup/bHandleCMD.h"
#include "core/cDVUpdates.h"
#include "core/bVersion.h"
#include "core/frmAbout.h"
#include "core/frmDisplayError.h"
#include "core/frmErrorHandler.h"
#include "core/frmSendMail.h"
#include "startup/frmSplash.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

using coretest::ScopedHome;
using testsupport::readFile;
using testsupport::ScopedPrompter;

namespace {
int endedWith = -100;
void recordEnd(int code) { endedWith = code; }

// Runs action on the next modal dialog once it is showing.
void onModal(std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, [action] {
        QWidget* w = QApplication::activeModalWidget();
        ASSERT_NE(w, nullptr);
        action(w);
    });
}

class ErrorDialog : public ::testing::Test {
protected:
    ScopedHome home;
    ScopedPrompter prompter;
    void SetUp() override {
        SetProgramFolders();
        ASSERT_TRUE(CreateUserFolders());
        endedWith = -100;
        setEndProcessHook(recordEnd);
    }
    void TearDown() override {
        setEndProcessHook(nullptr);
        oWebService.reset();
    }
};
}  // namespace

TEST_F(ErrorDialog, FailedSendFallsBackToMailLinkAndEnds) {
    // A port held but not listening: the post is refused.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    oWebService = std::make_unique<cDVUpdates>("http://127.0.0.1:" + std::to_string(ntohs(a.sin_port)));
    oWebService->timeoutSeconds = 5;
    files::writeTextFile(files::joinPath(DataFolder, "errors.log"), "old content");
    frmErrorHandler dlg;
    dlg.ErrNumber = 5;
    dlg.ErrDescription = "Invalid procedure call";
    dlg.ErrSource = "bGlobal.Occurs";
    onModal([](QWidget* w) {
        auto* mail = qobject_cast<frmSendMail*>(w);
        ASSERT_NE(mail, nullptr);
        EXPECT_EQ(mail->txtSubject->text(), "Dalvane 4.5 Error Report");
        EXPECT_TRUE(mail->txtErrorReport->toPlainText().contains("Error Number: 5 \nError Description: Invalid procedure call"));
        mail->txtName->setText("Ann");
        mail->txtComments->setPlainText("it broke");
        mail->cmdSendNow->click();
    });
    dlg.cmdSendReport_Click();

    EXPECT_EQ(dlg.UserComments, "it broke");
    std::string log = readFile(files::joinPath(DataFolder, "errors.log"));
    EXPECT_EQ(log.rfind("mailto:", 0), 0u);  // replaced, not appended
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    EXPECT_NE(log.find("Comments%3A%20it%20broke"), std::string::npos);
    ASSERT_EQ(prompter->opened.size(), 1u);
    EXPECT_EQ(prompter->opened[0] + "\r\n", log);
    EXPECT_EQ(endedWith, 1);
    ::close(fd);
}

TEST_F(ErrorDialog, CloseInTheSendDialogKeepsTheErrorDialog) {
    frmErrorHandler dlg;
    onModal([](QWidget* w) { qobject_cast<frmSendMail*>(w)->cmdClose->click(); });
    dlg.cmdSendReport_Click();
    EXPECT_EQ(endedWith, -100);
    EXPECT_TRUE(prompter->opened.empty());
    EXPECT_FALSE(files::fileExists(files::joinPath(DataFolder, "errors.log")));
    EXPECT_FALSE(dlg.txtErrorReport->toPlainText().isEmpty());  // the mail form
}

TEST_F(ErrorDialog, DontSendClearsAndEnds) {
    files::writeTextFile(files::joinPath(ReportsFolder, "temp.html"), "x");
    frmErrorHandler dlg;
    dlg.cmdDontSend->click();
    EXPECT_EQ(endedWith, 1);
    EXPECT_FALSE(files::fileExists(files::joinPath(ReportsFolder, "temp.html")));
}

TEST_F(ErrorDialog, SecondErrorWhileShowingReplacesTheStoredValuesOnly) {
    InstallErrorDialog();
    QPointer<frmErrorHandler> seen;
    onModal([&](QWidget* w) {
        seen = qobject_cast<frmErrorHandler*>(w);
        ASSERT_TRUE(seen);
        HandleError(2, "second", "b.Two");  // returns at once
        EXPECT_EQ(seen->ErrNumber, 2);
        EXPECT_NE(seen->ErrorReportText.find("Error Source: a.One"), std::string::npos);
        // View Error shows the first report.
        onModal([](QWidget* v) {
            auto* view = qobject_cast<frmDisplayError*>(v);
            ASSERT_NE(view, nullptr);
            EXPECT_EQ(view->windowTitle(), "Dalvane 4.5 Error Details");
            EXPECT_TRUE(view->txtErrorReport->toPlainText().contains("Error Number: 1"));
            view->cmdClose->click();
        });
        seen->cmdViewError_Click();
        EXPECT_TRUE(seen->isVisible());
        seen->reject();  // closed by its frame
    });
    HandleError(1, "first", "a.One");
    EXPECT_TRUE(ErrorShown);
    EXPECT_EQ(endedWith, -100);
    // Closed by its frame, the dialog shows the next error's own report.
    onModal([&](QWidget* w) {
        auto* again = qobject_cast<frmErrorHandler*>(w);
        ASSERT_TRUE(again);
        EXPECT_NE(again->ErrorReportText.find("Error Source: c.Three"), std::string::npos) << again->ErrorReportText;
        again->reject();
    });
    HandleError(3, "third", "c.Three");
    setErrorDialogHook(nullptr);
}

TEST_F(ErrorDialog, SendDialogFrameCloseIsFalse) {
    frmErrorHandler owner;
    frmSendMail mail(&owner);
    onModal([](QWidget* w) { w->close(); });
    EXPECT_FALSE(mail.ShowMailDialog("report"));
    onModal([](QWidget* w) { qobject_cast<frmSendMail*>(w)->cmdClose->click(); });
    EXPECT_TRUE(mail.ShowMailDialog("report"));
    mail.txtEMail->setText("no address");
    EXPECT_FALSE(mail.ValidateSenderEMail());
    EXPECT_EQ(prompter->lastMessage(), "Please enter a valid email id.");
    mail.txtEMail->setText("ann.lee@mail.example.org");
    EXPECT_TRUE(mail.ValidateSenderEMail());
}

namespace {
class Splash : public ::testing::Test {
protected:
    ScopedHome home;
    void SetUp() override {
        SetProgramFolders();
        ASSERT_TRUE(CreateUserFolders());
        ASSERT_TRUE(InitReportEngine());
    }
    void TearDown() override {
        SetMainWindowHook(nullptr);
        ReleaseReportEngine();
        ErrorShown = false;
    }
    // Shows a splash with a short timer and waits until it has ended the loop or handed over
    // (the hook ends it with 7); returns the loop's code. The splash deletes itself: it is only
    // watched through a guarded pointer, never read after the hand-over.
    int runSplash(bool errorDuringStart, int* shown = nullptr) {
        QEventLoop loop;
        if (shown)
            SetMainWindowHook([shown, &loop] {
                ++*shown;
                loop.exit(7);
                return true;
            });
        QPointer<frmSplash> s = new frmSplash();
        EXPECT_EQ(s->windowTitle(), "Dalvane 4.5 Enterprise");
        if (errorDuringStart) ErrorShown = true;
        s->tmSplash->stop();
        s->quit = [&loop](int code) { loop.exit(code); };
        s->show();
        // Showing may already run events: the timer starts once the loop runs.
        QTimer::singleShot(0, &loop, [&] { if (s) s->tmSplash->start(20); });
        QTimer::singleShot(30000, &loop, [&] { loop.exit(-1); });  // only when nothing happens
        int rc = loop.exec();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(s.isNull());
        delete s.data();
        return rc;
    }
};
}  // namespace

TEST_F(Splash, TimerHandsOverToTheMainWindow) {
    int shown = 0;
    EXPECT_EQ(runSplash(false, &shown), 7);
    EXPECT_EQ(shown, 1);
}

TEST_F(Splash, NoMainWindowAfterAnError) {
    int shown = 0;
    EXPECT_EQ(runSplash(true, &shown), 1);
    EXPECT_EQ(shown, 0);
}

TEST_F(Splash, WithoutMainWindowTheProgramEndsCleanly) { EXPECT_EQ(runSplash(false), 0); }

TEST(UnloadAllForms, KeepsTheNamedWindow) {
    QWidget main, about;
    main.setObjectName("frmDatabaseExplorer");
    about.setObjectName("frmAbout");
    QPointer<QWidget> owned = new QWidget;
    owned->setObjectName("frmReportSetup");
    owned->setAttribute(Qt::WA_DeleteOnClose);
    for (QWidget* w : {&main, &about, owned.data()}) w->show();
    UnloadAllForms("FRMDATABASEEXPLORER");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(about.isVisible());
    EXPECT_FALSE(owned);
    UnloadAllForms("");
    EXPECT_FALSE(main.isVisible());
}

TEST(QtPrompter, FileFiltersInQtForm) {
    EXPECT_EQ(QtPrompter::toQtFilter("XML File | *.xml"), "XML File (*.xml)");
    EXPECT_EQ(QtPrompter::toQtFilter("Dalvane Files|*.dvs;*.xml|All Files|*.*"),
              "Dalvane Files (*.dvs *.xml);;All Files (*.*)");
}

// A name saved without an extension gets the filter's; one with its own keeps it.
TEST(QtPrompter, SaveDialogAddsTheFiltersExtension) {
    testsupport::TempDir dir;
    for (const auto& [typed, saved] : std::vector<std::pair<std::string, std::string>>{
             {"myquery", "myquery.sql"}, {"notes.txt", "notes.txt"}}) {
        QTimer::singleShot(20, [&, typed = typed] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!d) return;
            d->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(typed));
            QMetaObject::invokeMethod(d, "accept", Qt::DirectConnection);
        });
        EXPECT_EQ(QtPrompter().chooseFile({"Save", "SQL Query file | *.sql", dir.path(), true}), dir.file(saved));
    }
}

// A folder typed in the folder dialog that is not there yet is made when the user says so.
TEST(QtPrompter, FolderDialogMakesATypedFolderWhenAsked) {
    testsupport::TempDir dir;
    const QString target = QString::fromStdString(dir.file("new/inner"));
    std::vector<QString> asked;
    std::function<void()> drive = [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && asked.size() < 3) QTimer::singleShot(20, drive);  // first: a click below may wait on a box
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            asked.push_back(box->text());
            box->button(asked.size() == 1 ? QMessageBox::No : QMessageBox::Yes)->click();
        } else if (auto* d = qobject_cast<QFileDialog*>(modal)) {
            d->findChild<QLineEdit*>("fileNameEdit")->setText(target);
            QPushButton* choose = d->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open);
            choose->isEnabled() ? choose->click() : d->reject();
        }
    };
    QTimer::singleShot(20, drive);
    EXPECT_EQ(QtPrompter().chooseFolder("Output Path", dir.path()), target.toStdString());
    ASSERT_EQ(asked.size(), 2u);  // "No" keeps the dialog open and makes nothing
    EXPECT_EQ(asked[0], "The folder " + target + " does not exist. Create it?");
    EXPECT_TRUE(files::folderExists(target.toStdString()));
}

// A page that no program can open is reported: the opener's failure, or no opener at all.
TEST(QtPrompter, OpeningThatFailsIsShown) {
    ScopedPrompter prompter;
    testsupport::TempDir dir;
    const std::string page = dir.file("help.html");
    files::writeTextFile(page, "<html/>");
    const std::string opener = dir.file("bin/xdg-open");
    files::createFolders(dir.file("bin"));
    files::writeTextFile(opener, "#!/bin/sh\nexit 3\n");
    ::chmod(opener.c_str(), 0755);
    const QByteArray path = qgetenv("PATH");
    for (const std::string& folders : {dir.file("bin"), dir.file("none")}) {
        qputenv("PATH", QByteArray::fromStdString(folders));
        qunsetenv("BROWSER");
        const std::size_t before = prompter->messages.size();
        QtPrompter().openExternally(page);
        for (int i = 0; i < 500 && prompter->messages.size() == before; ++i) {
            QCoreApplication::processEvents();
            ::usleep(10000);
        }
        ASSERT_EQ(prompter->messages.size(), before + 1) << folders;
        EXPECT_EQ(prompter->lastMessage().rfind(page + " could not be opened: ", 0), 0u) << prompter->lastMessage();
    }
    qputenv("PATH", path);
}

TEST(AboutBox, CaptionMailLinkAndFolderPicker) {
    ScopedPrompter prompter;
    InitVersionInfo();
    frmAbout about;
    EXPECT_EQ(about.windowTitle().toStdString(), "About " + MainCaption());
    EXPECT_TRUE(about.lblTorvik->text().contains(frmAbout::SupportAddress));
    about.lblTorvik_Click();
    ASSERT_EQ(prompter->opened.size(), 1u);
    EXPECT_EQ(prompter->opened[0], std::string("mailto:") + frmAbout::SupportAddress);

    testsupport::TempDir dir;
    prompter->folderAnswers = {"", dir.file("missing"), dir.path()};
    EXPECT_EQ(KX_BrowseFolder("Choose"), "");  // cancelled
    EXPECT_EQ(KX_BrowseFolder("Choose"), "");  // not a folder
    EXPECT_EQ(KX_BrowseFolder("Choose"), dir.path());

    // F1 opens the help page of the control, else of its window, else the start page.
    InstallContextHelp();
    QWidget form;
    form.setObjectName("frmGenerateBatchFile");
    auto* field = new QLineEdit(&form);
    auto* special = new QLineEdit(&form);
    special->setProperty("helpTopic", "reports.html#layouts");
    const std::string help = files::parentFolder(GetHelpFileLocation());
    for (auto [w, page] : {std::pair<QWidget*, std::string>{field, "batch.html"}, {special, "reports.html#layouts"},
                           {about.lblTorvik, "index.html"}}) {
        QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
        QApplication::sendEvent(w, &f1);
        EXPECT_EQ(prompter->opened.back(), files::joinPath(help, page));
    }
}
