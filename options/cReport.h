// The options object and report engine: connection options (DBOPTIONS), report options
// (REPORTOPTIONS), diagram settings (DIAGRAM) and the engine catalogue (DBENGINES), each an XML
// document; import dispatch to the structure readers; two-stage XSL rendering; structure files.
//
// Properties are get/set pairs under one name: X() reads, X(value) writes. A setter only writes
// into an attribute that already exists; a getter returns "", 0 or false when it is missing.
#pragma once

#include "platform/xml/Xml.h"

#include <functional>
#include <memory>
#include <string>

class cReport {
public:
    cReport();
    ~cReport();
    cReport(const cReport&) = delete;
    cReport& operator=(const cReport&) = delete;

    // ---- public data -------------------------------------------------------------------
    std::string ConnectionType;        // technology of the last OpenDalvDatabase
    // The Access reader ("ADOX"/"DAO") chosen in the wizard while it is open, or "". It applies
    // to Access engines only.
    std::string AccessConnectionType;
    int m_CurrentDatabaseEngineId = -1;
    int LastDBEngineId = -1;
    std::string LastDBEngineName;
    // The structure document of the current connection; null when none. After an import it is
    // the reader's own document.
    std::shared_ptr<xml::Document> oResultXML;
    std::shared_ptr<xml::Document>& oStructureDocument = oResultXML;  // the same, by its other name
    std::string PrinterFriendlyXSL;
    std::string PrinterFriendlyCSS;

    // The option documents (root DBOPTIONS, REPORTOPTIONS, DIAGRAM, DBENGINES).
    xml::Document& DBOptionsXML() { return dbOptions_; }
    xml::Document& ReportOptionsXML() { return reportOptions_; }
    xml::Document& DiagramSettingsXML() { return diagram_; }
    const xml::Document& DBEnginesXML() const { return dbEngines_; }
    // The preview document made by PreparePreview; null before the first preview.
    std::shared_ptr<xml::Document> PreviewXML() const { return oPreviewXML_; }

    // ---- connection options ------------------------------------------------------------
    void InitializeDBOptions();

    std::string DBServerName() const;
    void DBServerName(const std::string& v);
    std::string AuthenticationMode() const;
    void AuthenticationMode(const std::string& v);
    std::string DatabaseName() const;
    void DatabaseName(const std::string& v);
    std::string UserName() const;
    void UserName(const std::string& v);
    std::string Password() const;
    void Password(const std::string& v);
    std::string AccessDatabasePassword() const;
    void AccessDatabasePassword(const std::string& v);
    std::string DatabasePath() const;
    void DatabasePath(const std::string& v);
    std::string WorkgroupDatabase() const;
    void WorkgroupDatabase(const std::string& v);
    bool SortTableStructure() const;
    void SortTableStructure(bool v);
    std::string ConnectionString() const;
    void ConnectionString(const std::string& v);
    std::string XMLFilePath() const;
    void XMLFilePath(const std::string& v);
    int CurrentDatabaseGroup() const;
    void CurrentDatabaseGroup(int v);
    int CurrentDatabaseNumber() const;
    void CurrentDatabaseNumber(int v);

    // OLE DB-style connection string from the non-empty parameters ("Name=Value;..."), values
    // quoted where they hold ';', '=', quotes or outer blanks; for "OTHERS" the user's own
    // string. Also stored in DBOPTIONS/CONNECTIONSTRING/@Value and ConnectionString().
    std::string BuildConnectionString();

    // ---- engine catalogue --------------------------------------------------------------
    void CurrentDatabaseEngineId(int id);
    int CurrentDatabaseEngineId() const;  // from DBOPTIONS/MOREINFO/SERVER/@DBEngineId
    bool ResetConnectionString();
    std::string CurrentDatabaseEngineName() const;
    std::string CurrentDatabaseEngineCaption() const;
    std::string CurrentMigrationCode() const;
    std::string DatabaseEngine() const;  // catalogue Caption of CurrentDatabaseEngineId()
    bool RefreshDBEnginesXML();

    // ---- import ------------------------------------------------------------------------
    // Creates the reader for the engine's access technology and opens the database.
    bool OpenDalvDatabase();
    // Fetches the structure through the opened reader, completes it and files it in the
    // project document (oStructures) as a new connection (AddAsNew) or the current one.
    bool ImportDatabase(bool AddAsNew);
    std::string GenerateSummary();
    // Adds a folder to the project document (oStructures), makes it current and returns it
    // (null after a failure).
    xml::Node AddNewGroupName(const std::string& name);
    // Asks a running import to stop (honoured at the reader's next progress event).
    void CancelImport();
    bool ImportRunning() const { return importing_; }
    // The last import was asked to stop (it stops at its reader's next progress event).
    bool ImportCancelled() const { return cancelRequested_; }

    // ---- report options ----------------------------------------------------------------
    void InitializeReportOptions();
    bool LoadReportOptionsXML(const std::string& sReportOptionsXML);

    bool HTML_PrinterFriendly() const;
    void HTML_PrinterFriendly(bool v);
    bool HTML_MultipleHTMLs() const;
    void HTML_MultipleHTMLs(bool v);
    std::string HTML_CurrentXSL() const;
    void HTML_CurrentXSL(const std::string& v);
    std::string HTML_CurrentCSS() const;
    void HTML_CurrentCSS(const std::string& v);
    std::string HTML_ImagePrefix() const;
    void HTML_ImagePrefix(const std::string& v);
    std::string HTML_ImagePath() const;
    void HTML_ImagePath(const std::string& v);
    std::string HTML_ColourScheme() const;
    void HTML_ColourScheme(const std::string& v);
    int HTML_LayoutIndex() const;
    void HTML_LayoutIndex(int v);
    int HTML_StyleSheetIndex() const;
    void HTML_StyleSheetIndex(int v);
    int HTML_ObjectsPerPage() const;
    void HTML_ObjectsPerPage(int v);
    std::string XML_Namespace() const;
    void XML_Namespace(const std::string& v);
    std::string XML_NamespaceURI() const;
    void XML_NamespaceURI(const std::string& v);
    std::string Word_IntroDocument() const;
    void Word_IntroDocument(const std::string& v);
    int WORD_ObjectsPerPage() const;
    void WORD_ObjectsPerPage(int v);
    int PreviewFormat() const;
    void PreviewFormat(int v);

    // ---- rendering ---------------------------------------------------------------------
    // Structure (or, with bPreview and a preview present, the preview document) through
    // styles/ReportXML.xsl, then through sXSLFileName (given params). Outputs are written only
    // when given.
    bool ApplyXSL(const std::string& sXSLFileName, bool bPreview, std::string* sHTMLContent = nullptr,
                  std::string* sXMLContent = nullptr, const xml::XsltParams& params = {},
                  const xml::ResultDocumentSink& documents = nullptr);
    // The structure (or preview) through styles/ReportXML.xsl, as ApplyXSL renders it; its text
    // too when asked. Kept while a FirstStageReuse lives. Null after a failure it has reported.
    const xml::Document* FirstStageDocument(bool bPreview = false, std::string* sXMLContent = nullptr);
    // Tells the user a style sheet failed, and why.
    static void ReportXslFailure(const std::string& sheet, const std::string& reason);
    // Takes the unused XSL-FO namespace declaration out of a rendered text.
    static void WithoutFoNamespace(std::string& text);
    // While an object of this class lives, ApplyXSL runs the first stage once and reuses its
    // result for every layout sheet (the pages of one export see one unchanged structure).
    class FirstStageReuse {
    public:
        explicit FirstStageReuse(cReport& r) : r_(r) { r_.reuseFirstStage_ = true; }
        ~FirstStageReuse() {
            r_.reuseFirstStage_ = false;
            r_.firstStage_.reset();
        }
        FirstStageReuse(const FirstStageReuse&) = delete;
        FirstStageReuse& operator=(const FirstStageReuse&) = delete;

    private:
        cReport& r_;
    };
    bool PreparePreview(long lWindowHandle, const std::string& sPreviewXPath, std::string& sPreviewHTML,
                        std::string& sPreviewXML, std::string& sPrintLayoutHTML, const std::string& page = "");
    // Copy of the part of the structure a tree key names; an empty document for nothing.
    xml::Document GetXPath(const std::string& key);
    std::string ScriptXSL() const;
    // Parameters of the script sheet: driver, the ODBC driver the connection string reaches.
    xml::XsltParams ScriptParameters() const;
    bool UpdateReportSettings();

    // ---- structure files ---------------------------------------------------------------
    // Writes the structure to a new private temporary file and records it as TempXMLFileName;
    // throws files::FileError when the file cannot be written.
    void WriteTempFile();
    // The same, telling the user of any failure.
    void SaveTempFile();
    bool SaveXML(const std::string& sPXMLFileName, bool bSelected, bool bPreview);
    bool LoadCurrentDBXML(const std::string& path);
    bool LoadDBOptionsXML(const std::string& sDBOptionsXML);
    bool ClearRemovedDBInfo(const std::string& path);

    // The diagram picture of the current connection, or "".
    std::string GetDiagramFileName();

    // ---- relationship diagram ----------------------------------------------------------
    // Finds or assigns the current connection's diagram file, builds its diagram afresh from
    // the structure (keeping saved positions; the file itself is not written) and, when
    // bEditDiagram is false and there is no picture yet, asks whether to generate it
    // (bEditDiagram becomes the answer).
    bool ShowRelationshipDiagram(unsigned long long lHandletoWindow, bool& bEditDiagram, std::string& sDiagramJPGFile,
                                 std::string& sDiagramXMLTempFile);
    // Records the picture in the structure, copies it to the report root's images folder and
    // writes the screen and print previews of the diagram page.
    bool PreviewDiagram(const std::string& sDiagramJPGTempFile, std::string& sPreviewDiagramFile,
                        std::string& sPreviewDiagramPrint);
    // Opens the diagram window of the diagram library from the program folder and waits until
    // it closes. Failures go to the error routine under sourceName.
    // For the diagram file ShowRelationshipDiagram prepared, the window edits a working copy
    // of the built diagram, and each save in it replaces the file and its picture; a diagram
    // closed without saving leaves both as they were.
    bool ExecuteDiagramApp(unsigned long long lHandletoWindow, const std::string& sDiagramXMLFile,
                           const std::string& sourceName = "ExecuteDiagramApp");
    bool DiagramRunning() const { return diagramRunning_; }
    // The diagram library's file: the program folder's "liborbelle.so" unless set (tests).
    std::string DiagramLibraryPath;

    // ---- diagram settings --------------------------------------------------------------
    void InitializeDiagramSettings();

    long HeadingColor() const;
    void HeadingColor(long lValue);
    long DiagramBackColor() const;
    void DiagramBackColor(long lValue);
    long TableTitleBackColor() const;
    void TableTitleBackColor(long lValue);
    long TableTitleTextColor() const;
    void TableTitleTextColor(long lValue);
    long TableBackColor() const;
    void TableBackColor(long lValue);
    long TableTextColor() const;
    void TableTextColor(long lValue);
    long TableBorderColor() const;
    void TableBorderColor(long lValue);
    long LineColor() const;
    void LineColor(long lValue);

    std::string TitleFontName() const;
    void TitleFontName(const std::string& sFontName);
    int TitleFontSize() const;
    void TitleFontSize(int iFontSize);
    bool TitleFontBold() const;
    void TitleFontBold(bool bBold);
    bool TitleFontUnderline() const;
    void TitleFontUnderline(bool bUnderline);
    std::string TableFontName() const;
    void TableFontName(const std::string& sFontName);
    int TableFontSize() const;
    void TableFontSize(int iFontSize);
    bool TableFontBold() const;
    void TableFontBold(bool bBold);
    bool TableFontUnderline() const;
    void TableFontUnderline(bool bUnderline);
    std::string TableTitleFontName() const;
    void TableTitleFontName(const std::string& sFontName);
    int TableTitleFontSize() const;
    void TableTitleFontSize(int iFontSize);
    bool TableTitleFontBold() const;
    void TableTitleFontBold(bool bBold);
    bool TableTitleFontUnderline() const;
    void TableTitleFontUnderline(bool bUnderline);

    static std::string fnReverseRGB(const std::string& strRGB);
    static std::string fnGetHTMLRGB(long lngColor);
    static void fnGetRGBFromHex(long lColor, int& ipRed, int& ipGreen, int& ipBlue);

private:
    struct Readers;  // the structure readers, one per access technology

    std::string attr(const xml::Document& doc, const std::string& path) const;
    bool hasAttr(const xml::Document& doc, const std::string& path) const;
    bool setAttr(xml::Document& doc, const std::string& path, const std::string& value);
    std::string param(const std::string& name) const;
    void setParam(const std::string& name, const std::string& value);
    long colour(const char* element) const;
    void colour(const char* element, long value);
    bool FetchDatabaseStructure();
    void ReportSummary();
    bool BuildConnectionTreeEntry();
    bool BuildPreviewXML(const std::string& key);
    bool RenderPreviewPages(const std::string& pageKind, std::string& sPreviewHTML, std::string& sPreviewXML,
                            std::string& sPrintLayoutHTML);
    bool CheckDiagramXML(const std::string& path);
    bool BuildDiagramXml();
    void UpdateDiagramXML();
    void relayProgress(long status, std::string& message, int incrementValue, bool& cancel,
                       const char* arrow);

    xml::Document dbOptions_;
    xml::Document reportOptions_;
    xml::Document diagram_;
    xml::Document dbEngines_;
    xml::Document diagramNew_, diagramOld_;  // the diagram file being built and its previous content
    std::string diagramPrepared_;             // the file diagramNew_ was built for
    bool diagramRunning_ = false;
    std::shared_ptr<xml::Document> oPreviewXML_;
    // First-stage result kept while a FirstStageReuse lives: its source and output.
    struct FirstStage {
        const xml::Document* source = nullptr;
        std::string text;  // kept only when a caller asked for it
        bool hasText = false;
        xml::Document document;
    };
    bool reuseFirstStage_ = false;
    std::unique_ptr<FirstStage> firstStage_;
    std::string PreviewNodeKind_;
    std::string connectionString_;
    std::unique_ptr<Readers> readers_;
    bool importing_ = false;
    bool cancelRequested_ = false;
};

// The one options object of the process (created at start-up), owned through
// CreateReportEngine / ReleaseReportEngine.
extern cReport* oReportEngine;
cReport* CreateReportEngine();
void ReleaseReportEngine();
// The report options a new start and the report setup's reset give oReportEngine.
void SetDefaultReportOptions();

// A name as it enters a folder-tree key. "|" separates a key's parts (name|folder|connection|
// positions), so it is written "_" and no name can move the numbers.
std::string TreeKeyName(const std::string& name);
