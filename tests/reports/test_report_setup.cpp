// The report setup dialog against the options object and the installed layout catalogue.
#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/cReport.h"
#include "platform/fs/Paths.h"
#include "reports/frmReportSetup.h"
#include "startup/bStartup.h"
#include "support/ProgramFolders.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <filesystem>

namespace {

class ReportSetup : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedPrompter prompts;
    std::vector<std::string> errors;

    void SetUp() override {
        testsupport::useProgramFolders(dir);
        PreviewFolder = files::joinPath(AppFolder, "preview");
        std::filesystem::copy_file(files::joinPath(DALV_SOURCE_DIR, "data/dvreport.xml"),
                                   files::joinPath(DataFolder, "dvreport.xml"));
        setErrorDialogHook([this](long, const std::string& d, const std::string& s) { errors.push_back(s + ": " + d); });
        ASSERT_TRUE(InitReportEngine());
    }
    void TearDown() override {
        setErrorDialogHook(nullptr);
        ReleaseReportEngine();
        ErrorShown = false;
    }
    static void choose(QComboBox* list, const QString& text) {
        const int i = list->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        list->setCurrentIndex(i);
        emit list->activated(i);
    }
    static void pick(QListWidget* list, int row) {
        list->setCurrentRow(row);
        emit list->itemClicked(list->item(row));
    }
};

TEST_F(ReportSetup, EveryControlRoundTripsThroughTheOptions) {
    cReport& r = *oReportEngine;
    r.WORD_ObjectsPerPage(6);
    r.Word_IntroDocument("/somewhere/own intro.docx");
    {
        frmReportSetup d;
        EXPECT_EQ(d.cboReportLayout->currentText(), "Standard");
        EXPECT_EQ(d.cboStyleSheet->currentText(), "Blue");
        EXPECT_EQ(d.PreviewPicture, files::joinPath(PreviewFolder, "ReportFormat1a.png"));
        EXPECT_EQ(d.txtTablesPerPage->text(), "6");
        EXPECT_FALSE(d.chkNameSpace->isChecked());
        EXPECT_FALSE(d.pctNamespace->isEnabled());
        // The default title font.
        EXPECT_EQ(d.lblCurrentFont->text(), "Arial,10px,Bold");
        EXPECT_FALSE(d.cmdChangeBackColor->isEnabled());

        d.chkNameSpace->click();
        d.txtNamespace->setText("dv");
        d.txtNameSpaceURI->setText("urn:dalvane:test");
        d.txtNumberOfPages->setText("12");
        choose(d.cboReportLayout, "Printer Friendly");
        EXPECT_EQ(d.cboStyleSheet->currentText(), "Printer Friendly");

        // Table Title: back, fore and font; another item in between keeps the edits.
        pick(d.lstDiagram, 2);
        prompts->colorAnswers = {0x112233, 0x445566};
        d.cmdChangeBackColor->click();
        d.cmdForeColor->click();
        // A dialog opens on the colour chosen before; cancelling it keeps that colour.
        d.cmdChangeBackColor->click();
        EXPECT_EQ(prompts->colorRequests.back(), 0x112233);
        EXPECT_EQ(d.shpBackColor->property("FillColor").value<QColor>(), QColor(0x33, 0x22, 0x11));
        prompts->fontAnswers = {ui::FontChoice{"DejaVu Sans", 12, true, true}};
        d.cmdChangeFont->click();
        EXPECT_EQ(d.lblCurrentFont->text(), "DejaVu Sans,12px,Bold,Underline");
        pick(d.lstDiagram, 0);
        pick(d.lstDiagram, 2);
        prompts->fontAnswers = {ui::FontChoice{"DejaVu Sans", 12.5, false, false}};
        d.cmdChangeFont->click();
        EXPECT_EQ(d.lblCurrentFont->text(), "DejaVu Sans,12.5px");
        // Lines colour the single lines too.
        pick(d.lstDiagram, 5);
        prompts->colorAnswers = {0x0000FF};
        d.cmdChangeBackColor->click();
        EXPECT_EQ(d.sample->Line2.borderColor, QColor(255, 0, 0));

        d.OKButton->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_EQ(r.XML_Namespace(), "dv");
    EXPECT_EQ(r.XML_NamespaceURI(), "urn:dalvane:test");
    EXPECT_TRUE(r.HTML_MultipleHTMLs());
    EXPECT_EQ(r.HTML_ObjectsPerPage(), 12);
    EXPECT_EQ(r.HTML_CurrentXSL(), files::joinPath(StylesFolder, "PrinterFriendly.xsl"));
    EXPECT_EQ(r.HTML_CurrentCSS(), files::joinPath(StylesFolder, "PrinterFriendly.css"));
    EXPECT_EQ(r.HTML_LayoutIndex(), 1);
    EXPECT_EQ(r.HTML_StyleSheetIndex(), 0);
    EXPECT_EQ(r.HTML_ImagePrefix(), "pf1");
    EXPECT_EQ(r.HTML_ColourScheme(), "Black");
    // OK keeps the Word options it was opened with.
    EXPECT_EQ(r.WORD_ObjectsPerPage(), 6);
    EXPECT_EQ(r.Word_IntroDocument(), "/somewhere/own intro.docx");
    EXPECT_EQ(r.TableTitleBackColor(), 0x112233);
    EXPECT_EQ(r.TableTitleTextColor(), 0x445566);
    EXPECT_EQ(r.TableTitleFontName(), "DejaVu Sans");
    EXPECT_EQ(r.TableTitleFontSize(), 12);
    EXPECT_FALSE(r.TableTitleFontBold());
    EXPECT_EQ(r.LineColor(), 0x0000FF);
    EXPECT_EQ(r.TitleFontName(), "Arial");

    frmReportSetup again;
    EXPECT_TRUE(again.chkNameSpace->isChecked());
    EXPECT_EQ(again.txtNamespace->text(), "dv");
    EXPECT_EQ(again.txtNumberOfPages->text(), "12");
    EXPECT_EQ(again.cboReportLayout->currentText(), "Printer Friendly");
    pick(again.lstDiagram, 2);
    EXPECT_EQ(again.lblCurrentFont->text(), "DejaVu Sans,12px");
    again.chkHideIntro->click();
    again.txtTablesPerPage->clear();
    again.chkGenerateMultipleXML->click();
    EXPECT_EQ(again.txtNumberOfPages->text(), "");
    again.OKButton->click();
    EXPECT_EQ(r.Word_IntroDocument(), "");
    EXPECT_EQ(r.WORD_ObjectsPerPage(), 1);
    EXPECT_FALSE(r.HTML_MultipleHTMLs());
    EXPECT_EQ(r.HTML_ObjectsPerPage(), 0);
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(ReportSetup, InvalidEntriesWriteNothing) {
    cReport& r = *oReportEngine;
    const std::string options = r.ReportOptionsXML().xml(), diagram = r.DiagramSettingsXML().xml();
    struct Case {
        const char* pages;
        const char* wordPages;
        bool nameSpace;
        const char* message;
    };
    const Case cases[] = {
        {"-3", "1", false, "Please enter a valid number."},
        {"1.5", "1", false, "Please enter a valid number."},
        {"40000", "1", false, "Please enter a valid number."},
        {"0", "1", false, "Please enter a valid number."},
        {"5", "x", false, "Please enter a valid number for number objects per page."},
        {"5", "70000", false, "Please enter a valid number for number objects per page."},
        {"5", "1", true, "Please enter a valid Namespace Name"},
    };
    for (const Case& c : cases) {
        frmReportSetup d;
        pick(d.lstDiagram, 1);
        prompts->colorAnswers = {0x00FF00};
        d.cmdChangeBackColor->click();
        d.txtNumberOfPages->setText(c.pages);
        d.txtTablesPerPage->setText(c.wordPages);
        if (c.nameSpace) {
            d.chkNameSpace->click();
            d.txtNamespace->setText("  ");
        }
        d.OKButton->click();
        EXPECT_EQ(prompts->lastMessage(), c.message) << c.pages << " " << c.wordPages;
        EXPECT_EQ(prompts->messages.back().icon, ui::MsgIcon::Critical);
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(r.ReportOptionsXML().xml(), options) << c.pages << " " << c.wordPages;
        EXPECT_EQ(r.DiagramSettingsXML().xml(), diagram);
    }
}

TEST_F(ReportSetup, EntriesAreFoundByTheirNumberAndCustomChoicesCanBeCancelled) {
    // A custom layout in the file comes after the "Custom Layout (XSL)..." entry of the list.
    xml::Document cat;
    ASSERT_TRUE(cat.load(files::joinPath(DataFolder, "dvreport.xml")));
    xml::Node custom = cat.selectSingleNode("REPORT").appendElement("LAYOUT");
    custom.setAttribute("Type", "Custom");
    custom.setAttribute("XSLFile", "/home/u/my layout.xsl");
    xml::Node style = custom.appendElement("STYLE");
    style.setAttribute("Type", "BuiltIn");
    style.setAttribute("Caption", "Plain");
    style.setAttribute("CSSFile", "plain.css");
    ASSERT_TRUE(cat.save(files::joinPath(DataFolder, "dvreport.xml")));
    cReport& r = *oReportEngine;
    r.HTML_LayoutIndex(2);
    r.HTML_StyleSheetIndex(0);

    frmReportSetup d;
    EXPECT_EQ(d.cboReportLayout->currentText(), "/home/u/my layout.xsl");
    EXPECT_EQ(d.cboStyleSheet->currentText(), "Plain");
    // Choosing the custom entry and cancelling the file dialog returns to the entry before.
    d.cboReportLayout_DropDown();
    choose(d.cboReportLayout, "Custom Layout (XSL)...");
    EXPECT_EQ(d.cboReportLayout->currentText(), "/home/u/my layout.xsl");
    // A chosen file becomes a new entry; its style list offers only a custom style sheet.
    prompts->fileAnswers = {"/tmp/other.xsl"};
    choose(d.cboReportLayout, "Custom Layout (XSL)...");
    EXPECT_EQ(d.cboReportLayout->currentText(), "/tmp/other.xsl");
    EXPECT_EQ(d.cboReportLayout->currentData().toInt(), 3);
    EXPECT_EQ(d.cboStyleSheet->count(), 1);
    EXPECT_EQ(d.cboStyleSheet->currentIndex(), -1);
    d.OKButton->click();
    EXPECT_EQ(prompts->lastMessage(), "Please select/enter stylesheet name");
    // Back to the file's custom layout, stored as its full path.
    choose(d.cboReportLayout, "/home/u/my layout.xsl");
    d.OKButton->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(r.HTML_CurrentXSL(), "/home/u/my layout.xsl");
    EXPECT_EQ(r.HTML_CurrentCSS(), files::joinPath(StylesFolder, "plain.css"));
    EXPECT_EQ(r.HTML_LayoutIndex(), 2);
    // The missing image prefix and colour scheme fall back to the defaults.
    EXPECT_EQ(r.HTML_ImagePrefix(), "blu");
    EXPECT_EQ(r.HTML_ColourScheme(), "Blue");

    // Reset Defaults refills the list without duplicates; Edit XSL opens the layout's first page.
    frmReportSetup e;
    const int entries = e.cboReportLayout->count();
    prompts->messageAnswers = {ui::MsgResult::Yes};
    e.cmdResetDefaults->click();
    EXPECT_EQ(e.cboReportLayout->count(), entries);
    EXPECT_EQ(e.cboReportLayout->currentText(), "Standard");
    e.cmdEditXSL->click();
    EXPECT_EQ(prompts->opened.back(), files::joinPath(StylesFolder, "ReportFormat1index.xsl"));
    EXPECT_TRUE(errors.empty()) << errors.front();
}

}  // namespace
