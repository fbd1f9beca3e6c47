// "Report Setup": HTML layout and style sheet, paging, XML namespace, Word options and the
// colours and fonts of the relationship diagram, edited against the options object.
#pragma once

#include "platform/ui/Prompter.h"
#include "platform/xml/Xml.h"

#include <QDialog>
#include <QColor>
#include <QLine>
#include <QRect>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

// The small sample diagram of the "Relationship Diagram" tab, painted from its parts.
class DiagramSample : public QWidget {
public:
    struct Shape {
        QRect rect;
        QColor fillColor, borderColor;
    };
    struct Text {
        QString caption;
        QPoint pos;
        QColor foreColor;
        ui::FontChoice font;
    };
    struct Line {
        QLine line;
        QColor borderColor;
    };

    explicit DiagramSample(QWidget* parent = nullptr);

    QColor backColor;
    Text lblDiagramTitle;
    std::vector<Shape> shpTableHeader, shpTableBorder;
    std::vector<Text> lblTableTitle, lblTableColumn;
    std::vector<Line> lblDiagramLine;
    Line Line1, Line2, Line3;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class frmReportSetup : public QDialog {
public:
    explicit frmReportSetup(QWidget* parent = nullptr);

    // Selects tab (counted from 1) and shows the dialog modally; true when OK stored the settings
    // (the caller then previews the selected node again).
    bool ShowMe(int tab);

    QTabWidget* atReportOptions = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* cmdResetDefaults = nullptr;
    QPushButton* cmdHelp = nullptr;
    // HTML
    QComboBox* cboReportLayout = nullptr;
    QPushButton* cmdEditXSL = nullptr;
    QPushButton* cmdXSLHelp = nullptr;
    QComboBox* cboStyleSheet = nullptr;
    QPushButton* cmdEditCSS = nullptr;
    QPushButton* cmdCSSHelp = nullptr;
    QLabel* pctPreview = nullptr;
    QCheckBox* chkGenerateMultipleXML = nullptr;
    QWidget* pctPages = nullptr;
    QLineEdit* txtNumberOfPages = nullptr;
    // XML
    QCheckBox* chkNameSpace = nullptr;
    QWidget* pctNamespace = nullptr;
    QLineEdit* txtNamespace = nullptr;
    QWidget* pctNameSpaceURI = nullptr;
    QLineEdit* txtNameSpaceURI = nullptr;
    // Word
    QCheckBox* chkHideIntro = nullptr;
    QLineEdit* txtTablesPerPage = nullptr;
    QLabel* pctIntroDoc = nullptr;
    QPushButton* cmdEdit = nullptr;
    // Relationship Diagram
    QListWidget* lstDiagram = nullptr;
    QLabel* shpForeColor = nullptr;
    QPushButton* cmdForeColor = nullptr;
    QLabel* shpBackColor = nullptr;
    QPushButton* cmdChangeBackColor = nullptr;
    QLabel* lblCurrentFont = nullptr;
    QPushButton* cmdChangeFont = nullptr;
    QGroupBox* fraPreview = nullptr;
    DiagramSample* sample = nullptr;

    // The picture shown in pctPreview ("" when none).
    std::string PreviewPicture;
    // The font the font label shows.
    ui::FontChoice CurrentFont;

    void RetrieveReportSettings();
    bool ValidateReportSettings(bool showMessages);
    bool StoreReportSettings();
    void DisableControl(QLineEdit* box);
    void EnableControl(QLineEdit* box);

    void OKButton_Click();
    void CancelButton_Click();
    void cmdResetDefaults_Click();
    void chkGenerateMultipleXML_Click();
    void chkNameSpace_Click();
    void chkHideIntro_Click();
    void cmdEditXSL_Click();
    void cmdEditCSS_Click();
    void cmdEdit_Click();

    // Layout catalogue.
    void AddLayouts();
    void cboReportLayout_DropDown();
    void cboStyleSheet_DropDown();
    void cboReportLayout_Click();
    void cboStyleSheet_Click();
    bool ShowStylePreview();
    bool CustomXSL();
    bool CustomCSS();
    bool AddXSLCustomTag(const std::string& path);
    bool AddCSSCustomTag(const std::string& path);

    // Diagram tab.
    void InitializeDiagramSettings();
    void HandleDiagramSettingsList(int position);
    void UpdatePreview();
    void UpdateDiagramSettings();
    void lstDiagram_Click();
    void cmdForeColor_Click();
    void cmdChangeBackColor_Click();
    void cmdChangeFont_Click();

    // "Arial,10px,Bold": name, size, then Bold and Underline when set.
    static QString FontLabel(const ui::FontChoice& font);

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    xml::Document catalogue_;
    bool catalogueLoaded_ = false;
    bool layoutGuard_ = true;
    bool styleGuard_ = true;
    int savedLayoutPosition_ = -1;
    int savedStylePosition_ = -1;
    bool stored_ = false;

    int selectedNumber(const QComboBox* list) const;
    void selectNumber(QComboBox* list, int number);
    void addCustomEntry(xml::Node parent, const char* element, const char* fileAttribute, const std::string& path,
                        QComboBox* list);
    void setSwatch(QLabel* swatch, const QColor& c);
    static QColor swatchColor(const QLabel* swatch);
    void Form_Load();
};
