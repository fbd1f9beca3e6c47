// cReport: report options, two-stage XSL rendering and previews.
#include "options/cReport.h"

#include "platform/db/ConnectionString.h"

#include "core/bErrorHandler.h"
#include "core/bGlobal.h"
#include "options/ReportSupport.h"
#include "platform/fs/Paths.h"
#include "platform/ui/Prompter.h"

#include <algorithm>
#include <exception>
#include <map>
#include <set>
#include <thread>
#include <vector>

using namespace report_support;

namespace {

std::string reportXmlSheet() { return files::joinPath(StylesFolder, "ReportXML.xsl"); }

}  // namespace

// ---------------------------------------------------------------- report options

void cReport::InitializeReportOptions() {
    try {
        xml::Node root = reportOptions_.selectSingleNode("REPORTOPTIONS");
        if (!root) throw std::runtime_error("The report options have no REPORTOPTIONS element.");
        xml::Node html = root.appendElement("HTML");
        html.setAttribute("PrinterFriendly", "False");
        html.setAttribute("MultipleHTMLs", "True");
        html.setAttribute("ObjectsPerPage", "5");
        html.setAttribute("CurrentCSS", "styles/ReportFormat1a.css");
        html.setAttribute("CurrentXSL", files::joinPath(StylesFolder, "ReportFormat1.xsl"));
        html.setAttribute("ImagePrefix", "blu");
        html.setAttribute("ImagePath", "");
        html.setAttribute("ColourScheme", "Blue");
        html.setAttribute("LayoutNumber", "0");
        html.setAttribute("StyleSheetNumber", "0");
        xml::Node x = root.appendElement("XML");
        x.setAttribute("Namespace", "");
        x.setAttribute("NamespaceURI", "");
        xml::Node word = root.appendElement("WORD");
        word.setAttribute("ObjectsPerPage", "1");
        word.setAttribute("IntroDocument", files::joinPath(DataFolder, "intro.docx"));
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cReport.InitializeReportOptions");
    }
}

bool cReport::LoadReportOptionsXML(const std::string& sReportOptionsXML) {
    xml::Document doc;
    if (!doc.loadXML(sReportOptionsXML)) return false;  // the options stay as they were
    reportOptions_ = std::move(doc);
    return true;
}

#define REPORT_TEXT_PROPERTY(Name, Path)                                                        \
    std::string cReport::Name() const { return attr(reportOptions_, Path); }                    \
    void cReport::Name(const std::string& v) { setAttr(reportOptions_, Path, v); }
#define REPORT_BOOL_PROPERTY(Name, Path)                                                        \
    bool cReport::Name() const { return parseBool(attr(reportOptions_, Path)).value_or(false); } \
    void cReport::Name(bool v) { setAttr(reportOptions_, Path, boolText(v)); }
#define REPORT_INT_PROPERTY(Name, Path)                                                         \
    int cReport::Name() const { return parseInt16(attr(reportOptions_, Path)).value_or(0); }    \
    void cReport::Name(int v) { setAttr(reportOptions_, Path, std::to_string(v)); }

REPORT_BOOL_PROPERTY(HTML_PrinterFriendly, "REPORTOPTIONS/HTML/@PrinterFriendly")
REPORT_BOOL_PROPERTY(HTML_MultipleHTMLs, "REPORTOPTIONS/HTML/@MultipleHTMLs")
REPORT_TEXT_PROPERTY(HTML_ImagePrefix, "REPORTOPTIONS/HTML/@ImagePrefix")
REPORT_TEXT_PROPERTY(HTML_ImagePath, "REPORTOPTIONS/HTML/@ImagePath")
REPORT_TEXT_PROPERTY(HTML_ColourScheme, "REPORTOPTIONS/HTML/@ColourScheme")
REPORT_INT_PROPERTY(HTML_LayoutIndex, "REPORTOPTIONS/HTML/@LayoutNumber")
REPORT_INT_PROPERTY(HTML_StyleSheetIndex, "REPORTOPTIONS/HTML/@StyleSheetNumber")
REPORT_INT_PROPERTY(HTML_ObjectsPerPage, "REPORTOPTIONS/HTML/@ObjectsPerPage")
REPORT_TEXT_PROPERTY(XML_Namespace, "REPORTOPTIONS/XML/@Namespace")
REPORT_TEXT_PROPERTY(XML_NamespaceURI, "REPORTOPTIONS/XML/@NamespaceURI")
REPORT_TEXT_PROPERTY(Word_IntroDocument, "REPORTOPTIONS/WORD/@IntroDocument")
REPORT_INT_PROPERTY(WORD_ObjectsPerPage, "REPORTOPTIONS/WORD/@ObjectsPerPage")
REPORT_INT_PROPERTY(PreviewFormat, "REPORTOPTIONS/@PreviewFormat")

#undef REPORT_TEXT_PROPERTY
#undef REPORT_BOOL_PROPERTY
#undef REPORT_INT_PROPERTY

std::string cReport::HTML_CurrentXSL() const {
    const std::string path = "REPORTOPTIONS/HTML/@CurrentXSL";
    if (!hasAttr(reportOptions_, path)) return {};
    std::string v = attr(reportOptions_, path);
    return v.empty() ? files::joinPath(StylesFolder, "ReportFormat1.xsl") : v;
}
void cReport::HTML_CurrentXSL(const std::string& v) { setAttr(reportOptions_, "REPORTOPTIONS/HTML/@CurrentXSL", v); }

std::string cReport::HTML_CurrentCSS() const { return attr(reportOptions_, "REPORTOPTIONS/HTML/@CurrentCSS"); }
void cReport::HTML_CurrentCSS(const std::string& v) {
    try {
        setAttr(reportOptions_, "REPORTOPTIONS/HTML/@CurrentCSS", v);
    } catch (const std::exception& e) {
        HandleError(-1, e.what(), "cReport.HTML_CurrentCSS");
    }
}

// ---------------------------------------------------------------- rendering

void cReport::ReportXslFailure(const std::string& sheet, const std::string& reason) {
    ui::MsgBox("Please check the xsl that you have clhosen to apply. Try again with the default xsl.\n\n" + sheet +
                   ": " + (reason.empty() ? std::string("the transform failed") : reason),
               ui::MsgButtons::OK, ui::MsgIcon::Critical, "Dalvane 4.5");
}

void cReport::WithoutFoNamespace(std::string& text) {
    static constexpr std::string_view foNamespace = " xmlns:fo=\"http://www.w3.org/1999/XSL/Format\"";
    if (text.find(foNamespace) != std::string::npos) text = replaceAll(text, foNamespace, "");
}

namespace {
// Transforms that make a large structure's first stage between them, each a slice of its
// objects: one for each kObjectsPerStagePart objects, at most one for each processor, and no
// more than kStageParts (each also reads the whole structure for its keys).
constexpr int kObjectsPerStagePart = 1000;
constexpr int kStageParts = 6;

unsigned firstStageParts(const xml::Document& source, const xml::Stylesheet& style) {
    if (!style.declaresParam("stage-parts")) return 1;
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return static_cast<unsigned>(std::clamp(source.count("DATABASE/*") / kObjectsPerStagePart, 1, std::min(cores, kStageParts)));
}
}  // namespace

const xml::Document* cReport::FirstStageDocument(bool bPreview, std::string* sXMLContent) {
    // Every failure names the style sheet and says why.
    const std::string sheet = reportXmlSheet();
    try {
        const xml::Document* source = (bPreview && oPreviewXML_) ? oPreviewXML_.get() : oResultXML.get();
        if (!source) return nullptr;
        if (!reuseFirstStage_ || !firstStage_ || firstStage_->source != source || (sXMLContent && !firstStage_->hasText)) {
            firstStage_.reset();
            xml::Stylesheet style;
            if (!style.load(sheet)) {
                ReportXslFailure(sheet, style.error());
                return nullptr;
            }
            if (xml::Node ro = source->selectSingleNode("DATABASE/REPORTOPTIONS")) ro.setAttribute("Report", "1");
            auto stage = std::make_unique<FirstStage>();
            stage->source = source;
            stage->hasText = sXMLContent != nullptr;
            if (stage->hasText) {
                if (!style.transform(*source, stage->text)) throw std::runtime_error(style.error());
                if (!stage->document.loadXML(replaceAll(stage->text, "\r", "\r\n"))) {
                    ReportXslFailure(sheet, "its result is not well-formed: " + stage->document.parseError());
                    return nullptr;
                }
            } else {
                // The result tree itself, without its text: settled as that text would read back,
                // where the source in CDATA sections keeps no carriage return.
                if (!style.transformInParts(*source, stage->document, firstStageParts(*source, style), "stage-part",
                                            "stage-parts"))
                    throw std::runtime_error(style.error());
                for (xml::Node script : stage->document.selectNodes("//SQLSCRIPT[contains(., '\r')]"))
                    script.setText(replaceAll(script.text(), "\r", "\n"));
            }
            firstStage_ = std::move(stage);
        }
        if (sXMLContent) *sXMLContent = firstStage_->text;
        return &firstStage_->document;
    } catch (const std::exception& e) {
        ReportXslFailure(sheet, e.what());
        return nullptr;
    }
}

bool cReport::ApplyXSL(const std::string& sXSLFileName, bool bPreview, std::string* sHTMLContent,
                       std::string* sXMLContent, const xml::XsltParams& params,
                       const xml::ResultDocumentSink& documents) {
    struct Release {
        cReport& r;
        ~Release() {
            if (!r.reuseFirstStage_) r.firstStage_.reset();
        }
    } release{*this};
    const xml::Document* intermediate = FirstStageDocument(bPreview, sXMLContent);
    if (!intermediate) return false;
    try {
        xml::Stylesheet layout;
        if (!layout.load(sXSLFileName)) throw std::runtime_error(layout.error());
        // The output stays as the style sheet serialised it: escaped catalogue text (view
        // source, defaults, names) is never turned back into markup.
        xml::ResultDocumentSink sink;
        if (documents)
            sink = [&](const std::string& href, std::string&& text) {
                WithoutFoNamespace(text);
                return documents(href, std::move(text));
            };
        std::string html;
        if (!layout.transform(*intermediate, html, params, sink)) throw std::runtime_error(layout.error());
        WithoutFoNamespace(html);
        if (sHTMLContent) *sHTMLContent = std::move(html);
        return true;
    } catch (const std::exception& e) {
        ReportXslFailure(sXSLFileName, e.what());
        return false;
    }
}

namespace {

// A foreign key may be stored under either of its tables. For tables shown without the rest
// of the structure, the other tables of their keys come along as named, unreported context
// holding just those keys, so that each key sits under its referencing table as in a report.
void addKeyContext(const xml::Document& whole, xml::Node copy) {
    std::set<std::string> shown;
    for (const xml::Node& t : copy.selectNodes("TABLE")) shown.insert(t.attribute("Name"));
    std::map<std::string, xml::Node> context;
    auto contextTable = [&](const std::string& name) {
        auto it = context.find(name);
        if (it != context.end()) return it->second;
        xml::Node t = copy.appendElement("TABLE");
        t.setAttribute("Name", name);
        t.setAttribute("PreviewContext", "1");
        if (xml::Node real = whole.selectSingleNode("DATABASE/TABLE[@Name=" + xml::xpathLiteral(name) + "]"))
            if (real.hasAttribute("Report")) t.setAttribute("Report", real.attribute("Report"));
        return context.emplace(name, t).first->second;
    };
    for (const xml::Node& t : whole.selectNodes("DATABASE/TABLE")) {
        const std::string holder = t.attribute("Name");
        for (const xml::Node& fk : t.selectNodes("FOREIGNKEY")) {
            const std::string from = fk.attribute("Foreign_Key_Table"), to = fk.attribute("Primary_Key_Table");
            const bool involved = shown.count(from) || shown.count(to);
            if (!involved) continue;
            if (!shown.count(holder)) contextTable(holder).appendChild(fk);
            if (!from.empty() && !shown.count(from)) contextTable(from);
        }
    }
}

}  // namespace

xml::Document cReport::GetXPath(const std::string& key) {
    xml::Document out;
    try {
        if (!oResultXML || oResultXML->isEmpty()) return out;
        std::vector<std::string> parts;
        std::size_t start = 0;
        for (;;) {
            std::size_t slash = key.find('/', start);
            parts.push_back(key.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
            if (slash == std::string::npos) break;
            start = slash + 1;
        }
        if (key.empty() || parts.empty()) return out;
        const std::string& last = parts.back();
        auto bracket = last.find('[');
        PreviewNodeKind_ = bracket == std::string::npos ? "LIST" : last.substr(0, bracket);

        if (parts.size() == 1) {
            xml::Node n = oResultXML->selectSingleNode(key);
            if (n && n.isElement()) out.setRoot(n);
            return out;
        }
        xml::Node top = oResultXML->selectSingleNode(parts[0]);
        if (!top || !top.isElement()) return out;
        xml::Node copy = out.createRoot(top.name());
        for (const auto& [name, value] : top.attributes()) copy.setAttribute(name, value);
        for (const xml::Node& n : oResultXML->selectNodes(parts[0] + "/" + parts[1])) copy.appendChild(n);
        if (parts[1].rfind("TABLE", 0) == 0) addKeyContext(*oResultXML, copy);
        if (xml::Node ro = oResultXML->selectSingleNode("DATABASE/REPORTOPTIONS")) copy.appendChild(ro);
        return out;
    } catch (const std::exception&) {
        return xml::Document();
    }
}

bool cReport::BuildPreviewXML(const std::string& key) {
    try {
        oPreviewXML_ = std::make_shared<xml::Document>();
        xml::Document part = GetXPath(key);
        if (part.isEmpty()) return false;
        *oPreviewXML_ = std::move(part);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

namespace {

// Puts the report options back as they were when a preview started, on every path.
class SavedReportOptions {
public:
    explicit SavedReportOptions(cReport& r)
        : r_(r), xsl_(r.HTML_CurrentXSL()), css_(r.HTML_CurrentCSS()), prefix_(r.HTML_ImagePrefix()),
          scheme_(r.HTML_ColourScheme()), multiple_(r.HTML_MultipleHTMLs()) {
        if (xml::Node html = r.ReportOptionsXML().selectSingleNode("REPORTOPTIONS/HTML"))
            storedXsl_ = html.attribute("CurrentXSL");
    }
    ~SavedReportOptions() {
        r_.HTML_MultipleHTMLs(multiple_);
        r_.HTML_CurrentXSL(storedXsl_);
        r_.HTML_CurrentCSS(css_);
        r_.HTML_ImagePrefix(prefix_);
        r_.HTML_ColourScheme(scheme_);
        r_.UpdateReportSettings();
    }
    const std::string& xsl() const { return xsl_; }

private:
    cReport& r_;
    std::string xsl_, storedXsl_, css_, prefix_, scheme_;
    bool multiple_;
};

}  // namespace

bool cReport::PreparePreview(long lWindowHandle, const std::string& sPreviewXPath, std::string& sPreviewHTML,
                             std::string& sPreviewXML, std::string& sPrintLayoutHTML, const std::string& page) {
    (void)lWindowHandle;
    try {
        if (!BuildPreviewXML(sPreviewXPath)) return false;
        std::string pageKind;
        const std::string& kind = PreviewNodeKind_;
        if (kind == "LIST" || kind == "DATABASE") pageKind = "index";
        else if (kind == "INDEX" || kind == "TABLE" || kind == "TRIGGER" || kind == "FOREIGNKEY") pageKind = "tables";
        else if (kind.find("VIEW") != std::string::npos) pageKind = "views";
        else if (kind.find("STOREDPROCEDURE") != std::string::npos) pageKind = "storedprocedures";
        if (!page.empty()) pageKind = page;  // a page the preview links to, such as "summary"
        return RenderPreviewPages(pageKind, sPreviewHTML, sPreviewXML, sPrintLayoutHTML);
    } catch (const std::exception&) {
        return false;
    }
}

bool cReport::RenderPreviewPages(const std::string& pageKind, std::string& sPreviewHTML, std::string& sPreviewXML,
                                 std::string& sPrintLayoutHTML) {
    try {
        SavedReportOptions saved(*this);
        auto pageSheet = [&](const std::string& layout) {
            return pageKind.empty() ? layout : replaceAll(layout, ".xsl", pageKind + ".xsl");
        };

        HTML_MultipleHTMLs(false);
        UpdateReportSettings();
        if (!ApplyXSL(pageSheet(saved.xsl()), true, &sPreviewHTML, &sPreviewXML)) return false;
        sPreviewHTML = replaceAll(sPreviewHTML, ".html#", ".html____");

        HTML_CurrentXSL(PrinterFriendlyXSL);
        HTML_CurrentCSS(PrinterFriendlyCSS);
        HTML_ColourScheme("Black");
        HTML_ImagePrefix("pf1");
        UpdateReportSettings();
        if (!PrinterFriendlyXSL.empty() &&
            !ApplyXSL(pageSheet(PrinterFriendlyXSL), true, &sPrintLayoutHTML, &sPreviewXML))
            return false;
        sPrintLayoutHTML = replaceAll(sPrintLayoutHTML, ".html#", ".html____");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool cReport::UpdateReportSettings() {
    try {
        if (oResultXML) {
            if (xml::Node database = oResultXML->selectSingleNode("DATABASE")) {
                xml::Node old = database.selectSingleNode("REPORTOPTIONS");
                if (!old) return false;
                old.remove();
                if (xml::Node ro = reportOptions_.selectSingleNode("REPORTOPTIONS")) database.appendChild(ro);
                if (xml::Node d = database.selectSingleNode("DIAGRAM")) d.remove();
                if (xml::Node d = diagram_.selectSingleNode("DIAGRAM")) database.appendChild(d);
            }
        }
        if (oPreviewXML_) {
            if (xml::Node database = oPreviewXML_->selectSingleNode("DATABASE")) {
                if (xml::Node old = database.selectSingleNode("REPORTOPTIONS")) old.remove();
                if (xml::Node ro = reportOptions_.selectSingleNode("REPORTOPTIONS")) database.appendChild(ro);
            }
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

std::string cReport::ScriptXSL() const {
    const std::string path = "DBENGINES/DBENGINE[@Id=" + xml::xpathLiteral(std::to_string(m_CurrentDatabaseEngineId)) +
                             "]/@ScriptXSL";
    if (!hasAttr(dbEngines_, path)) return {};
    return files::joinPath(StylesFolder, attr(dbEngines_, path));
}

xml::XsltParams cReport::ScriptParameters() const { return {{"driver", db::odbcDriverOf(ConnectionString())}}; }
