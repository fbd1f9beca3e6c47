#include "reports/frmReportSetup.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "core/bGlobalUi.h"
#include "core/bVersion.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "platform/text/Text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>
#include <exception>

namespace {

const char* const kCustomLayout = "Custom Layout (XSL)...";
const char* const kCustomStyle = "Custom StyleSheet (CSS)...";
const QColor kDisabledBack(214, 211, 206);

QString qs(const std::string& s) { return QString::fromStdString(s); }

std::string productTitle() { return ApplicationTitle.empty() ? std::string(ui::kDefaultTitle) : ApplicationTitle; }

bool isTrue(const xml::Node& node, const char* attribute) { return text::upper(node.attribute(attribute)) == "TRUE"; }

// A whole number from 1 to 32767, blanks around allowed.
std::optional<int> positiveCount(const QString& text) {
    const std::string t = text::trim(text.toStdString());
    if (t.empty() || t.size() > 5) return std::nullopt;
    for (char c : t)
        if (c < '0' || c > '9') return std::nullopt;
    const int n = std::stoi(t);
    if (n < 1 || n > 32767) return std::nullopt;
    return n;
}

QColor fromRGB(long v) { return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF)); }
long toRGB(const QColor& c) { return long(c.red()) | (long(c.green()) << 8) | (long(c.blue()) << 16); }

// The catalogue path of layout number n (entry numbers count from 0, XPath from 1).
std::string layoutPath(int n) { return "REPORT/LAYOUT[" + std::to_string(n + 1) + "]"; }
std::string stylePath(int layout, int style) {
    return layoutPath(layout) + "/STYLE[" + std::to_string(style + 1) + "]";
}

// Whole-number font size for the options, within the 16-bit range.
int storedSize(double size) {
    const double r = std::nearbyint(size);
    return r < 1 ? 1 : r > 32767 ? 32767 : int(r);
}

QFont qfont(const ui::FontChoice& f) {
    QFont q(qs(f.name));
    q.setPixelSize(storedSize(f.size));
    q.setBold(f.bold);
    q.setUnderline(f.underline);
    return q;
}

QWidget* container(QWidget* parent, QLineEdit*& box, const char* boxName, const char* containerName) {
    auto* c = new QWidget(parent);
    c->setObjectName(containerName);
    auto* l = new QHBoxLayout(c);
    l->setContentsMargins(0, 0, 0, 0);
    box = new QLineEdit(c);
    box->setObjectName(boxName);
    box->setProperty("Tag", containerName);
    l->addWidget(box);
    return c;
}

QPushButton* button(const char* caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

}  // namespace

// ---------------------------------------------------------------- sample diagram

DiagramSample::DiagramSample(QWidget* parent) : QWidget(parent) {
    setObjectName("sample");
    setMinimumSize(320, 190);
    backColor = Qt::white;
    const ui::FontChoice title{"Verdana", 10, true, false};
    const ui::FontChoice small{"Verdana", 8, false, false};
    lblDiagramTitle = {"SampleDatabase", QPoint(10, 18), Qt::black, title};
    const int columns[2] = {5, 4};
    const int left[2] = {20, 190};
    for (int t = 0; t < 2; ++t) {
        shpTableHeader.push_back({QRect(left[t], 35, 110, 20), QColor(0, 0, 255), QColor(0, 0, 255)});
        shpTableBorder.push_back({QRect(left[t], 55, 110, 16 * columns[t] + 6), Qt::white, QColor(0, 0, 255)});
        lblTableTitle.push_back({"Table Name", QPoint(left[t] + 5, 50), Qt::white, small});
        for (int c = 0; c < columns[t]; ++c)
            lblTableColumn.push_back({QString("Column%1").arg(c + 1), QPoint(left[t] + 5, 70 + 16 * c), Qt::black, small});
    }
    lblDiagramLine.push_back({QLine(130, 90, 160, 90), Qt::black});
    lblDiagramLine.push_back({QLine(160, 90, 160, 110), Qt::black});
    Line1 = {QLine(160, 110, 190, 110), Qt::black};
    Line2 = {QLine(182, 104, 190, 110), Qt::black};
    Line3 = {QLine(182, 116, 190, 110), Qt::black};
}

void DiagramSample::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), backColor);
    auto text = [&](const Text& t) {
        p.setPen(t.foreColor);
        p.setFont(qfont(t.font));
        p.drawText(t.pos, t.caption);
    };
    for (const Line& l : lblDiagramLine) {
        p.setPen(l.borderColor);
        p.drawLine(l.line);
    }
    for (const Line* l : {&Line1, &Line2, &Line3}) {
        p.setPen(l->borderColor);
        p.drawLine(l->line);
    }
    for (const auto* shapes : {&shpTableBorder, &shpTableHeader})
        for (const Shape& s : *shapes) {
            p.setPen(s.borderColor);
            p.setBrush(s.fillColor);
            p.drawRect(s.rect);
        }
    text(lblDiagramTitle);
    for (const Text& t : lblTableTitle) text(t);
    for (const Text& t : lblTableColumn) text(t);
}

// ---------------------------------------------------------------- dialog

frmReportSetup::frmReportSetup(QWidget* parent) : QDialog(parent) {
    setObjectName("frmReportSetup");
    setWindowTitle("Report Setup");
    auto* top = new QVBoxLayout(this);
    atReportOptions = new QTabWidget(this);
    atReportOptions->setObjectName("atReportOptions");
    top->addWidget(atReportOptions);

    // HTML
    auto* html = new QWidget;
    auto* hl = new QVBoxLayout(html);
    auto* fraOutputFormat = new QGroupBox("HTML Format", html);
    fraOutputFormat->setObjectName("fraOutputFormat");
    auto* fg = new QGridLayout(fraOutputFormat);
    auto* lblLayout = new QLabel("Report &Layout (XSL)", fraOutputFormat);
    cboReportLayout = new QComboBox(fraOutputFormat);
    cboReportLayout->setObjectName("cboReportLayout");
    lblLayout->setBuddy(cboReportLayout);
    cmdEditXSL = button("Edit XSL", "cmdEditXSL", fraOutputFormat);
    cmdXSLHelp = button("&Help", "cmdXSLHelp", fraOutputFormat);
    fg->addWidget(lblLayout, 0, 0);
    fg->addWidget(cboReportLayout, 0, 1);
    fg->addWidget(cmdEditXSL, 0, 2);
    fg->addWidget(cmdXSLHelp, 0, 3);
    auto* lblStyle = new QLabel("&StyleSheet (CSS)", fraOutputFormat);
    cboStyleSheet = new QComboBox(fraOutputFormat);
    cboStyleSheet->setObjectName("cboStyleSheet");
    lblStyle->setBuddy(cboStyleSheet);
    cmdEditCSS = button("Edit CSS", "cmdEditCSS", fraOutputFormat);
    cmdCSSHelp = button("&Help", "cmdCSSHelp", fraOutputFormat);
    fg->addWidget(lblStyle, 1, 0);
    fg->addWidget(cboStyleSheet, 1, 1);
    fg->addWidget(cmdEditCSS, 1, 2);
    fg->addWidget(cmdCSSHelp, 1, 3);
    fg->addWidget(new QLabel("Preview", fraOutputFormat), 2, 0);
    pctPreview = new QLabel(fraOutputFormat);
    pctPreview->setObjectName("pctPreview");
    pctPreview->setFixedSize(240, 150);
    pctPreview->setScaledContents(true);
    fg->addWidget(pctPreview, 2, 1, 1, 3);
    hl->addWidget(fraOutputFormat);
    auto* fraHTMLPaging = new QGroupBox("HTML Paging", html);
    fraHTMLPaging->setObjectName("fraHTMLPaging");
    auto* pl = new QHBoxLayout(fraHTMLPaging);
    chkGenerateMultipleXML = new QCheckBox("Specify number of &objects per page", fraHTMLPaging);
    chkGenerateMultipleXML->setObjectName("chkGenerateMultipleXML");
    chkGenerateMultipleXML->setChecked(true);
    pl->addWidget(chkGenerateMultipleXML);
    pctPages = container(fraHTMLPaging, txtNumberOfPages, "txtNumberOfPages", "pctPages");
    txtNumberOfPages->setText("5");
    pl->addWidget(pctPages);
    hl->addWidget(fraHTMLPaging);
    atReportOptions->addTab(html, "HTML");

    // XML
    auto* xmlTab = new QWidget;
    auto* xl = new QVBoxLayout(xmlTab);
    auto* fraXMLSetting = new QGroupBox("XML Options", xmlTab);
    fraXMLSetting->setObjectName("fraXMLSetting");
    auto* xg = new QGridLayout(fraXMLSetting);
    chkNameSpace = new QCheckBox("&Custom Namespace", fraXMLSetting);
    chkNameSpace->setObjectName("chkNameSpace");
    xg->addWidget(chkNameSpace, 0, 0, 1, 2);
    auto* lblNamespace = new QLabel("&Namespace Name", fraXMLSetting);
    xg->addWidget(lblNamespace, 1, 0);
    pctNamespace = container(fraXMLSetting, txtNamespace, "txtNamespace", "pctNamespace");
    lblNamespace->setBuddy(txtNamespace);
    xg->addWidget(pctNamespace, 1, 1);
    auto* lblNameSpaceURI = new QLabel("Namespace &URI", fraXMLSetting);
    xg->addWidget(lblNameSpaceURI, 2, 0);
    pctNameSpaceURI = container(fraXMLSetting, txtNameSpaceURI, "txtNameSpaceURI", "pctNameSpaceURI");
    lblNameSpaceURI->setBuddy(txtNameSpaceURI);
    xg->addWidget(pctNameSpaceURI, 2, 1);
    xl->addWidget(fraXMLSetting);
    xl->addStretch(1);
    atReportOptions->addTab(xmlTab, "XML");

    // Word
    auto* word = new QWidget;
    auto* wl = new QVBoxLayout(word);
    auto* frmWordOptions = new QGroupBox("Word Options", word);
    frmWordOptions->setObjectName("frmWordOptions");
    auto* wg = new QGridLayout(frmWordOptions);
    chkHideIntro = new QCheckBox("Hide intro page", frmWordOptions);
    chkHideIntro->setObjectName("chkHideIntro");
    chkHideIntro->setChecked(true);
    chkHideIntro->setToolTip("Ticked, the Word report starts with the intro page below; unticked, it has none.");
    wg->addWidget(chkHideIntro, 0, 0, 1, 2);
    auto* lblTablesPerPage = new QLabel("Number of &objects per page", frmWordOptions);
    wg->addWidget(lblTablesPerPage, 1, 0);
    txtTablesPerPage = new QLineEdit("1", frmWordOptions);
    lblTablesPerPage->setBuddy(txtTablesPerPage);
    txtTablesPerPage->setObjectName("txtTablesPerPage");
    wg->addWidget(txtTablesPerPage, 1, 1);
    wg->addWidget(new QLabel("Customize Intro Page", frmWordOptions), 2, 0);
    pctIntroDoc = new QLabel(frmWordOptions);
    pctIntroDoc->setObjectName("pctIntroDoc");
    wg->addWidget(pctIntroDoc, 2, 1);
    cmdEdit = button("Edit", "cmdEdit", frmWordOptions);
    wg->addWidget(cmdEdit, 2, 2);
    wl->addWidget(frmWordOptions);
    wl->addStretch(1);
    atReportOptions->addTab(word, "Word");

    // Relationship Diagram
    auto* diagram = new QWidget;
    auto* dl = new QHBoxLayout(diagram);
    auto* left = new QVBoxLayout;
    auto* lblDiagramSettings = new QLabel("Diagram Settings", diagram);
    lblDiagramSettings->setObjectName("lblDiagramSettings");
    left->addWidget(lblDiagramSettings);
    lstDiagram = new QListWidget(diagram);
    lstDiagram->setObjectName("lstDiagram");
    lstDiagram->addItems({"Diagram Title", "Diagram Background", "Table Title", "Table Content", "Table Border", "Lines"});
    left->addWidget(lstDiagram);
    auto* sg = new QGridLayout;
    auto swatch = [&](int row, const char* caption, const char* labelName, QLabel*& shape, const char* shapeName,
                      QPushButton*& b, const char* buttonName) {
        auto* l = new QLabel(caption, diagram);
        l->setObjectName(labelName);
        sg->addWidget(l, row, 0);
        shape = new QLabel(diagram);
        shape->setObjectName(shapeName);
        shape->setFixedSize(40, 18);
        shape->setAutoFillBackground(true);
        sg->addWidget(shape, row, 1);
        b = button("...", buttonName, diagram);
        sg->addWidget(b, row, 2);
    };
    swatch(0, "Fore Color", "lblForeColor", shpForeColor, "shpForeColor", cmdForeColor, "cmdForeColor");
    swatch(1, "Back Color", "lblBackColor", shpBackColor, "shpBackColor", cmdChangeBackColor, "cmdChangeBackColor");
    auto* lblFonts = new QLabel("Font", diagram);
    lblFonts->setObjectName("lblFonts");
    sg->addWidget(lblFonts, 2, 0);
    CurrentFont = {"Verdana", 10, true, false};
    lblCurrentFont = new QLabel("Verdana, 10px, Bold", diagram);
    lblCurrentFont->setObjectName("lblCurrentFont");
    sg->addWidget(lblCurrentFont, 2, 1);
    cmdChangeFont = button("...", "cmdChangeFont", diagram);
    sg->addWidget(cmdChangeFont, 2, 2);
    left->addLayout(sg);
    dl->addLayout(left);
    fraPreview = new QGroupBox("Preview", diagram);
    fraPreview->setObjectName("fraPreview");
    auto* prl = new QVBoxLayout(fraPreview);
    sample = new DiagramSample(fraPreview);
    prl->addWidget(sample);
    dl->addWidget(fraPreview, 1);
    atReportOptions->addTab(diagram, "Relationship Diagram");

    auto* buttons = new QHBoxLayout;
    cmdResetDefaults = button("Reset Defaults", "cmdResetDefaults", this);
    cmdHelp = button("&Help", "cmdHelp", this);
    buttons->addWidget(cmdResetDefaults);
    buttons->addWidget(cmdHelp);
    buttons->addStretch(1);
    OKButton = button("OK", "OKButton", this);
    CancelButton = button("Cancel", "CancelButton", this);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    top->addLayout(buttons);

    connect(OKButton, &QPushButton::clicked, this, [this] { OKButton_Click(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelButton_Click(); });
    connect(cmdResetDefaults, &QPushButton::clicked, this, [this] { cmdResetDefaults_Click(); });
    for (QPushButton* b : {cmdHelp, cmdXSLHelp, cmdCSSHelp})
        connect(b, &QPushButton::clicked, this, [this] { KeyHelp(focusWidget() ? focusWidget() : this); });
    connect(chkGenerateMultipleXML, &QCheckBox::clicked, this, [this] { chkGenerateMultipleXML_Click(); });
    connect(chkNameSpace, &QCheckBox::clicked, this, [this] { chkNameSpace_Click(); });
    connect(chkHideIntro, &QCheckBox::clicked, this, [this] { chkHideIntro_Click(); });
    connect(cmdEditXSL, &QPushButton::clicked, this, [this] { cmdEditXSL_Click(); });
    connect(cmdEditCSS, &QPushButton::clicked, this, [this] { cmdEditCSS_Click(); });
    connect(cmdEdit, &QPushButton::clicked, this, [this] { cmdEdit_Click(); });
    connect(cboReportLayout, &QComboBox::activated, this, [this] { cboReportLayout_Click(); });
    connect(cboStyleSheet, &QComboBox::activated, this, [this] { cboStyleSheet_Click(); });
    connect(lstDiagram, &QListWidget::itemClicked, this, [this] { lstDiagram_Click(); });
    connect(cmdForeColor, &QPushButton::clicked, this, [this] { cmdForeColor_Click(); });
    connect(cmdChangeBackColor, &QPushButton::clicked, this, [this] { cmdChangeBackColor_Click(); });
    connect(cmdChangeFont, &QPushButton::clicked, this, [this] { cmdChangeFont_Click(); });
    // A list remembers its position when it is dropped down; the namespace box takes letters only.
    cboReportLayout->installEventFilter(this);
    cboStyleSheet->installEventFilter(this);
    txtNamespace->installEventFilter(this);

    chkNameSpace_Click();
    Form_Load();
}

void frmReportSetup::Form_Load() {
    try {
        layoutGuard_ = styleGuard_ = true;
        catalogueLoaded_ = catalogue_.load(files::joinPath(DataFolder, "dvreport.xml"));
        if (!catalogueLoaded_) return;
        atReportOptions->setCurrentIndex(0);
        RetrieveReportSettings();
        InitializeDiagramSettings();
        lstDiagram->setCurrentRow(0);
        HandleDiagramSettingsList(0);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmReportSetup.Form_Load");
    }
}

bool frmReportSetup::ShowMe(int tab) {
    if (tab >= 1 && tab <= atReportOptions->count()) atReportOptions->setCurrentIndex(tab - 1);
    stored_ = false;
    exec();
    return stored_;
}

bool frmReportSetup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtNamespace && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const QString t = key->text();
        if (t.size() == 1 && t[0].unicode() >= 32 && t[0].unicode() != 127) {
            const char16_t c = t[0].unicode();
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return true;
        }
    } else if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress) {
        if (watched == cboReportLayout) cboReportLayout_DropDown();
        else if (watched == cboStyleSheet) cboStyleSheet_DropDown();
    }
    return QDialog::eventFilter(watched, event);
}

void frmReportSetup::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) KeyHelp(focusWidget() ? focusWidget() : this);
    QDialog::keyReleaseEvent(event);
}

void frmReportSetup::DisableControl(QLineEdit* box) {
    if (auto* c = findChild<QWidget*>(box->property("Tag").toString())) c->setEnabled(false);
    QPalette p = box->palette();
    p.setColor(QPalette::Base, kDisabledBack);
    box->setPalette(p);
}

void frmReportSetup::EnableControl(QLineEdit* box) {
    if (auto* c = findChild<QWidget*>(box->property("Tag").toString())) c->setEnabled(true);
    QPalette p = box->palette();
    p.setColor(QPalette::Base, Qt::white);
    box->setPalette(p);
}

void frmReportSetup::chkGenerateMultipleXML_Click() {
    if (chkGenerateMultipleXML->isChecked()) {
        EnableControl(txtNumberOfPages);
        txtNumberOfPages->setText("5");
    } else {
        DisableControl(txtNumberOfPages);
        txtNumberOfPages->clear();
    }
}

void frmReportSetup::chkNameSpace_Click() {
    if (chkNameSpace->isChecked()) {
        EnableControl(txtNamespace);
        EnableControl(txtNameSpaceURI);
    } else {
        DisableControl(txtNamespace);
        DisableControl(txtNameSpaceURI);
    }
}

void frmReportSetup::chkHideIntro_Click() {
    if (chkHideIntro->checkState() == Qt::PartiallyChecked) return;
    const bool on = chkHideIntro->isChecked();
    pctIntroDoc->setEnabled(on);
    cmdEdit->setEnabled(on);
}

void frmReportSetup::RetrieveReportSettings() {
    try {
        cReport& r = *oReportEngine;
        if (!r.XML_Namespace().empty()) {
            txtNamespace->setText(qs(r.XML_Namespace()));
            txtNameSpaceURI->setText(qs(r.XML_NamespaceURI()));
            chkNameSpace->setChecked(true);
        } else {
            chkNameSpace->setChecked(false);
            txtNamespace->clear();
        }
        chkNameSpace_Click();
        if (!r.HTML_MultipleHTMLs()) {
            chkGenerateMultipleXML->setChecked(false);
            chkGenerateMultipleXML_Click();
            r.HTML_ObjectsPerPage(0);
        } else {
            chkGenerateMultipleXML->setChecked(true);
            EnableControl(txtNumberOfPages);
            txtNumberOfPages->setText(QString::number(r.HTML_ObjectsPerPage()));
        }
        // The Word options as stored, so that OK keeps them.
        txtTablesPerPage->setText(QString::number(r.WORD_ObjectsPerPage()));
        chkHideIntro->setChecked(!r.Word_IntroDocument().empty());
        chkHideIntro_Click();
        AddLayouts();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmReportSetup.RetrieveReportSettings");
    }
}

bool frmReportSetup::ValidateReportSettings(bool showMessages) {
    auto fail = [&](const char* message) {
        if (showMessages) ui::MsgBox(message, ui::MsgButtons::OK, ui::MsgIcon::Critical);
        return false;
    };
    if (cboReportLayout->currentIndex() < 0) return fail("Please select/enter layout name");
    if (cboStyleSheet->currentIndex() < 0) return fail("Please select/enter stylesheet name");
    auto fileCheck = [&](const QComboBox* list, const char* ext, const char* emptyMessage,
                         const char* formatMessage) -> int {
        if (selectedNumber(list) != -1) return 0;
        const std::string t = text::trim(list->currentText().toStdString());
        if (t.empty()) return fail(emptyMessage) ? 0 : 1;
        const auto dot = t.rfind('.');
        if (dot == std::string::npos || text::lower(t.substr(dot + 1)) != ext) return fail(formatMessage) ? 0 : 1;
        return 0;
    };
    if (fileCheck(cboReportLayout, "xsl", "Please enter a valid xsl file name",
                  "Invalid file format, please select a valid xsl file."))
        return false;
    if (fileCheck(cboStyleSheet, "css", "Please enter a valid css file name",
                  "Invalid file format, please select a valid css file."))
        return false;
    if (chkNameSpace->isChecked() && txtNamespace->text().trimmed().isEmpty())
        return fail("Please enter a valid Namespace Name");
    if (chkGenerateMultipleXML->isChecked() && !positiveCount(txtNumberOfPages->text()))
        return fail("Please enter a valid number.");
    if (txtTablesPerPage->text().trimmed().isEmpty()) {
        txtTablesPerPage->setText("1");
        return true;
    }
    if (!positiveCount(txtTablesPerPage->text()))
        return fail("Please enter a valid number for number objects per page.");
    return true;
}

bool frmReportSetup::StoreReportSettings() {
    if (!ValidateReportSettings(true)) return false;
    cReport& r = *oReportEngine;
    // Every value is worked out before anything is written; a failure restores both documents.
    xml::Document reportBefore = r.ReportOptionsXML().clone();
    xml::Document diagramBefore = r.DiagramSettingsXML().clone();
    try {
        const int L = selectedNumber(cboReportLayout);
        const int S = selectedNumber(cboStyleSheet);
        const xml::Node layout = catalogue_.selectSingleNode(layoutPath(L));
        const xml::Node style = catalogue_.selectSingleNode(stylePath(L, S));
        if (!layout || !style) throw std::runtime_error("The chosen layout or style sheet is not in the catalogue");
        auto resolve = [](const xml::Node& entry, const char* attribute, const char* fallback) {
            if (!entry.hasAttribute(attribute)) return files::joinPath(StylesFolder, fallback);
            const std::string file = entry.attribute(attribute);
            if (entry.attribute("Type") == "Custom") return file;
            return files::joinPath(StylesFolder, files::fileName(files::normalizeSeparators(file)));
        };
        const std::string xsl = resolve(layout, "XSLFile", "ReportFormat1.xsl");
        const std::string css = resolve(style, "CSSFile", "ReportFormat1a.css");
        const std::string prefix = style.hasAttribute("ImagePrefix") ? style.attribute("ImagePrefix") : "blu";
        const std::string scheme = style.hasAttribute("ColourScheme") ? style.attribute("ColourScheme") : "Blue";
        const int pages = chkGenerateMultipleXML->isChecked() ? *positiveCount(txtNumberOfPages->text()) : 0;
        const int wordPages = *positiveCount(txtTablesPerPage->text());

        if (chkNameSpace->isChecked()) {
            r.XML_Namespace(txtNamespace->text().toStdString());
            r.XML_NamespaceURI(txtNameSpaceURI->text().toStdString());
        } else {
            r.XML_Namespace("");
            r.XML_NamespaceURI("");
        }
        r.HTML_MultipleHTMLs(chkGenerateMultipleXML->isChecked());
        r.HTML_ObjectsPerPage(pages);
        r.HTML_CurrentXSL(xsl);
        r.HTML_CurrentCSS(css);
        r.HTML_LayoutIndex(L);
        r.HTML_StyleSheetIndex(S);
        r.HTML_ImagePrefix(prefix);
        r.HTML_ColourScheme(scheme);
        r.WORD_ObjectsPerPage(wordPages);
        if (chkHideIntro->checkState() == Qt::Checked) {
            if (r.Word_IntroDocument().empty()) r.Word_IntroDocument(files::joinPath(DataFolder, "intro.docx"));
        } else if (chkHideIntro->checkState() == Qt::Unchecked) {
            r.Word_IntroDocument("");
        }
        UpdateDiagramSettings();
        if (!r.UpdateReportSettings()) throw std::runtime_error("The settings could not be copied into the structures");
        return true;
    } catch (const std::exception& e) {
        r.ReportOptionsXML() = std::move(reportBefore);
        r.DiagramSettingsXML() = std::move(diagramBefore);
        HandleError(-1, e.what(), "frmReportSetup.StoreReportSettings");
        return false;
    }
}

void frmReportSetup::OKButton_Click() {
    if (!StoreReportSettings()) return;
    stored_ = true;
    accept();
}

void frmReportSetup::CancelButton_Click() {
    reject();
    if (QWidget* owner = parentWidget()) {
        owner->window()->raise();
        owner->window()->activateWindow();
    }
}

void frmReportSetup::cmdResetDefaults_Click() {
    try {
        if (ui::MsgBox("Your resetting the selections to default, Are you sure?", ui::MsgButtons::YesNo,
                       ui::MsgIcon::Question) != ui::MsgResult::Yes)
            return;
        SetDefaultReportOptions();
        RetrieveReportSettings();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmReportSetup.cmdResetDefaults_Click");
    }
}

void frmReportSetup::cmdEditXSL_Click() {
    const std::string xsl = oReportEngine->HTML_CurrentXSL();
    // The layout's first page: only the final extension changes.
    ui::prompter().openExternally(files::extensionOf(xsl) == "xsl" ? xsl.substr(0, xsl.size() - 4) + "index.xsl" : xsl);
}

void frmReportSetup::cmdEditCSS_Click() {
    std::string css = files::normalizeSeparators(oReportEngine->HTML_CurrentCSS());
    if (!css.empty() && css[0] != '/') css = files::joinPath(AppFolder, css);
    ui::prompter().openExternally(css);
}

void frmReportSetup::cmdEdit_Click() {
    const std::string intro = oReportEngine->Word_IntroDocument();
    ui::prompter().openExternally(intro.empty() ? files::joinPath(DataFolder, "intro.docx") : intro);
}

// ---------------------------------------------------------------- layout catalogue

int frmReportSetup::selectedNumber(const QComboBox* list) const {
    if (list->currentIndex() < 0) return -2;
    return list->currentData().toInt();
}

// Selecting from code runs no click handler (only the user's choice does).
void frmReportSetup::selectNumber(QComboBox* list, int number) {
    const int position = list->findData(number);
    if (position < 0) throw std::runtime_error("Invalid entry number " + std::to_string(number));
    list->setCurrentIndex(position);
}

void frmReportSetup::AddLayouts() {
    try {
        cReport& r = *oReportEngine;
        layoutGuard_ = false;
        cboReportLayout->clear();
        cboStyleSheet->clear();
        int i = 0, d = 1;
        const bool none = r.HTML_LayoutIndex() == -1;
        for (const xml::Node& layout : catalogue_.selectNodes("/REPORT/LAYOUT[@Type='BuiltIn']")) {
            cboReportLayout->addItem(qs(layout.attribute("Caption")), i);
            if (none && isTrue(layout, "Default")) d = i;
            ++i;
        }
        cboReportLayout->addItem(kCustomLayout, -1);
        for (const xml::Node& layout : catalogue_.selectNodes("/REPORT/LAYOUT[@Type='Custom']")) {
            cboReportLayout->addItem(qs(layout.attribute("XSLFile")), i);
            if (isTrue(layout, "Default")) d = i;
            ++i;
        }
        if (none) r.HTML_LayoutIndex(d);
        layoutGuard_ = true;
        const int position = cboReportLayout->findData(r.HTML_LayoutIndex());
        if (position < 0) {
            cboReportLayout->setCurrentIndex(-1);
            throw std::runtime_error("Stored layout number " + std::to_string(r.HTML_LayoutIndex()) +
                                     " is not in the layout list");
        }
        cboReportLayout->setCurrentIndex(position);
        cboReportLayout_Click();
    } catch (const std::exception& e) {
        layoutGuard_ = true;
        HandleError(-1, e.what(), "frmReportSetup.AddLayouts");
    }
}

void frmReportSetup::cboReportLayout_DropDown() { savedLayoutPosition_ = cboReportLayout->currentIndex(); }
void frmReportSetup::cboStyleSheet_DropDown() { savedStylePosition_ = cboStyleSheet->currentIndex(); }

void frmReportSetup::cboReportLayout_Click() {
    try {
        if (!layoutGuard_ || cboReportLayout->currentIndex() < 0) return;
        cReport& r = *oReportEngine;
        const int L = selectedNumber(cboReportLayout);
        if (L == -1) {
            if (!CustomXSL()) {
                layoutGuard_ = false;
                cboReportLayout->setCurrentIndex(savedLayoutPosition_);
                layoutGuard_ = true;
                return;
            }
            styleGuard_ = false;
            cboStyleSheet->clear();
            cboStyleSheet->addItem(kCustomStyle, -1);
            cboStyleSheet->setCurrentIndex(-1);
            styleGuard_ = true;
        } else {
            styleGuard_ = false;
            cboStyleSheet->clear();
            int j = 0, e = 0;
            const int stored = r.HTML_StyleSheetIndex();
            for (const xml::Node& style : catalogue_.selectNodes("/" + layoutPath(L) + "/STYLE[@Type='BuiltIn']")) {
                cboStyleSheet->addItem(qs(style.attribute("Caption")), j);
                if (stored == -1 && isTrue(style, "Default")) e = j;
                ++j;
            }
            cboStyleSheet->addItem(kCustomStyle, -1);
            if (stored == -1) r.HTML_StyleSheetIndex(e);
            const int wanted = r.HTML_LayoutIndex() == L ? r.HTML_StyleSheetIndex() : 0;
            const int position = cboStyleSheet->findData(wanted);
            cboStyleSheet->setCurrentIndex(position);
            styleGuard_ = true;
            if (position < 0)
                throw std::runtime_error("Stored style number " + std::to_string(wanted) + " is not in the style list");
            cboStyleSheet_Click();
            return;
        }
        if (!ShowStylePreview()) {
            PreviewPicture = files::joinPath(PreviewFolder, "custom.jpg");
            pctPreview->setPixmap(QPixmap(qs(PreviewPicture)));
        }
    } catch (const std::exception& e) {
        layoutGuard_ = styleGuard_ = true;
        HandleError(-1, e.what(), "frmReportSetup.cboReportLayout_Click");
    }
}

void frmReportSetup::cboStyleSheet_Click() {
    try {
        if (!styleGuard_ || cboStyleSheet->currentIndex() < 0) return;
        if (selectedNumber(cboStyleSheet) == -1 && !CustomCSS()) {
            styleGuard_ = false;
            cboStyleSheet->setCurrentIndex(savedStylePosition_);
            styleGuard_ = true;
            return;
        }
        if (!ShowStylePreview()) {
            PreviewPicture = files::joinPath(PreviewFolder, "custom.jpg");
            pctPreview->setPixmap(QPixmap(qs(PreviewPicture)));
        }
    } catch (const std::exception& e) {
        styleGuard_ = true;
        HandleError(-1, e.what(), "frmReportSetup.cboStyleSheet_Click");
    }
}

bool frmReportSetup::ShowStylePreview() {
    try {
        const int L = selectedNumber(cboReportLayout), S = selectedNumber(cboStyleSheet);
        if (L < 0 || S < 0) return false;
        const xml::Node style = catalogue_.selectSingleNode(stylePath(L, S));
        if (!style || !style.hasAttribute("PreviewImage")) return false;
        const std::string picture = files::joinPath(PreviewFolder, files::fileName(style.attribute("PreviewImage")));
        if (!files::fileExists(picture)) return false;
        PreviewPicture = picture;
        pctPreview->setPixmap(QPixmap(qs(picture)));
        return true;
    } catch (...) {
        return false;
    }
}

bool frmReportSetup::CustomXSL() {
    ui::FileRequest req;
    req.title = productTitle() + " - Open Report Layout (XSL)";
    req.filter = "XSL Files | *.xsl";
    req.initialPath = files::joinPath(ReportsFolder, "*.xsl");
    const std::string chosen = ui::prompter().chooseFile(req);
    if (chosen.empty() || text::lower(files::fileName(chosen)) == "*.xsl") return false;
    return AddXSLCustomTag(chosen);
}

bool frmReportSetup::CustomCSS() {
    ui::FileRequest req;
    req.title = productTitle() + " - Open Custom CSS";
    req.filter = "Cascading Style Sheet Files | *.css";
    req.initialPath = files::joinPath(ReportsFolder, "*.css");
    const std::string chosen = ui::prompter().chooseFile(req);
    if (chosen.empty() || text::lower(files::fileName(chosen)) == "*.css") return false;
    if (!files::fileExists(chosen)) return false;
    return AddCSSCustomTag(chosen);
}

// A custom entry (in the in-memory catalogue only), listed by its path and selected.
void frmReportSetup::addCustomEntry(xml::Node parent, const char* element, const char* fileAttribute,
                                    const std::string& path, QComboBox* list) {
    xml::Node entry = parent.appendElement(element);
    entry.setAttribute("Type", "Custom");
    entry.setAttribute(fileAttribute, path);
    entry.setAttribute("Caption", "");
    entry.setAttribute("Default", "False");
    if (std::string(element) == "STYLE") entry.setAttribute("PreviewImage", "Custom.gif");
    const int number = parent.count(element) - 1;
    list->addItem(qs(path), number);
    selectNumber(list, number);
}

bool frmReportSetup::AddXSLCustomTag(const std::string& path) {
    xml::Node report = catalogue_.selectSingleNode("REPORT");
    if (!report) return false;
    addCustomEntry(report, "LAYOUT", "XSLFile", path, cboReportLayout);
    return true;
}

bool frmReportSetup::AddCSSCustomTag(const std::string& path) {
    const int L = selectedNumber(cboReportLayout);
    xml::Node layout = L >= 0 ? catalogue_.selectSingleNode(layoutPath(L)) : xml::Node();
    if (!layout) return false;
    addCustomEntry(layout, "STYLE", "CSSFile", path, cboStyleSheet);
    return true;
}

// ---------------------------------------------------------------- diagram tab

QString frmReportSetup::FontLabel(const ui::FontChoice& font) {
    QString label = qs(font.name) + "," + QString::number(font.size, 'g', 6) + "px";
    if (font.bold) label += ",Bold";
    if (font.underline) label += ",Underline";
    return label;
}

void frmReportSetup::setSwatch(QLabel* swatch, const QColor& c) {
    QPalette p = swatch->palette();
    p.setColor(QPalette::Window, c);
    swatch->setPalette(p);
    swatch->setProperty("FillColor", c);
}

QColor frmReportSetup::swatchColor(const QLabel* swatch) { return swatch->property("FillColor").value<QColor>(); }

void frmReportSetup::InitializeDiagramSettings() {
    try {
        cReport& r = *oReportEngine;
        DiagramSample& s = *sample;
        auto font = [](const std::string& name, int size, bool bold, bool underline) {
            return ui::FontChoice{name, double(size), bold, underline};
        };
        s.backColor = fromRGB(r.DiagramBackColor());
        s.lblDiagramTitle.foreColor = fromRGB(r.HeadingColor());
        s.lblDiagramTitle.font = font(r.TitleFontName(), r.TitleFontSize(), r.TitleFontBold(), r.TitleFontUnderline());
        for (auto& h : s.shpTableHeader) h.fillColor = h.borderColor = fromRGB(r.TableTitleBackColor());
        for (auto& b : s.shpTableBorder) {
            b.borderColor = fromRGB(r.TableBorderColor());
            b.fillColor = fromRGB(r.TableBackColor());
        }
        for (auto& h : s.shpTableHeader) h.borderColor = fromRGB(r.TableBorderColor());
        const auto tableFont = font(r.TableFontName(), r.TableFontSize(), r.TableFontBold(), r.TableFontUnderline());
        for (auto& c : s.lblTableColumn) {
            c.foreColor = fromRGB(r.TableTextColor());
            c.font = tableFont;
        }
        const auto titleFont = font(r.TableTitleFontName(), r.TableTitleFontSize(), r.TableTitleFontBold(),
                                    r.TableTitleFontUnderline());
        for (auto& t : s.lblTableTitle) {
            t.foreColor = fromRGB(r.TableTitleTextColor());
            t.font = titleFont;
        }
        for (auto& l : s.lblDiagramLine) l.borderColor = fromRGB(r.LineColor());
        s.update();
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "frmReportSetup.InitializeDiagramSettings");
    }
}

void frmReportSetup::HandleDiagramSettingsList(int position) {
    if (position < 0 || position > 5) return;
    // The swatches and the font label show the sample, which holds every edit made so far.
    const DiagramSample& s = *sample;
    const bool back = position != 0;
    const bool fore = position == 0 || position == 2 || position == 3;
    const bool font = fore;
    cmdChangeBackColor->setEnabled(back);
    shpBackColor->setEnabled(back);
    cmdForeColor->setEnabled(fore);
    shpForeColor->setEnabled(fore);
    cmdChangeFont->setEnabled(font);
    lblCurrentFont->setEnabled(font);
    switch (position) {
        case 0:
            setSwatch(shpForeColor, s.lblDiagramTitle.foreColor);
            CurrentFont = s.lblDiagramTitle.font;
            break;
        case 1: setSwatch(shpBackColor, s.backColor); break;
        case 2:
            setSwatch(shpBackColor, s.shpTableHeader[0].fillColor);
            setSwatch(shpForeColor, s.lblTableTitle[0].foreColor);
            CurrentFont = s.lblTableTitle[0].font;
            break;
        case 3:
            setSwatch(shpBackColor, s.shpTableBorder[0].fillColor);
            setSwatch(shpForeColor, s.lblTableColumn[0].foreColor);
            CurrentFont = s.lblTableColumn[0].font;
            break;
        case 4: setSwatch(shpBackColor, s.shpTableBorder[0].borderColor); break;
        case 5: setSwatch(shpBackColor, s.lblDiagramLine[0].borderColor); break;
    }
    if (font) lblCurrentFont->setText(FontLabel(CurrentFont));
}

void frmReportSetup::UpdatePreview() {
    DiagramSample& s = *sample;
    const QColor back = swatchColor(shpBackColor), fore = swatchColor(shpForeColor);
    switch (lstDiagram->currentRow()) {
        case 0:
            s.lblDiagramTitle.foreColor = fore;
            s.lblDiagramTitle.font = CurrentFont;
            break;
        case 1: s.backColor = back; break;
        case 2:
            for (auto& h : s.shpTableHeader) h.fillColor = back;
            for (auto& t : s.lblTableTitle) {
                t.foreColor = fore;
                t.font = CurrentFont;
            }
            break;
        case 3:
            for (auto& b : s.shpTableBorder) b.fillColor = back;
            for (auto& c : s.lblTableColumn) {
                c.foreColor = fore;
                c.font = CurrentFont;
            }
            break;
        case 4:
            for (auto& b : s.shpTableBorder) b.borderColor = back;
            for (auto& h : s.shpTableHeader) h.borderColor = back;
            break;
        case 5:
            for (auto& l : s.lblDiagramLine) l.borderColor = back;
            for (auto* l : {&s.Line1, &s.Line2, &s.Line3}) l->borderColor = back;
            break;
        default: return;
    }
    s.update();
}

void frmReportSetup::UpdateDiagramSettings() {
    cReport& r = *oReportEngine;
    const DiagramSample& s = *sample;
    auto setFont = [](const ui::FontChoice& f, auto name, auto size, auto bold, auto underline) {
        name(f.name);
        size(storedSize(f.size));
        bold(f.bold);
        underline(f.underline);
    };
    r.HeadingColor(toRGB(s.lblDiagramTitle.foreColor));
    setFont(
        s.lblDiagramTitle.font, [&](const std::string& v) { r.TitleFontName(v); }, [&](int v) { r.TitleFontSize(v); },
        [&](bool v) { r.TitleFontBold(v); }, [&](bool v) { r.TitleFontUnderline(v); });
    r.DiagramBackColor(toRGB(s.backColor));
    r.TableTitleBackColor(toRGB(s.shpTableHeader[0].fillColor));
    r.TableTitleTextColor(toRGB(s.lblTableTitle[0].foreColor));
    setFont(
        s.lblTableTitle[0].font, [&](const std::string& v) { r.TableTitleFontName(v); },
        [&](int v) { r.TableTitleFontSize(v); }, [&](bool v) { r.TableTitleFontBold(v); },
        [&](bool v) { r.TableTitleFontUnderline(v); });
    r.TableBackColor(toRGB(s.shpTableBorder[0].fillColor));
    r.TableTextColor(toRGB(s.lblTableColumn[0].foreColor));
    setFont(
        s.lblTableColumn[0].font, [&](const std::string& v) { r.TableFontName(v); }, [&](int v) { r.TableFontSize(v); },
        [&](bool v) { r.TableFontBold(v); }, [&](bool v) { r.TableFontUnderline(v); });
    r.TableBorderColor(toRGB(s.shpTableBorder[0].borderColor));
    r.LineColor(toRGB(s.lblDiagramLine[0].borderColor));
}

void frmReportSetup::lstDiagram_Click() {
    HandleDiagramSettingsList(lstDiagram->currentRow() < 0 ? 0 : lstDiagram->currentRow());
}

void frmReportSetup::cmdForeColor_Click() {
    const std::optional<long> c = ui::prompter().chooseColor(toRGB(swatchColor(shpForeColor)));
    if (!c) return;
    setSwatch(shpForeColor, fromRGB(*c));
    UpdatePreview();
}

void frmReportSetup::cmdChangeBackColor_Click() {
    const std::optional<long> c = ui::prompter().chooseColor(toRGB(swatchColor(shpBackColor)));
    if (!c) return;
    setSwatch(shpBackColor, fromRGB(*c));
    UpdatePreview();
}

void frmReportSetup::cmdChangeFont_Click() {
    ui::FontChoice start = CurrentFont;
    if (start.name.empty()) start.name = "Verdana";
    const std::optional<ui::FontChoice> f = ui::prompter().chooseFont(start);
    if (!f) return;
    CurrentFont = *f;
    lblCurrentFont->setText(FontLabel(CurrentFont));
    UpdatePreview();
}
