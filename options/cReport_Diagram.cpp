// cReport: diagram settings and the colour functions.
#include "options/cReport.h"

#include "options/ReportSupport.h"

#include <cstdio>
#include <exception>

using namespace report_support;

namespace {

struct ColourDefault {
    const char* element;
    const char* red;
    const char* blue;
    const char* green;
};

constexpr ColourDefault kColours[] = {
    {"HEADINGCOLOR", "0", "255", "0"},        {"BACKCOLOR", "255", "255", "255"},
    {"TABLETITLEBACKCOLOR", "0", "255", "0"}, {"TABLETITLETEXTCOLOR", "255", "255", "255"},
    {"TABLETEXTCOLOR", "0", "0", "0"},        {"TABLEBACKCOLOR", "255", "255", "255"},
    {"TABLEBORDER", "0", "255", "0"},         {"LINE", "0", "0", "0"},
};

}  // namespace

void cReport::InitializeDiagramSettings() {
    try {
        xml::Document doc;
        xml::Node root = doc.createRoot("DIAGRAM");
        root.setAttribute("QUALITY", "75");
        for (const ColourDefault& c : kColours) {
            xml::Node e = root.appendElement(c.element);
            e.setAttribute("Red", c.red);
            e.setAttribute("Blue", c.blue);
            e.setAttribute("Green", c.green);
        }
        xml::Node title = root.appendElement("TITLEFONT");
        title.setAttribute("FontName", "Arial");
        title.setAttribute("FontSize", "10");
        title.setAttribute("Bold", "1");
        title.setAttribute("Underline", "0");
        xml::Node table = root.appendElement("TABLEFONT");
        table.setAttribute("FontName", "Arial");
        table.setAttribute("FontSize", "8");
        table.setAttribute("Bold", "0");
        xml::Node tableTitle = root.appendElement("TABLETITLEFONT");
        tableTitle.setAttribute("FontName", "Arial");
        tableTitle.setAttribute("FontSize", "8");
        tableTitle.setAttribute("Bold", "1");
        diagram_ = std::move(doc);
    } catch (const std::exception&) {
        // stops silently
    }
}

// ---------------------------------------------------------------- colours

long cReport::colour(const char* element) const {
    xml::Node e = diagram_.selectSingleNode(std::string("DIAGRAM/") + element);
    if (!e) return 0;
    auto red = parseInt16(e.attribute("Red"));
    auto green = parseInt16(e.attribute("Green"));
    auto blue = parseInt16(e.attribute("Blue"));
    if (!red || !green || !blue) return 0;
    return *red + 256L * *green + 65536L * *blue;
}

void cReport::colour(const char* element, long value) {
    xml::Node e = diagram_.selectSingleNode(std::string("DIAGRAM/") + element);
    if (!e) return;
    if (value < 0 || value > 0xFFFFFF) return;  // only plain RGB values are stored
    int red = 0, green = 0, blue = 0;
    fnGetRGBFromHex(value, red, green, blue);
    if (e.hasAttribute("Red")) e.setAttribute("Red", std::to_string(red));
    if (e.hasAttribute("Green")) e.setAttribute("Green", std::to_string(green));
    if (e.hasAttribute("Blue")) e.setAttribute("Blue", std::to_string(blue));
}

#define DIAGRAM_COLOUR(Name, Element)                                 \
    long cReport::Name() const { return colour(Element); }            \
    void cReport::Name(long lValue) { colour(Element, lValue); }

DIAGRAM_COLOUR(HeadingColor, "HEADINGCOLOR")
DIAGRAM_COLOUR(DiagramBackColor, "BACKCOLOR")
DIAGRAM_COLOUR(TableTitleBackColor, "TABLETITLEBACKCOLOR")
DIAGRAM_COLOUR(TableTitleTextColor, "TABLETITLETEXTCOLOR")
DIAGRAM_COLOUR(TableBackColor, "TABLEBACKCOLOR")
DIAGRAM_COLOUR(TableTextColor, "TABLETEXTCOLOR")
DIAGRAM_COLOUR(TableBorderColor, "TABLEBORDER")
DIAGRAM_COLOUR(LineColor, "LINE")
#undef DIAGRAM_COLOUR

// ---------------------------------------------------------------- fonts

#define DIAGRAM_FONT(Prefix, Element)                                                              \
    std::string cReport::Prefix##Name() const { return attr(diagram_, "DIAGRAM/" Element "/@FontName"); } \
    void cReport::Prefix##Name(const std::string& sFontName) {                                     \
        setAttr(diagram_, "DIAGRAM/" Element "/@FontName", sFontName);                             \
    }                                                                                              \
    void cReport::Prefix##Size(int iFontSize) {                                                    \
        if (iFontSize < -32768 || iFontSize > 32767) return;                                       \
        setAttr(diagram_, "DIAGRAM/" Element "/@FontSize", std::to_string(iFontSize));             \
    }                                                                                              \
    bool cReport::Prefix##Bold() const {                                                           \
        return parseBool(attr(diagram_, "DIAGRAM/" Element "/@Bold")).value_or(false);             \
    }                                                                                              \
    void cReport::Prefix##Bold(bool bBold) { setAttr(diagram_, "DIAGRAM/" Element "/@Bold", bBold ? "1" : "0"); } \
    bool cReport::Prefix##Underline() const {                                                      \
        return parseBool(attr(diagram_, "DIAGRAM/" Element "/@Underline")).value_or(false);        \
    }                                                                                              \
    void cReport::Prefix##Underline(bool bUnderline) {                                             \
        setAttr(diagram_, "DIAGRAM/" Element "/@Underline", bUnderline ? "1" : "0");               \
    }

DIAGRAM_FONT(TitleFont, "TITLEFONT")
DIAGRAM_FONT(TableFont, "TABLEFONT")
DIAGRAM_FONT(TableTitleFont, "TABLETITLEFONT")
#undef DIAGRAM_FONT

int cReport::TitleFontSize() const {
    const std::string text = attr(diagram_, "DIAGRAM/TITLEFONT/@FontSize");
    int size = parseInt16(text).value_or(0);
    return size == 0 && parseInt16(text) ? 12 : size;
}
int cReport::TableFontSize() const { return parseInt16(attr(diagram_, "DIAGRAM/TABLEFONT/@FontSize")).value_or(0); }
int cReport::TableTitleFontSize() const {
    return parseInt16(attr(diagram_, "DIAGRAM/TABLETITLEFONT/@FontSize")).value_or(0);
}

// ---------------------------------------------------------------- colour functions

std::string cReport::fnReverseRGB(const std::string& strRGB) {
    std::string out;
    for (long pos = static_cast<long>(strRGB.size()) - 1; pos >= 1; pos -= 2)
        out += strRGB.substr(static_cast<std::size_t>(pos - 1), 2);
    return out;
}

std::string cReport::fnGetHTMLRGB(long lngColor) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lX", static_cast<unsigned long>(lngColor) & 0xFFFFFFFFUL);
    std::string hex = buf;
    if (hex.size() > 6) return {};
    hex.insert(0, 6 - hex.size(), '0');
    return fnReverseRGB(hex);
}

void cReport::fnGetRGBFromHex(long lColor, int& ipRed, int& ipGreen, int& ipBlue) {
    const std::string html = fnGetHTMLRGB(lColor);
    if (html.size() != 6) return;
    ipRed = std::stoi(html.substr(0, 2), nullptr, 16);
    ipGreen = std::stoi(html.substr(2, 2), nullptr, 16);
    ipBlue = std::stoi(html.substr(4, 2), nullptr, 16);
}
