#include "platform/fs/Paths.h"
#include "platform/xml/Xml.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <libxml/tree.h>

#include <algorithm>
#include <stdexcept>

using xml::Document;
using xml::xpathLiteral;

TEST(XpathLiteral, SelectsNamesWithEitherOrBothQuoteKinds) {
    Document d;
    ASSERT_TRUE(d.loadXML(R"X(<DATABASE>
        <TABLE Name="O'Brien"/><TABLE Name='say "hi"'/><TABLE Name="it's &quot;x&quot;'"/>
        <TABLE Name="plain"/><TABLE Name=""/></DATABASE>)X"));
    for (std::string name : {"O'Brien", "say \"hi\"", "it's \"x\"'", "plain", ""}) {
        auto n = d.selectSingleNode("DATABASE/TABLE[@Name=" + xpathLiteral(name) + "]");
        ASSERT_TRUE(n) << name;
        EXPECT_EQ(n.attribute("Name"), name);
    }
    EXPECT_EQ(xpathLiteral("a'b\"c"), "concat('a', \"'\", 'b\"c')");
    EXPECT_EQ(xpathLiteral("'"), "\"'\"");
}

TEST(Document, WhiteSpaceIsNotPreservedAndPositionsAreOneBased) {
    Document d;
    ASSERT_TRUE(d.loadXML("<DATABASE>\n  <TABLE Name=\"a\"/>\n  <TABLE Name=\"b\"/>\n</DATABASE>"));
    auto root = d.documentElement();
    EXPECT_EQ(root.childCount(), 2);
    EXPECT_EQ(d.selectSingleNode("DATABASE/node()[1]").attribute("Name"), "a");
    EXPECT_EQ(d.selectSingleNode("DATABASE/TABLE[2]").attribute("Name"), "b");
    EXPECT_FALSE(d.selectSingleNode("DATABASE/TABLE[0]"));
    EXPECT_EQ(d.count("DATABASE/*"), 2);
}

TEST(Document, FailedLoadKeepsPreviousContentAndReportsError) {
    Document d;
    ASSERT_TRUE(d.loadXML("<A><B/></A>"));
    EXPECT_FALSE(d.loadXML("<A><B></A>"));
    EXPECT_FALSE(d.parseError().empty());
    EXPECT_TRUE(d.selectSingleNode("A/B"));
    EXPECT_FALSE(d.load("/nonexistent/file.xml"));
    EXPECT_TRUE(d.selectSingleNode("A/B"));
}

TEST(Document, DeepCopyBetweenDocumentsIsIndependent) {
    Document src, dst;
    ASSERT_TRUE(src.loadXML("<T Name='x'><C Name='c1'/><C Name='c2'><![CDATA[a<b]]></C></T>"));
    auto root = dst.createRoot("ROOT");
    auto copy = root.appendChild(src.documentElement());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy.docRaw(), dst.raw());
    EXPECT_EQ(dst.count("ROOT/T/C"), 2);
    EXPECT_EQ(dst.selectSingleNode("ROOT/T/C[2]").text(), "a<b");
    src.documentElement().setAttribute("Name", "changed");
    src.clear();
    EXPECT_EQ(dst.selectSingleNode("ROOT/T").attribute("Name"), "x");
    // Moving within one document does not copy.
    auto c1 = dst.selectSingleNode("ROOT/T/C[1]");
    root.appendChild(c1);
    EXPECT_EQ(dst.count("ROOT/T/C"), 1);
    EXPECT_EQ(dst.count("ROOT/C"), 1);
}

TEST(Document, AttributesAndTextRoundTripSpecialCharacters) {
    Document d;
    auto r = d.createRoot("DATABASE");
    auto t = r.appendElement("TABLE");
    t.setAttribute("Name", "Ünïcode <&> \"'");
    t.appendElement("SQLSCRIPT").appendCData("select * from x where a < 1 ]]> b");
    auto e = r.appendElement("NOTE");
    e.setText("a & b < c");
    // Empty values, set and emptied, are attributes like any other.
    t.setAttribute("Scale", "");
    t.setAttribute("Default", "x");
    t.setAttribute("Default", "");
    EXPECT_TRUE(t.hasAttribute("Scale"));
    EXPECT_EQ(t.attribute("Default"), "");
    EXPECT_EQ(d.count("DATABASE/TABLE[@Scale = '' and @Default = '']"), 1);
    EXPECT_NE(d.xml().find(R"(Scale="" Default="")"), std::string::npos) << d.xml();
    Document back;
    ASSERT_TRUE(back.loadXML(d.xml())) << back.parseError();
    EXPECT_EQ(back.selectSingleNode("DATABASE/TABLE").attribute("Name"), "Ünïcode <&> \"'");
    EXPECT_EQ(back.selectSingleNode("DATABASE/TABLE/SQLSCRIPT").text(), "select * from x where a < 1 ]]> b");
    EXPECT_EQ(back.selectSingleNode("DATABASE/NOTE").text(), "a & b < c");
    EXPECT_EQ(back.count("DATABASE/TABLE[@Scale = '' and @Default = '']"), 1);

    // A text past the parser's limit on one text node (10 MB) reads back whole, its characters
    // unbroken wherever the sections end, also when it is all short sections.
    for (const char* unit : {"\xC3\xBC\xE2\x82\xAC\n", "\xC3\xBC]]>\n"}) {  // "ü€" LF, "ü]]>" LF
        std::string big;
        while (big.size() < 10'800'000) big += unit;
        Document large;
        large.createRoot("QUERY").appendCData(big);
        Document largeBack;
        ASSERT_TRUE(largeBack.loadXML(large.xml())) << largeBack.parseError().substr(0, 200);
        EXPECT_TRUE(largeBack.selectSingleNode("QUERY").text() == big);
    }

    // Short values are kept in their text node: they read, change, copy and transform like others.
    const std::string fifteen = "123456789012345", sixteen = fifteen + "6";
    t.setAttribute("Type", "INTEGER");
    t.setAttribute("Len", fifteen);
    t.setAttribute("Long", sixteen);
    t.setAttribute("Type", "a much longer type name than fits");
    t.setAttribute("Type", "Ü");
    t.setAttribute("Long", "x");
    Document copy = d.clone();
    t.removeAttribute("Len");
    const xml::Node c = copy.selectSingleNode("DATABASE/TABLE");
    EXPECT_EQ(c.attribute("Type"), "Ü");
    EXPECT_EQ(c.attribute("Len"), fifteen);
    EXPECT_EQ(copy.count("DATABASE/TABLE[@Long = 'x' and string-length(@Len) = 15]"), 1);
    xml::Stylesheet sheet;
    ASSERT_TRUE(sheet.loadXML(R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
        <xsl:template match="/"><R><xsl:copy-of select="DATABASE/TABLE/@*"/><xsl:value-of select="DATABASE/TABLE/@Type"/></R></xsl:template>
        </xsl:stylesheet>)"));
    std::string out;
    ASSERT_TRUE(sheet.transform(copy, out));
    EXPECT_NE(out.find(R"(Type="&#xDC;" Len="123456789012345" Long="x">Ü</R>)"), std::string::npos) << out;
}

TEST(Document, SaveIsAtomicAndLoadable) {
    testsupport::TempDir dir;
    Document d;
    d.createRoot("X").setAttribute("v", "1");
    ASSERT_TRUE(d.save(dir.file("a.xml")));
    Document e;
    ASSERT_TRUE(e.load(dir.file("a.xml")));
    EXPECT_EQ(e.documentElement().attribute("v"), "1");
    EXPECT_FALSE(d.save(dir.file("missing/a.xml")));
}

TEST(Stylesheet, OutputDeclaringAnotherEncodingComesBackAsUtf8) {
    Document d;
    ASSERT_TRUE(d.loadXML("<R><V>café ☕</V></R>"));
    xml::Stylesheet xmlOut;
    ASSERT_TRUE(xmlOut.loadXML(R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
      <xsl:output method="xml" encoding="ISO-8859-1"/>
      <xsl:template match="/"><OUT><xsl:value-of select="R/V"/></OUT></xsl:template></xsl:stylesheet>)X"));
    std::string out;
    ASSERT_TRUE(xmlOut.transform(d, out)) << xmlOut.error();
    EXPECT_NE(out.find("café ☕"), std::string::npos) << out;
    EXPECT_NE(out.find("UTF-8"), std::string::npos) << out;
    EXPECT_EQ(out.find("ISO-8859-1"), std::string::npos) << out;

    xml::Stylesheet htmlOut;
    ASSERT_TRUE(htmlOut.loadXML(R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
      <xsl:output method="html" encoding="windows-1252"/>
      <xsl:param name="title"/>
      <xsl:template match="/"><html><head><title><xsl:value-of select="$title"/></title></head>
      <body><p><xsl:value-of select="R/V"/></p></body></html></xsl:template></xsl:stylesheet>)X"));
    ASSERT_TRUE(htmlOut.transform(d, out, {{"title", "it's \"q\""}})) << htmlOut.error();
    EXPECT_NE(out.find("<p>café ☕</p>"), std::string::npos) << out;
    EXPECT_NE(out.find("it's"), std::string::npos) << out;
    EXPECT_EQ(out.find("windows-1252"), std::string::npos) << out;
}

TEST(Stylesheet, ExsltAndErrors) {
    Document d;
    ASSERT_TRUE(d.loadXML("<R><V>b</V><V>a</V></R>"));
    xml::Stylesheet s;
    ASSERT_TRUE(s.loadXML(R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
        xmlns:str="http://exslt.org/strings" extension-element-prefixes="str">
      <xsl:output method="text"/>
      <xsl:template match="/"><xsl:value-of select="str:padding(3, '-')"/><xsl:for-each select="R/V">
        <xsl:sort/><xsl:value-of select="."/></xsl:for-each></xsl:template></xsl:stylesheet>)X"));
    std::string out;
    ASSERT_TRUE(s.transform(d, out)) << s.error();
    EXPECT_EQ(out, "---ab");
    // concat() and translate() as XPath defines them, whatever the argument types and characters.
    ASSERT_TRUE(d.loadXML("<R a='x|y'><V>café ☕ é</V><V>2</V></R>"));
    xml::Stylesheet strings;
    ASSERT_TRUE(strings.loadXML(R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
      <xsl:output method="text"/>
      <xsl:template match="/"><xsl:value-of select="concat(R/V[2], 1 div 2, R/@a, '', true(), R/V[2] = 2)"/>
        <xsl:value-of select="concat('/', translate(R/V, 'é☕a', 'EX'), '/', translate('aXab', 'aab', 'bc'), '/',
          translate(R/@a, '|y', '☕'), '/', translate(R/V[2], '', 'q'), '/', translate(R/V, 'cf', 'CF'))"/>
      </xsl:template></xsl:stylesheet>)X"));
    ASSERT_TRUE(strings.transform(d, out)) << strings.error();
    EXPECT_EQ(out, "20.5x|ytruetrue/cfE X E/bXb/x☕/2/CaFé ☕ é");
    xml::Stylesheet oneArgument;
    ASSERT_TRUE(oneArgument.loadXML(R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
      <xsl:template match="/"><xsl:value-of select="concat(R/@a)"/></xsl:template></xsl:stylesheet>)X"));
    EXPECT_FALSE(oneArgument.transform(d, out));
    xml::Stylesheet bad;
    EXPECT_FALSE(bad.loadXML("<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'><xsl:bogus/></xsl:stylesheet>"));
    EXPECT_FALSE(bad.error().empty());
    xml::Stylesheet terminating;
    ASSERT_TRUE(terminating.loadXML(R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
      <xsl:template match="/"><xsl:message terminate="yes">stop</xsl:message></xsl:template></xsl:stylesheet>)X"));
    EXPECT_FALSE(terminating.transform(d, out));
}

TEST(Stylesheet, ResultDocumentsGoToTheSinkOneByOneAndNeverToFiles) {
    testsupport::TempDir dir;
    Document d;
    ASSERT_TRUE(d.loadXML("<R><V>a</V><V>b&amp;</V></R>"));
    const std::string sheet = R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
        xmlns:exsl="http://exslt.org/common" extension-element-prefixes="exsl">
      <xsl:param name="to"/>
      <xsl:template match="/">main<xsl:for-each select="R/V">
        <exsl:document href="{$to}{position()}.html" method="html" encoding="UTF-8" indent="no">
          <html><body><xsl:value-of select="."/></body></html></exsl:document></xsl:for-each></xsl:template>
      </xsl:stylesheet>)X";
    xml::Stylesheet s;
    ASSERT_TRUE(s.loadXML(sheet));
    std::vector<std::pair<std::string, std::string>> got;
    std::string out;
    const xml::ResultDocumentSink sink = [&](const std::string& href, std::string&& text) {
        got.emplace_back(href, std::move(text));
        return true;
    };
    ASSERT_TRUE(s.transform(d, out, {{"to", std::string(xml::kResultDocumentPrefix) + "p"}}, sink)) << s.error();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].first, std::string(xml::kResultDocumentPrefix) + "p1.html");
    EXPECT_NE(got[1].second.find("<body>b&amp;</body></html>"), std::string::npos) << got[1].second;
    EXPECT_NE(out.find("main"), std::string::npos);

    // A sink that refuses fails the transform; a file href is refused, with or without a sink.
    EXPECT_FALSE(s.transform(d, out, {{"to", std::string(xml::kResultDocumentPrefix) + "p"}},
                             [](const std::string&, std::string&&) { return false; }));
    const std::string file = files::joinPath(dir.path(), "page");
    EXPECT_FALSE(s.transform(d, out, {{"to", file}}, sink));
    EXPECT_FALSE(s.transform(d, out, {{"to", file}}));
    EXPECT_FALSE(files::fileExists(file + "1.html"));

    // A text result far longer than is taken out of it at a time, with values made after
    // parameter contents and an element last, comes out whole and in order; a result
    // document's text stays its own.
    xml::Stylesheet text;
    ASSERT_TRUE(text.loadXML(R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
        xmlns:exsl="http://exslt.org/common" extension-element-prefixes="exsl">
      <xsl:output method="text"/>
      <xsl:template name="cell"><xsl:param name="v"/><xsl:value-of select="$v"/>;</xsl:template>
      <xsl:template match="/"><xsl:for-each select="R/V">
        <xsl:choose>
          <xsl:when test="position() mod 9000 = 0 or position() &lt; 3"><xsl:call-template name="cell">
            <xsl:with-param name="v"><xsl:value-of select="concat(., '-', position())"/></xsl:with-param></xsl:call-template></xsl:when>
          <xsl:otherwise><xsl:value-of select="concat(., '-', position())"/>;</xsl:otherwise>
        </xsl:choose>
        <xsl:if test="position() = 2"><exsl:document href="dalvane-result:t" method="text">page</exsl:document></xsl:if>
        <xsl:if test="position() = last()"><E>end</E></xsl:if></xsl:for-each></xsl:template></xsl:stylesheet>)X"));
    std::string source = "<R>", expected;
    for (int i = 1; i <= 20000; ++i) {
        source += "<V>v</V>";
        expected += "v-" + std::to_string(i) + ";";
    }
    ASSERT_TRUE(d.loadXML(source + "</R>"));
    got.clear();
    ASSERT_TRUE(text.transform(d, out, {}, sink)) << text.error();
    EXPECT_EQ(out, expected + "end");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].second, "page");
}

// Transforms run together over one document: each job's result documents reach its own sink,
// and each result equals that of the job run alone, also where the document holds white space
// that style sheets strip from it, or a style sheet matches with key() (those run one after the
// other). generate-id() gives each transform its own ids, as in Muenchian grouping; the
// document is left without the marks of keyed nodes.
TEST(Stylesheet, ConcurrentTransformsKeepTheirOwnResults) {
    const std::string head = R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
        xmlns:exsl="http://exslt.org/common" extension-element-prefixes="exsl">
      <xsl:strip-space elements="*"/>
      <xsl:param name="to"/>
      <xsl:key name="v" match="/R/V" use="@k"/>)X";
    const std::string sheets[] = {head + R"X(<xsl:template match="/"><xsl:for-each select="R/V">
        <exsl:document href="{$to}{position()}" method="text"><xsl:value-of select="concat(., count(key('v', @k)))"/></exsl:document>
        <xsl:value-of select="generate-id() = generate-id(key('v', @k)[1])"/></xsl:for-each></xsl:template>
      </xsl:stylesheet>)X",
        head + R"X(<xsl:template match="/"><xsl:for-each select="R/V[generate-id() = generate-id(key('v', @k)[1])]">
        <exsl:document href="{$to}{position()}" method="text">
          <xsl:for-each select="key('v', @k)"><xsl:value-of select="generate-id()"/></xsl:for-each></exsl:document>
        <xsl:value-of select="concat(@k, generate-id(@k), ' ')"/></xsl:for-each>
        <xsl:value-of select="generate-id(/)"/></xsl:template>
      </xsl:stylesheet>)X",
        head + R"X(<xsl:template match="/"><xsl:apply-templates select="R/V[position() mod 5 = 0]"/></xsl:template>
        <xsl:template match="key('v', '3')"><xsl:value-of select="generate-id()"/></xsl:template></xsl:stylesheet>)X"};
    for (const std::string blank : {"", "<V k='x'> </V>"}) {
        std::string text = "<R>" + blank;
        for (int i = 0; i < 1500; ++i) text += "<V k='" + std::to_string(i % 7) + "'>v" + std::to_string(i) + "</V>";
        Document d;
        ASSERT_TRUE(d.loadXML(text + "</R>"));
        std::string alone[std::size(sheets)];
        std::size_t documents[std::size(sheets)] = {};
        for (std::size_t k = 0; k < std::size(sheets); ++k) {
            xml::Stylesheet s;
            ASSERT_TRUE(s.loadXML(sheets[k]));
            Document copy = d.clone();
            ASSERT_TRUE(s.transform(copy, alone[k], {{"to", std::string(xml::kResultDocumentPrefix) + "a"}},
                                    [&documents, k](auto&&, auto&&) { return ++documents[k]; }));
        }
        auto sheetOf = [](std::size_t j) -> std::size_t { return j == 6 ? 2 : j % 2; };
        std::vector<xml::Stylesheet> loaded(8);
        std::vector<std::vector<std::string>> got(loaded.size());
        std::vector<xml::TransformJob> jobs(loaded.size());
        for (std::size_t j = 0; j < jobs.size(); ++j) {
            ASSERT_TRUE(loaded[j].loadXML(sheets[sheetOf(j)]));
            jobs[j].sheet = &loaded[j];
            jobs[j].params = {{"to", std::string(xml::kResultDocumentPrefix) + std::to_string(j) + "/"}};
            jobs[j].sink = [&got, j](const std::string& href, std::string&&) {
                got[j].push_back(href);
                return true;
            };
        }
        xml::transformConcurrently(d, jobs, 4);
        for (std::size_t j = 0; j < jobs.size(); ++j) {
            const std::size_t k = sheetOf(j);
            ASSERT_TRUE(jobs[j].ok) << jobs[j].error;
            EXPECT_EQ(jobs[j].out, alone[k]) << j;
            ASSERT_EQ(got[j].size(), documents[k]) << j;
            const std::string prefix = std::string(xml::kResultDocumentPrefix) + std::to_string(j) + "/";
            EXPECT_TRUE(std::all_of(got[j].begin(), got[j].end(), [&](const std::string& h) { return h.rfind(prefix, 0) == 0; }));
        }
        for (const xml::Node& v : d.selectNodes("R/V")) ASSERT_EQ(v.raw()->extra >> 12, 0) << v.text();
    }
}

// Program functions get the first node of their argument in document order (null for none) and
// give their nodes in document order; a failing one fails the transform, and they are there
// only for the transforms given them.
TEST(Stylesheet, ProgramFunctionsTakeAndGiveNodesInDocumentOrder) {
    Document d;
    ASSERT_TRUE(d.loadXML("<R><V n='1'/><W/><V n='2'/><V n='3'/></R>"));
    xml::Stylesheet s;
    ASSERT_TRUE(s.loadXML(R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
        xmlns:dx="urn:dalvane:xslt">
      <xsl:output method="text"/>
      <xsl:param name="fail" select="0"/>
      <xsl:template match="/">
        <xsl:choose>
          <xsl:when test="function-available('dx:tag') and function-available('dx:upto')">
            <xsl:value-of select="concat(dx:tag(R/V[3] | R/W), dx:tag(R/none), ' ')"/>
            <xsl:for-each select="dx:upto(R/V[1], 2)"><xsl:value-of select="concat(name(), @n)"/></xsl:for-each>
            <xsl:if test="$fail = 1"><xsl:value-of select="dx:tag(R)"/></xsl:if>
          </xsl:when>
          <xsl:otherwise>none available</xsl:otherwise>
        </xsl:choose>
      </xsl:template>
    </xsl:stylesheet>)X")) << s.error();
    std::string out;
    ASSERT_TRUE(s.transform(d, out)) << s.error();
    EXPECT_EQ(out, "none available");
    xml::XsltFunctions functions;
    functions.text["tag"] = [](const xml::Node& n) {
        if (n && n.name() == "R") throw std::runtime_error("no");
        return n ? n.name() + n.attribute("n") : std::string("none");
    };
    // The node and the count elements after it, listed backwards.
    functions.nodes["upto"] = [](const xml::Node& n, double count) {
        const xml::NodeList all = n.parent().childElements();
        const auto at = std::find(all.begin(), all.end(), n);
        xml::NodeList out(at, at + static_cast<std::ptrdiff_t>(count) + 1);
        std::reverse(out.begin(), out.end());
        return out;
    };
    ASSERT_TRUE(s.transform(d, out, {}, nullptr, &functions)) << s.error();
    EXPECT_EQ(out, "Wnone V1WV2");
    EXPECT_FALSE(s.transform(d, out, {{"fail", "1"}}, nullptr, &functions));
}

// Parts made at once and joined give the one transform's document: names the sheet never
// mentions (kept by each part's own dictionary) survive their part's document, and a result
// with namespaces, which cannot be joined, is made whole instead.
TEST(Stylesheet, PartsJoinIntoTheWholeResult) {
    const std::string sheet = R"X(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
      <xsl:param name="part" select="0"/>
      <xsl:param name="parts" select="1"/>
      <xsl:template match="/R">
        <xsl:variable name="n" select="count(*)"/>
        <OUT at="{$part}"><xsl:copy-of select="@*"/>
          <xsl:for-each select="*[position() &gt; floor($n * $part div $parts) and position() &lt;= floor($n * ($part + 1) div $parts)]">
            <xsl:copy><xsl:copy-of select="@*"/><xsl:attribute name="{concat('made_', name())}">x</xsl:attribute>
              <xsl:text>t</xsl:text><xsl:comment>c</xsl:comment><xsl:value-of select="@only_here"/></xsl:copy>
          </xsl:for-each>
          <xsl:if test="$part = $parts - 1"><LAST/></xsl:if>
        </OUT>
      </xsl:template>
    </xsl:stylesheet>)X";
    for (const std::string ns : {"", " xmlns:q='urn:q' q:a='1'"}) {
        std::string text = "<R k='v'>";
        for (int i = 0; i < 900; ++i)
            text += "<E" + std::to_string(i % 5) + " only_here='" + std::to_string(i) + "' z" + std::to_string(i % 11) +
                    "=''" + (i == 450 ? ns : std::string()) + "/>";
        Document d;
        ASSERT_TRUE(d.loadXML(text + "</R>"));
        xml::Stylesheet s;
        ASSERT_TRUE(s.loadXML(sheet));
        Document whole, joined;
        ASSERT_TRUE(s.transform(d, whole));
        ASSERT_TRUE(s.transformInParts(d, joined, 4, "part", "parts")) << s.error();
        EXPECT_EQ(joined.xml(), whole.xml());
        // The joined document stands on its own: it is edited and copied after the parts are gone.
        joined.documentElement().appendElement("ADDED").setAttribute("z3", "y");
        EXPECT_EQ(joined.clone().count("/OUT/*[@made_E1]"), 180);
    }
}

TEST(Document, EntityAmplificationFailsAtOnceNamingTheFile) {
    testsupport::TempDir dir;
    std::string entities = "<!ENTITY e0 \"lollollollollollollollollollol\">\n";
    for (int i = 1; i < 10; ++i) {
        entities += "<!ENTITY e" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k) entities += "&e" + std::to_string(i - 1) + ";";
        entities += "\">\n";
    }
    const std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE DALVIMPORT [\n" + entities +
                             "]>\n<DALVIMPORT><DATABASE>&e9;</DATABASE></DALVIMPORT>\n";
    const std::string path = dir.file("laughs.xml");
    ASSERT_TRUE(files::writeTextFile(path, text));
    Document d;
    EXPECT_FALSE(d.load(path));
    EXPECT_NE(d.parseError().find(path), std::string::npos) << d.parseError();
    EXPECT_FALSE(d.loadXML(text));
    EXPECT_TRUE(d.isEmpty());
    // An entity is read as its text, leaving no document type; an external or undeclared one is refused.
    EXPECT_EQ(d.loadXML("<!DOCTYPE D [<!ENTITY i \"it's\">]><D N=\"&i;\">&i;</D>") ? d.xml() : "", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<D N=\"it's\">it's</D>\n");
    for (const char* refused : {"<!DOCTYPE D [<!ENTITY % x SYSTEM \"/etc/hostname\"> %x;]><D/>", "<!DOCTYPE D SYSTEM \"d\"><D N=\"&i;\"/>"})
        EXPECT_FALSE(d.loadXML(refused)) << refused;
}
