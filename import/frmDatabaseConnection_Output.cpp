// The connection wizard's report-options and object-selection steps: report kind, current
// settings, destination, the object tree, preview and the first report.
#include "import/frmDatabaseConnection.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "explorer/frmDatabaseExplorer.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "platform/ui/ProgressTarget.h"
#include "platform/ui/Prompter.h"
#include "reports/bXMLSupport.h"
#include "reports/cWord.h"
#include "platform/ui/WaitCursor.h"
#include "platform/text/Text.h"

#include <QApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QLineEdit* readOnlyBox(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setReadOnly(true);
    return e;
}

bool endsWithSeparator(const std::string& s) { return !s.empty() && (s.back() == '/' || s.back() == '\\'); }

bool containsNoCase(const std::string& text, const std::string& part) {
    return text::lower(text).find(text::lower(part)) != std::string::npos;
}

std::size_t lastSeparator(const std::string& s) { return s.find_last_of("/\\"); }

}  // namespace

QWidget* frmDatabaseConnection::buildOutputPage() {
    auto* page = new QWidget(this);
    auto* l = new QVBoxLayout(page);
    auto* top = new QHBoxLayout;

    fraOutput = new QGroupBox("Output Format", page);
    fraOutput->setObjectName("fraOutput");
    auto* ol = new QVBoxLayout(fraOutput);
    const char* kinds[3] = {"HTML", "XML", "Word"};
    for (int i = 0; i < 3; ++i) {
        optOutputType[i] = new QRadioButton(kinds[i], fraOutput);
        optOutputType[i]->setObjectName(QString("optOutputType%1").arg(i));
        ol->addWidget(optOutputType[i]);
        connect(optOutputType[i], &QRadioButton::clicked, this, [this, i] { optOutputType_Click(i); });
    }
    ol->addStretch();
    top->addWidget(fraOutput);

    fraCurrentSettings = new QGroupBox("Current Settings", page);
    fraCurrentSettings->setObjectName("fraCurrentSettings");
    auto* cl = new QVBoxLayout(fraCurrentSettings);
    auto* panels = new QGridLayout;
    for (int i = 0; i < 3; ++i) {
        pctCurrentSettings[i] = new QWidget(fraCurrentSettings);
        pctCurrentSettings[i]->setObjectName(QString("pctCurrentSettings%1").arg(i));
        panels->addWidget(pctCurrentSettings[i], 0, 0);
    }
    {
        auto* f = new QFormLayout(pctCurrentSettings[0]);
        txtHReportLayout = readOnlyBox(pctCurrentSettings[0], "txtHReportLayout");
        txtHStylesheet = readOnlyBox(pctCurrentSettings[0], "txtHStylesheet");
        txtHNumberOfObjects = readOnlyBox(pctCurrentSettings[0], "txtHNumberOfObjects");
        f->addRow("Report &Layout (XSL)", txtHReportLayout);
        f->addRow("&StyleSheet (CSS)", txtHStylesheet);
        f->addRow("Number of objects per page", txtHNumberOfObjects);
    }
    {
        auto* f = new QFormLayout(pctCurrentSettings[1]);
        txtXNameSpace = readOnlyBox(pctCurrentSettings[1], "txtXNameSpace");
        txtXNamespaceURI = readOnlyBox(pctCurrentSettings[1], "txtXNamespaceURI");
        f->addRow("Namespace", txtXNameSpace);
        f->addRow("Namespace URI", txtXNamespaceURI);
    }
    {
        auto* f = new QFormLayout(pctCurrentSettings[2]);
        txtWIntroPage = readOnlyBox(pctCurrentSettings[2], "txtWIntroPage");
        txtWObjectsPerPage = readOnlyBox(pctCurrentSettings[2], "txtWObjectsPerPage");
        f->addRow("Report Intro page path", txtWIntroPage);
        f->addRow("Number of &objects per page", txtWObjectsPerPage);
    }
    cl->addLayout(panels);
    cmdChangeSettings = new QPushButton("Change Settings", fraCurrentSettings);
    cmdChangeSettings->setObjectName("cmdChangeSettings");
    cl->addWidget(cmdChangeSettings, 0, Qt::AlignRight);
    top->addWidget(fraCurrentSettings, 1);
    l->addLayout(top);

    cmdGenerateBatchFile = new QPushButton("Generate Batch File", page);
    cmdGenerateBatchFile->setObjectName("cmdGenerateBatchFile");
    l->addWidget(cmdGenerateBatchFile, 0, Qt::AlignLeft);

    fraDestination = new QGroupBox("Destination", page);
    fraDestination->setObjectName("fraDestination");
    auto* df = new QFormLayout(fraDestination);
    txtDestinationPath = new QLineEdit(fraDestination);
    txtDestinationPath->setObjectName("txtDestinationPath");
    cmdSelectDestination = new QPushButton("&Select", fraDestination);
    cmdSelectDestination->setObjectName("cmdSelectDestination");
    auto* row = new QHBoxLayout;
    row->addWidget(txtDestinationPath, 1);
    row->addWidget(cmdSelectDestination);
    df->addRow("Destination path", row);
    l->addWidget(fraDestination);
    l->addStretch();

    connect(cmdChangeSettings, &QPushButton::clicked, this, [this] { cmdChangeSettings_Click(); });
    connect(cmdGenerateBatchFile, &QPushButton::clicked, this, [this] { cmdGenerateBatchFile_Click(); });
    connect(cmdSelectDestination, &QPushButton::clicked, this, [this] { cmdSelectDestination_Click(); });
    return page;
}

QWidget* frmDatabaseConnection::buildObjectPage() {
    auto* page = new QWidget(this);
    auto* l = new QHBoxLayout(page);
    stMain = new QTreeWidget(page);
    stMain->setObjectName("stMain");
    stMain->setHeaderHidden(true);
    l->addWidget(stMain, 1);
    auto* side = new QVBoxLayout;
    cmdSelectAll = new QPushButton("Select All", page);
    cmdSelectAll->setObjectName("cmdSelectAll");
    cmdDeselectAll = new QPushButton("Deselect All", page);
    cmdDeselectAll->setObjectName("cmdDeselectAll");
    cmdPreview = new QPushButton("Preview", page);
    cmdPreview->setObjectName("cmdPreview");
    side->addWidget(cmdSelectAll);
    side->addWidget(cmdDeselectAll);
    side->addStretch();
    side->addWidget(cmdPreview);
    l->addLayout(side);
    connect(cmdSelectAll, &QPushButton::clicked, this, [this] { cmdSelectAll_Click(); });
    connect(cmdDeselectAll, &QPushButton::clicked, this, [this] { cmdDeselectAll_Click(); });
    connect(cmdPreview, &QPushButton::clicked, this, [this] { cmdPreview_Click(); });
    connect(stMain, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) { stMain_NodeClick(item); });
    return page;
}

// ---- report kind and settings ------------------------------------------------------------

void frmDatabaseConnection::optOutputType_Click(int index) {
    try {
        OutputTypeIndex = index;
        ShowSettings();
        std::string extension;
        switch (index) {
        case 0: OutputKind = "html"; extension = "html"; break;
        case 1: OutputKind = "xml"; extension = "xml"; break;
        case 2: OutputKind = "word"; extension = "docx"; break;  // the Word writer makes .docx files
        default: return;
        }
        txtDestinationPath->setText(qs(AssignInitialPath(extension, txtDestinationPath->text().toStdString())));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.optOutputType_Click");
    }
}

void frmDatabaseConnection::ShowSettings() {
    try {
        for (int i = 0; i < static_cast<int>(pctCurrentSettings.size()); ++i)
            pctCurrentSettings[i]->setVisible(i == OutputTypeIndex);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.ShowSettings");
    }
}

std::string frmDatabaseConnection::AssignInitialPath(const std::string& extensionIn, const std::string& pathIn) {
    try {
        const std::string db = oReportEngine->DatabaseName();
        const std::string& reports = ReportsFolder;
        const std::string extension = text::lower(extensionIn);
        std::string path = qs(pathIn).trimmed().toStdString();
        const std::string folderPart = db + "Report/";
        if (path.empty() && extension != "html") return files::joinPath(reports, db + "report." + extension);
        if (extension == "html" && oReportEngine->HTML_MultipleHTMLs()) {
            if (endsWithSeparator(path)) return containsNoCase(path, folderPart) ? path : path + folderPart;
            if (std::size_t cut = lastSeparator(path); cut != std::string::npos) path = path.substr(0, cut + 1);
            else path = files::joinPath(reports, db + "Report") + "/";
            if (!containsNoCase(path, folderPart)) path += folderPart;
            return path;
        }
        if (endsWithSeparator(path)) {
            for (std::size_t at; (at = path.find(folderPart)) != std::string::npos;) path.erase(at, folderPart.size());
            return path + db + "report." + extension;
        }
        const std::size_t dot = path.rfind('.');
        if (dot != std::string::npos) return path.substr(0, dot + 1) + extension;
        return files::joinPath(reports, db + "report." + extension);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.AssignInitialPath");
        return {};
    }
}

void frmDatabaseConnection::RetrieveReportSettings() {
    try {
        cReport& r = *oReportEngine;
        txtHNumberOfObjects->setText(QString::number(r.HTML_ObjectsPerPage()));
        txtHReportLayout->setText(qs(r.HTML_CurrentXSL()));
        txtHStylesheet->setText(qs(r.HTML_CurrentCSS()));
        txtXNameSpace->setText(qs(r.XML_Namespace()));
        txtXNamespaceURI->setText(qs(r.XML_NamespaceURI()));
        txtWIntroPage->setText(qs(r.Word_IntroDocument()));
        txtWObjectsPerPage->setText(QString::number(r.WORD_ObjectsPerPage()));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.RetrieveReportSettings");
    }
}

void frmDatabaseConnection::cmdChangeSettings_Click() {
    try {
        if (!ReportSetup) {
            ui::MsgBox("The report setup is not available in this version.", ui::MsgButtons::OK,
                       ui::MsgIcon::Information);
            return;
        }
        ReportSetup(this, OutputTypeIndex + 1);
        RetrieveReportSettings();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.cmdChangeSettings_Click");
    }
}

void frmDatabaseConnection::cmdGenerateBatchFile_Click() {
    if (!GenerateBatchFile) {
        ui::MsgBox("The batch-file generator is not available in this version.", ui::MsgButtons::OK,
                   ui::MsgIcon::Information);
        return;
    }
    GenerateBatchFile(this);
}

// ---- destination -------------------------------------------------------------------------

bool frmDatabaseConnection::writeWordReport(const std::string& path) {
    std::string text;
    if (!oReportEngine->ApplyXSL(files::joinPath(StylesFolder, "WordFormat1.xsl"), false, &text)) return false;
    cWord word(oReportEngine);
    return word.GenerateWordDocument(text, path);
}

void frmDatabaseConnection::cmdSelectDestination_Click() {
    try {
        frmDatabaseExplorer* main = frmDatabaseExplorer::instance();
        if (!main) return;
        std::string result;
        if (optOutputType[1]->isChecked()) {
            result = main->SaveXML(true);
        } else if (optOutputType[0]->isChecked()) {
            result = main->SaveHTML(true);
        } else if (optOutputType[2]->isChecked()) {
            std::string path;
            result = main->SaveInWord(path, true);
        }
        DestinationPath = result;
        if (!result.empty()) txtDestinationPath->setText(qs(result));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.cmdSelectDestination_Click");
    }
}

// ---- object tree -------------------------------------------------------------------------

void frmDatabaseConnection::setCheck(QTreeWidgetItem* node, bool checked) {
    node->setData(0, kPictureRole, checked ? "CHECKED" : "UNCHECKED");
    node->setData(0, kIncludedRole, checked ? "True" : "False");
    node->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void frmDatabaseConnection::InitializeTreeView() {
    try {
        stMain->clear();
        nodesByKey_.clear();
        const int g = oReportEngine->CurrentDatabaseGroup();
        xml::Node folder = oStructures.selectSingleNode("DATABASESTRUCTURES/DATABASEGROUP[" + std::to_string(g) + "]");
        if (!folder) return;
        auto* root = new QTreeWidgetItem(stMain);
        // Checks are drawn for the picture only; a click on the node toggles them.
        root->setFlags(root->flags() & ~Qt::ItemIsUserCheckable);
        root->setText(0, qs(folder.attribute("Name")));
        root->setData(0, kKeyRole, qs(folder.attribute("Key")));
        root->setData(0, kPathRole, qs(folder.attribute("RHXPath")));
        root->setIcon(0, QIcon(qs(files::joinPath(ImagesFolder, "tree_databasegroup.svg"))));
        setCheck(root, true);
        nodesByKey_.insert(qs(folder.attribute("Key")), root);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "InitializeTreeView");
    }
}

void frmDatabaseConnection::DisplayNodes(const xml::Node& element, int level) {
    try {
        if (!element) return;
        const bool shown = !(element.hasAttribute("Display") && element.attribute("Display") != "1") &&
                           element.hasAttribute("Key");
        if (shown) {
            xml::Node parentElement = element.parent();
            const QString parentKey =
                parentElement && parentElement.isElement() ? qs(parentElement.attribute("Key")) : QString();
            QTreeWidgetItem* parent = parentKey.isEmpty() ? nullptr : nodesByKey_.value(parentKey, nullptr);
            auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(stMain);
            node->setFlags(node->flags() & ~Qt::ItemIsUserCheckable);
            const QString key = qs(element.attribute("Key"));
            node->setText(0, qs(element.attribute("Name")));
            node->setData(0, kKeyRole, key);
            nodesByKey_.insert(key, node);
            if (level < 4)
                for (QTreeWidgetItem* p = node->parent(); p; p = p->parent()) p->setExpanded(true);
            const QString image = qs(element.attribute("TreeImage")).trimmed();
            if (!image.isEmpty())
                node->setIcon(0, QIcon(qs(files::joinPath(ImagesFolder, "tree_" + image.toLower().toStdString() + ".svg"))));
            setCheck(node, true);
            if (element.hasAttribute("RHXPath")) node->setData(0, kPathRole, qs(element.attribute("RHXPath")));
        }
        for (const xml::Node& child : element.childElements()) DisplayNodes(child, level + 1);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.DisplayNodes");
    }
}

void frmDatabaseConnection::cmdSelectAll_Click() {
    try {
        TreeCheck(true);
        cmdSelectAll->setEnabled(false);
        cmdDeselectAll->setEnabled(true);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cmdSelectAll_Click");
    }
}

void frmDatabaseConnection::cmdDeselectAll_Click() {
    try {
        TreeCheck(false);
        cmdSelectAll->setEnabled(true);
        cmdDeselectAll->setEnabled(false);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cmdDeselectAll_Click");
    }
}

void frmDatabaseConnection::TreeCheck(bool state) {
    try {
        for (QTreeWidgetItemIterator it(stMain); *it; ++it) setCheck(*it, state);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "TreeCheck");
    }
}

void frmDatabaseConnection::stMain_NodeClick(QTreeWidgetItem* node) {
    try {
        if (!node) return;
        setCheck(node, node->data(0, kPictureRole).toString() != "CHECKED");
        SelectChildren(node);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.stMain_NodeClick");
    }
}

void frmDatabaseConnection::SelectChildren(QTreeWidgetItem* node) {
    try {
        const bool checked = node->data(0, kPictureRole).toString() == "CHECKED";
        for (int i = 0; i < node->childCount(); ++i) {
            setCheck(node->child(i), checked);
            SelectChildren(node->child(i));
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmDatabaseConnection.SelectChildren");
    }
}

void frmDatabaseConnection::UpdateXMLForReport() {
    try {
        if (!oReportEngine->oResultXML) return;
        xml::Document& doc = *oReportEngine->oResultXML;
        for (QTreeWidgetItemIterator it(stMain); *it; ++it) {
            const bool included = (*it)->data(0, kIncludedRole).toString() == "True";
            const QString pathText = (*it)->data(0, kPathRole).toString();
            std::string path;
            bool numeric = false;
            pathText.toDouble(&numeric);
            if (numeric) {
                const QString whole = pathText.section(qs(DecimalSymbol.empty() ? "." : DecimalSymbol), 0, 0);
                path = GetXPath(whole.toInt());
            } else {
                path = pathText.toStdString();
            }
            if (path.empty()) continue;
            xml::Node target = doc.selectSingleNode(path);
            if (target && target.hasAttribute("Report")) target.setAttribute("Report", included ? "1" : "0");
        }
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "UpdateXMLForReport");
    }
}

// ---- preview and report ------------------------------------------------------------------

void frmDatabaseConnection::cmdPreview_Click() {
    try {
        UpdateXMLForReport();
        const bool multiple = oReportEngine->HTML_MultipleHTMLs();
        const std::string destination = DestinationPath;
        oReportEngine->HTML_MultipleHTMLs(false);
        bool wordReplaced = false;
        if (optOutputType[1]->isChecked()) {
            DestinationPath = files::joinPath(TempFolder, "tempdalvpreview.xml");
        } else if (optOutputType[0]->isChecked()) {
            DestinationPath = files::joinPath(TempFolder, "tempdalvpreview.html");
        } else if (optOutputType[2]->isChecked()) {
            optOutputType[1]->setChecked(true);
            wordReplaced = true;
            DestinationPath = files::joinPath(TempFolder, "tempdalvpreview.html");
        }
        if (FinalSave()) ui::prompter().openExternally(DestinationPath);
        if (wordReplaced) optOutputType[2]->setChecked(true);
        oReportEngine->HTML_MultipleHTMLs(multiple);
        DestinationPath = destination;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cmdPreview_Click");
    }
}

bool frmDatabaseConnection::FinalSave() {
    try {
        // The reports are written beside the windows, which stay alive where Finish lets them.
        if (optOutputType[1]->isChecked()) {
            bool saved = false;
            ui::runLettingEventsRun([&] { saved = oReportEngine->SaveXML(DestinationPath, true, false); });
            return saved;
        }
        if (optOutputType[0]->isChecked()) {
            if (!containsNoCase(DestinationPath, ".html") && !files::folderExists(DestinationPath) &&
                !files::createFolder(DestinationPath))
                throw std::runtime_error("The folder " + DestinationPath + " cannot be created.");
            const bool multiple = oReportEngine->HTML_MultipleHTMLs();
            ui::runLettingEventsRun([&] { DestinationPath = bXMLSupport::SaveAsHTML(DestinationPath, multiple); });
            return !DestinationPath.empty();
        }
        if (optOutputType[2]->isChecked()) {
            ui::WaitCursor wait;
            frmDatabaseExplorer* main = frmDatabaseExplorer::instance();
            return main ? !main->SaveInWord(DestinationPath, true).empty() : writeWordReport(DestinationPath);
        }
        return true;
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "FinalSave");
        return false;
    }
}
