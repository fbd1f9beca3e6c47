// The query window's commands: query files, HTML output, clipboard.
#include "platform/fs/FileErrors.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"
#include "platform/ui/Prompter.h"
#include "platform/ui/ToolManager.h"
#include "platform/ui/WaitCursor.h"
#include "querytool/RecordsetModel.h"
#include "querytool/frmBrenik.h"

#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTableView>

#include <cerrno>
#include <algorithm>

namespace {

struct Command {
    const char* id;
    const char* caption;  // '&' marks the menu's access key
    const char* hint;
    const char* icon;
};

constexpr Command kCommands[] = {
    {"ID_New", "&New", "New Query File", "tb_new.svg"},
    {"ID_Open", "&Open", "Open Query File (*.sql)", "tb_open.svg"},
    {"ID_Save", "&Save", "Save Query File", "tb_save.svg"},
    {"ID_SaveAs", "Save &As", "Save As", ""},
    {"ID_SaveAsHTML", "Save As &HTML", "", "tb_html.svg"},
    {"ID_Execute", "&Execute", "Execute Query", "tb_query.svg"},
    {"ID_Cut", "Cut", "", ""},
    {"ID_Copy", "Copy", "", "tb_copy.svg"},
    {"ID_Paste", "Paste", "", ""},
    {"ID_Exit", "E&xit", "Quit \"Execute Query\" Application", ""},
};

// Appends s as HTML text; a NUL, which a page may not hold, becomes the replacement mark.
void appendHtml(std::string& out, std::string_view s) {
    size_t from = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char* entity = nullptr;
        switch (s[i]) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        case '\0': entity = "\xEF\xBF\xBD"; break;
        default: continue;
        }
        out.append(s, from, i - from);
        out += entity;
        from = i + 1;
    }
    out.append(s, from, std::string_view::npos);
}

// The file named by a dialog answer: "" for a cancel or the bare pattern.
std::string chosenPath(const std::string& answer, const std::string& pattern) {
    return answer == pattern ? std::string() : answer;
}

}  // namespace

void frmBrenik::buildCommands() {
    tbMain = new ui::ToolManager(this);
    for (const Command& c : kCommands) {
        tbMain->addTool(c.id, c.caption, c.hint);
        if (*c.icon) tbMain->setIcon(c.id, QString::fromStdString(files::joinPath(programFolder_, "images", c.icon)));
    }
    tbMain->addToolBarBand("MainTools", "MainTools", this);
    for (const char* id : {"ID_New", "ID_Open", "ID_Save", "ID_SaveAsHTML", "-", "ID_Execute", "-", "ID_Cut",
                           "ID_Copy", "ID_Paste"}) {
        if (std::string(id) == "-")
            tbMain->addSeparator("MainTools");
        else
            tbMain->addToBand("MainTools", id);
    }
    tbMain->addMenuBand("ID_Query", "&Query", menuBar());
    for (const char* id : {"ID_New", "ID_Open", "ID_Save", "ID_SaveAs", "-", "ID_Execute", "-", "ID_Exit"}) {
        if (std::string(id) == "-")
            tbMain->addSeparator("ID_Query");
        else
            tbMain->addToBand("ID_Query", id);
    }
    tbMain->addMenuBand("ID_Output", "&Output", menuBar());
    tbMain->addToBand("ID_Output", "ID_SaveAsHTML");
    connect(tbMain, &ui::ToolManager::toolClicked, this, [this](const QString& id) { tbMain_ToolClick(id); });
}

void frmBrenik::tbMain_ToolClick(const QString& tool) {
    const QString id = tool.toUpper();
    if (id == "ID_NEW") NewQueryFile();
    else if (id == "ID_OPEN") OpenQueryFile();
    else if (id == "ID_SAVE") SaveQueryFile(false);
    else if (id == "ID_SAVEAS") SaveQueryFile(true);
    else if (id == "ID_SAVEASHTML") SaveQueryOutputAsHTML();
    else if (id == "ID_EXECUTE") Brenik();
    else if (id == "ID_CUT") CutCopyText(true);
    else if (id == "ID_COPY") CutCopyText(false);
    else if (id == "ID_PASTE") PasteText();
    else if (id == "ID_EXIT") close();
}

void frmBrenik::NewQueryFile() {
    sQueryFile.clear();
    txtQuery->clear();
    showTitle();
}

void frmBrenik::showTitle() {
    QString title = QStringLiteral("Dalvane - Execute Query");
    if (!sQueryFile.empty()) title += " - " + QString::fromStdString(files::fileName(sQueryFile));
    setWindowTitle(title);
}

std::string frmBrenik::dialogFolder() const {
    if (!lastFolder_.empty() && files::folderExists(lastFolder_)) return lastFolder_;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

void frmBrenik::keepFolder(const std::string& path) { lastFolder_ = files::parentFolder(path); }

void frmBrenik::OpenQueryFile() {
    try {
        const std::string path = chosenPath(
            ui::prompter().chooseFile({"Open", "SQL Query file | *.sql", dialogFolder(), false}), "*.sql");
        if (path.empty()) return;
        keepFolder(path);
        std::string content;
        if (!files::fileExists(path) || !files::readTextFile(path, content)) {
            ui::MsgBox("Query file does not exist", ui::MsgButtons::OK, ui::MsgIcon::Critical);
            return;
        }
        txtQuery->setPlainText(QString::fromUtf8(content.data(), static_cast<qsizetype>(content.size())));
        sQueryFile = path;
        showTitle();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmBrenik.OpenQueryFile");
    }
}

void frmBrenik::SaveQueryFile(bool saveAs) {
    try {
        std::string path = saveAs ? std::string() : sQueryFile;
        if (path.empty()) {
            path = chosenPath(ui::prompter().chooseFile({"Save", "SQL Query file | *.sql", dialogFolder(), true}),
                              "*.sql");
            if (path.empty()) return;
            keepFolder(path);
        }
        const QByteArray bytes = txtQuery->toPlainText().toUtf8();
        errno = 0;
        if (!files::writeTextFile(path, std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))) {
            HandleError(files::errorNumberOf(errno), "The query file " + path + " could not be written.",
                        "frmBrenik.SaveQueryFile");
            return;
        }
        sQueryFile = path;
        showTitle();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmBrenik.SaveQueryFile");
    }
}

std::string frmBrenik::resultHtml() {
    const long long rows = rQuery.recordCount();
    const int columns = rQuery.fieldCount();
    size_t size = 512;
    for (long long r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) size += rQuery.cell(r, c).bytes.size() + 24;
    std::string html;
    html.reserve(size);
    html += "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta charset=\"utf-8\">\r\n<title>";
    appendHtml(html, sDatabaseName.empty() ? std::string("Query result") : "Query result - " + sDatabaseName);
    html += "</title>\r\n</head>\r\n<body>\r\n<table border=\"1\" cellspacing=\"1\" cellpadding=\"1\">\r\n<tr>";
    for (int c = 0; c < columns; ++c) {
        html += "<th>";
        appendHtml(html, rQuery.fieldInfo(c).name);
        html += "</th>";
    }
    html += "</tr>\r\n";
    for (long long r = 0; r < rows; ++r) {
        html += "<tr>";
        for (int c = 0; c < columns; ++c) {
            const db::Cell v = rQuery.cell(r, c);
            html += "<td>";
            if (v.kind == db::ValueKind::Text || v.kind == db::ValueKind::Binary)
                appendHtml(html, v.bytes);
            else
                appendHtml(html, model_->scalarText(v, c));
            html += "&nbsp;</td>";
        }
        html += "</tr>\r\n";
    }
    html += "</table>\r\n</body>\r\n</html>\r\n";
    return html;
}

void frmBrenik::SaveQueryOutputAsHTML() {
    try {
        if (!rQuery.isOpen()) {
            ui::MsgBox("No results found to save", ui::MsgButtons::OK, ui::MsgIcon::Critical);
            return;
        }
        // Every row belongs in the file: a fetch still running is completed first.
        if (job_.valid()) {
            if (discardJob_) {
                cancelJob();
            } else {
                job_.wait();
                startNext();
            }
        }
        if (rQuery.isOpen() && !rQuery.fetchComplete()) {
            ui::WaitCursor wait;
            rQuery.fetchAll();
            rQuery_FetchComplete(rQuery.recordCount());
        }
        if (!rQuery.isOpen()) {
            ui::MsgBox("No results found to save", ui::MsgButtons::OK, ui::MsgIcon::Critical);
            return;
        }
        if (rQuery.recordCount() == 0) {
            ui::MsgBox("Please run query and try to save", ui::MsgButtons::OK, ui::MsgIcon::Critical);
            return;
        }
        const std::string path =
            chosenPath(ui::prompter().chooseFile({"Save", "HTML file | *.html", dialogFolder(), true}), "*.html");
        if (path.empty()) return;
        keepFolder(path);
        ui::WaitCursor wait;
        // UTF-8, marked so that every browser reads it as such.
        std::string html = resultHtml();
        html.insert(0, "\xEF\xBB\xBF");
        errno = 0;
        if (!files::writeTextFile(path, html))
            HandleError(files::errorNumberOf(errno), "The file " + path + " could not be written.",
                        "frmBrenik.SaveQueryOutputAsHTML");
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmBrenik.SaveQueryOutputAsHTML");
    }
}

QWidget* frmBrenik::activeControl() const {
    QWidget* w = QApplication::focusWidget();
    // The grid's viewport holds the focus for the grid.
    while (w && w != txtQuery && w != dgResult && w != txtMessages) w = w->parentWidget();
    return w;
}

void frmBrenik::CutCopyText(bool cut) {
    try {
        QWidget* active = activeControl();
        if (!active) return;
        QString selected;
        if (active == dgResult) {
            if (cut) return;
            QModelIndexList cells = dgResult->selectionModel()->selectedIndexes();
            std::sort(cells.begin(), cells.end());
            int row = -1;
            for (const QModelIndex& i : cells) {
                if (row != -1) selected += i.row() == row ? "\t" : "\n";
                row = i.row();
                selected += i.data(RecordsetModel::WholeValueRole).toString();
            }
        } else {
            auto* edit = static_cast<QPlainTextEdit*>(active);
            selected = edit->textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n');
        }
        if (selected.isEmpty()) return;
        QApplication::clipboard()->setText(selected);
        if (cut) {
            QTextCursor c = static_cast<QPlainTextEdit*>(active)->textCursor();
            c.removeSelectedText();
            static_cast<QPlainTextEdit*>(active)->setTextCursor(c);
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmBrenik.CutCopyText");
    }
}

void frmBrenik::PasteText() {
    if (activeControl() != txtQuery) return;
    txtQuery->insertPlainText(QApplication::clipboard()->text());
}
