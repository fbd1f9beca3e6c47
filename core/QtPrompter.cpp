#include "core/QtPrompter.h"

#include "platform/ui/Prompter.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

namespace {
QWidget* ownerWindow() { return QApplication::activeWindow(); }
}  // namespace

ui::MsgResult QtPrompter::message(const ui::MessageRequest& req) {
    QMessageBox box(ownerWindow());
    box.setWindowTitle(QString::fromStdString(req.title));
    box.setText(QString::fromStdString(req.text));
    switch (req.icon) {
        case ui::MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        case ui::MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
        case ui::MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case ui::MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
        case ui::MsgIcon::None: break;
    }
    using B = QMessageBox::StandardButton;
    QMessageBox::StandardButtons buttons;
    switch (req.buttons) {
        case ui::MsgButtons::OK: buttons = B::Ok; break;
        case ui::MsgButtons::OKCancel: buttons = B::Ok | B::Cancel; break;
        case ui::MsgButtons::AbortRetryIgnore: buttons = B::Abort | B::Retry | B::Ignore; break;
        case ui::MsgButtons::YesNoCancel: buttons = B::Yes | B::No | B::Cancel; break;
        case ui::MsgButtons::YesNo: buttons = B::Yes | B::No; break;
        case ui::MsgButtons::RetryCancel: buttons = B::Retry | B::Cancel; break;
    }
    box.setStandardButtons(buttons);
    switch (box.exec()) {
        case B::Ok: return ui::MsgResult::OK;
        case B::Abort: return ui::MsgResult::Abort;
        case B::Retry: return ui::MsgResult::Retry;
        case B::Ignore: return ui::MsgResult::Ignore;
        case B::Yes: return ui::MsgResult::Yes;
        case B::No: return ui::MsgResult::No;
        default: break;
    }
    // Closed by the window frame: the button that cancels, else the only one.
    return req.buttons == ui::MsgButtons::OK ? ui::MsgResult::OK
         : req.buttons == ui::MsgButtons::YesNo ? ui::MsgResult::No
                                                 : ui::MsgResult::Cancel;
}

std::optional<std::string> QtPrompter::input(const std::string& prompt, const std::string& title,
                                             const std::string& defaultValue) {
    bool ok = false;
    QString v = QInputDialog::getText(ownerWindow(), QString::fromStdString(title), QString::fromStdString(prompt),
                                      QLineEdit::Normal, QString::fromStdString(defaultValue), &ok);
    if (!ok) return std::nullopt;
    return v.toStdString();
}

QString QtPrompter::toQtFilter(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(';', ' ');
        out << parts[i].trimmed() + " (" + patterns + ")";
    }
    return out.join(";;");
}

std::string QtPrompter::chooseFile(const ui::FileRequest& req) {
    QString title = QString::fromStdString(req.title);
    QString start = QString::fromStdString(req.initialPath);
    QString filter = toQtFilter(req.filter);
    if (!req.save) return QFileDialog::getOpenFileName(ownerWindow(), title, start, filter).toStdString();
    QFileDialog dialog(ownerWindow(), title, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without an extension gets the filter's own ("myquery" becomes "myquery.sql").
    const QString first = QString::fromStdString(req.filter).section('|', 1, 1).section(';', 0, 0).trimmed();
    if (first.startsWith("*.") && first.size() > 2 && first.indexOf('*', 2) < 0) dialog.setDefaultSuffix(first.mid(2));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first().toStdString();
}

namespace {
// A folder dialog that also takes the name of a folder not made yet, offering to make it.
class FolderDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;
    void accept() override {
        const QStringList chosen = selectedFiles();
        const QString folder = chosen.isEmpty() ? QString() : chosen.first();
        if (!folder.isEmpty() && !QFileInfo::exists(folder)) {
            if (QMessageBox::question(this, windowTitle(), QStringLiteral("The folder %1 does not exist. Create it?").arg(folder)) !=
                QMessageBox::Yes)
                return;
            if (!QDir().mkpath(folder)) {
                QMessageBox::warning(this, windowTitle(), QStringLiteral("The folder %1 could not be created.").arg(folder));
                return;
            }
        }
        QFileDialog::accept();
    }
};
}  // namespace

std::string QtPrompter::chooseFolder(const std::string& title, const std::string& initialPath) {
    FolderDialog dialog(ownerWindow(), QString::fromStdString(title), QString::fromStdString(initialPath));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    // The accept above is the widget dialog's: a platform dialog would refuse the new name.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The dialog disables its button for a name that is not a folder yet; a typed name may be.
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* box = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    if (edit && box)
        QObject::connect(edit, &QLineEdit::textChanged, &dialog, [box](const QString& text) {
            if (QPushButton* choose = box->button(QDialogButtonBox::Open); choose && !text.trimmed().isEmpty())
                choose->setEnabled(true);
        });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first().toStdString();
}

std::optional<long> QtPrompter::chooseColor(long initial) {
    const QColor start(int(initial & 0xFF), int((initial >> 8) & 0xFF), int((initial >> 16) & 0xFF));
    QColor c = QColorDialog::getColor(start, ownerWindow());
    if (!c.isValid()) return std::nullopt;
    return static_cast<long>(c.red()) | (static_cast<long>(c.green()) << 8) | (static_cast<long>(c.blue()) << 16);
}

std::optional<ui::FontChoice> QtPrompter::chooseFont(const ui::FontChoice& initial) {
    QFont start(QString::fromStdString(initial.name));
    if (initial.size > 0) start.setPointSizeF(initial.size);
    start.setBold(initial.bold);
    start.setUnderline(initial.underline);
    bool ok = false;
    QFont f = QFontDialog::getFont(&ok, start, ownerWindow());
    if (!ok) return std::nullopt;
    return ui::FontChoice{f.family().toStdString(), f.pointSizeF(), f.bold(), f.underline()};
}

void QtPrompter::openExternally(const std::string& target) {
    QString t = QString::fromStdString(target);
    QUrl url = QFileInfo::exists(t) ? QUrl::fromLocalFile(QFileInfo(t).absoluteFilePath()) : QUrl(t);
    const std::string shown = url.isLocalFile() ? url.toLocalFile().toStdString() : target;
    auto failed = [shown](const std::string& why) {
        ui::MsgBox(shown + " could not be opened: " + why, ui::MsgButtons::OK, ui::MsgIcon::Exclamation);
    };
    // xdg-open says whether a program was found; its own failure is shown, not lost. The process
    // has no parent and is not waited for: a browser it runs outlives this program.
    auto* opener = new QProcess;
    opener->setProgram("xdg-open");
    opener->setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString()});
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(opener, &QProcess::errorOccurred, [opener, url, failed](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;
        opener->deleteLater();
        if (!QDesktopServices::openUrl(url)) failed("no program to open it could be started.");
    });
    QObject::connect(opener, &QProcess::finished, [opener, failed](int code, QProcess::ExitStatus status) {
        opener->deleteLater();
        if (status != QProcess::NormalExit) failed("the opener (xdg-open) ended abnormally.");
        else if (code == 3 || code == 4)
            failed("no web browser or other program to open it could be started (xdg-open ended with code " +
                   std::to_string(code) + ").");
        else if (code != 0)
            failed("xdg-open ended with code " + std::to_string(code) + ".");
    });
    opener->start();
}
