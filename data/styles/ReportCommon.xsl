<?xml version="1.0" encoding="UTF-8"?>
<!--
  Templates shared by the report layouts. A layout sheet includes this module and defines
    $layout  'screen' or 'print'
    $whole   true() for the one-page report (links stay inside the page)
  and calls one of the *-pages templates.

  Input: the output of ReportXML.xsl. Output: one or more HTML documents, each starting with
  "<html>" and its page number in a comment, each followed by the page delimiter comment.
  Page files are named <database><Kind><n>.html; the database part has "/" and "\" replaced
  by "_" (the export names its files the same way).
  Catalogue text is always written as text (escaped), never as markup.
  With $page-documents set, each page is written as a document of its own instead, at
  <$page-documents><Kind><n>.html, with the text it would have in the output (no delimiter),
  so that an export holds one page at a time. With $page-parts greater than 1, a paged kind
  makes only its pages n where (n - 1) mod $page-parts = $page-part, so that several
  transforms can make one kind's pages between them.
  Run by the program, the sheet finds each object's place among its kind and its anchor with
  the program's dx: functions instead of working them out over the whole document in every
  transform; elsewhere it works them out itself, with the same result.
-->
<xsl:stylesheet version="1.0"
                xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:str="http://exslt.org/strings"
                xmlns:exsl="http://exslt.org/common"
                xmlns:dx="urn:dalvane:xslt"
                extension-element-prefixes="str exsl"
                exclude-result-prefixes="str exsl dx">
  <xsl:output method="html" encoding="UTF-8" indent="no"/>
  <xsl:strip-space elements="*"/>

  <xsl:include href="ReportColumns.xsl"/>

  <xsl:param name="page-documents" select="''"/>
  <xsl:param name="page-part" select="0"/>
  <xsl:param name="page-parts" select="1"/>

  <xsl:key name="table" match="/DATABASE/TABLE" use="@Name"/>
  <!-- Objects whose names give the same anchor ("a b", "a_b"): all but the first get a suffix.
       Not needed (so left empty) where dx:anchor gives an object's anchor. -->
  <xsl:key name="anchor" match="/DATABASE[not(function-available('dx:anchor'))]/*[@Name]" use="translate(@Name, ' &#9;&#10;&#13;', '____')"/>
  <xsl:key name="fk-by-pktable" match="/DATABASE/TABLE/FOREIGNKEY" use="@Primary_Key_Table"/>
  <!-- One group per key: the table holding it, its name and tables and, where the reader numbers
       each key's columns (@Ordinal; a key's rows then stand together), its first row; rows with
       neither a name nor a number stay single, so they are not keyed (a group is then the row
       itself). -->
  <xsl:key name="fk-group" match="/DATABASE/TABLE/FOREIGNKEY[string(@Name) != '' or @Ordinal]"
           use="concat(generate-id(..), '|', @Primary_Key_Table, '|', @Foreign_Key_Table, '|', @Name, '|', generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()]))"/>

  <xsl:variable name="db" select="/DATABASE"/>
  <xsl:variable name="opts" select="/DATABASE/REPORTOPTIONS/HTML"/>
  <xsl:variable name="dbname" select="string(/DATABASE/@DatabaseName)"/>
  <xsl:variable name="fileprefix" select="translate($dbname, '/\', '__')"/>
  <xsl:variable name="multiple"
                select="not(translate($opts/@MultipleHTMLs, 'FALSE', 'false') = 'false'
                            or string($opts/@MultipleHTMLs) = '0')"/>
  <xsl:variable name="perpage-text">
    <xsl:choose>
      <xsl:when test="$multiple and number($opts/@ObjectsPerPage) &gt;= 1">
        <xsl:value-of select="floor(number($opts/@ObjectsPerPage))"/>
      </xsl:when>
      <xsl:otherwise>1000000000</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>
  <xsl:variable name="perpage" select="number($perpage-text)"/>
  <xsl:variable name="imageprefix">
    <xsl:choose>
      <xsl:when test="string($opts/@ImagePrefix) != ''"><xsl:value-of select="$opts/@ImagePrefix"/></xsl:when>
      <xsl:otherwise>blu</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>
  <xsl:variable name="scheme">
    <xsl:choose>
      <xsl:when test="string($opts/@ColourScheme) != ''">
        <xsl:value-of select="translate($opts/@ColourScheme, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ ', 'abcdefghijklmnopqrstuvwxyz-')"/>
      </xsl:when>
      <xsl:otherwise>blue</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>
  <xsl:variable name="imagebase">
    <xsl:variable name="p" select="translate($opts/@ImagePath, '\', '/')"/>
    <xsl:choose>
      <xsl:when test="$p = ''">images/</xsl:when>
      <xsl:when test="substring($p, string-length($p)) = '/'"><xsl:value-of select="$p"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="concat($p, '/')"/></xsl:otherwise>
    </xsl:choose>
  </xsl:variable>
  <xsl:variable name="cssfile">
    <xsl:choose>
      <xsl:when test="string($opts/@CurrentCSS) != ''">
        <xsl:call-template name="file-name">
          <xsl:with-param name="path" select="translate($opts/@CurrentCSS, '\', '/')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>ReportFormat1a.css</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <!-- A kind the column settings leave out has none (ReportColumns.xsl). -->
  <xsl:variable name="tables" select="/DATABASE/TABLE[not(@PreviewContext)][$show-tables]"/>
  <xsl:variable name="views" select="/DATABASE/VIEW[$show-views]"/>
  <xsl:variable name="procedures" select="/DATABASE/STOREDPROCEDURE[$show-procedures]"/>
  <xsl:variable name="triggers" select="/DATABASE/TABLE/TRIGGER[$show-triggers]"/>
  <xsl:variable name="indexes" select="/DATABASE/TABLE/INDEX[$show-tables]"/>
  <!-- Counts on every page, taken once: a node-set variable is copied wherever it is read. -->
  <xsl:variable name="table-count" select="count($tables)"/>
  <xsl:variable name="view-count" select="count($views)"/>
  <xsl:variable name="procedure-count" select="count($procedures)"/>
  <!-- Object kinds the reader did not read: their counts are not available, never 0. -->
  <xsl:variable name="unread" select="concat(' ', /DATABASE/@Not_Read, ' ')"/>
  <xsl:variable name="noprocs" select="contains($unread, ' STOREDPROCEDURE ')"/>
  <xsl:variable name="notriggers" select="contains($unread, ' TRIGGER ')"/>
  <xsl:variable name="uniqueonly" select="/DATABASE/@Indexes_Read = 'Unique'"/>

  <!-- dx:paged-position(node): node's place among the paged objects of its kind ($tables, $views
       or $procedures), "" for any other node; dx:paged-run(node, count): the paged objects of
       node's kind from node's place p to p + count - 1; dx:anchor(node): the anchor of a named
       object. -->
  <xsl:variable name="indexed"
                select="function-available('dx:paged-position') and function-available('dx:paged-run') and function-available('dx:anchor')"/>
  <!-- Without them, the page of every paged object, numbered once: <paged kind= page= id=/>,
       found by the object's generate-id() or by kind and page. -->
  <xsl:variable name="paged-list">
    <xsl:if test="not($indexed)">
    <xsl:for-each select="$tables"><paged kind="Tables" page="{floor((position() - 1) div $perpage) + 1}" id="{generate-id()}"/></xsl:for-each>
    <xsl:for-each select="$views"><paged kind="Views" page="{floor((position() - 1) div $perpage) + 1}" id="{generate-id()}"/></xsl:for-each>
    <xsl:for-each select="$procedures"><paged kind="StoredProcedures" page="{floor((position() - 1) div $perpage) + 1}" id="{generate-id()}"/></xsl:for-each>
    </xsl:if>
  </xsl:variable>
  <xsl:variable name="paged" select="exsl:node-set($paged-list)"/>
  <xsl:key name="paged-by-id" match="/paged" use="@id"/>
  <xsl:key name="paged-by-page" match="/paged" use="concat(@kind, '|', @page)"/>
  <xsl:key name="object-by-id" match="/DATABASE[not(function-available('dx:paged-position'))]/*" use="generate-id()"/>

  <!-- ===== small helpers ===== -->

  <!-- A count, or "not available" where the reader did not read that kind of object. -->
  <xsl:template name="count">
    <xsl:param name="n"/>
    <xsl:param name="unread" select="false()"/>
    <xsl:choose>
      <xsl:when test="$unread">not available</xsl:when>
      <xsl:otherwise><xsl:value-of select="$n"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="file-name">
    <xsl:param name="path"/>
    <xsl:choose>
      <xsl:when test="contains($path, '/')">
        <xsl:call-template name="file-name">
          <xsl:with-param name="path" select="substring-after($path, '/')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$path"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- An element id for a name: white space becomes "_" (ids hold none). Given the object's
       node (name is then its Name), the id is unique in the document: a later object whose
       name gives the same id gets "-<n>" added, n its place among them (more when that id is a
       name of its own). -->
  <xsl:template name="anchor">
    <xsl:param name="name"/>
    <xsl:param name="node" select="/.."/>
    <xsl:choose>
      <xsl:when test="not($node/@Name)"><xsl:value-of select="translate($name, ' &#9;&#10;&#13;', '____')"/></xsl:when>
      <xsl:when test="$indexed"><xsl:value-of select="dx:anchor($node)"/></xsl:when>
      <xsl:otherwise>
        <xsl:variable name="base" select="translate($name, ' &#9;&#10;&#13;', '____')"/>
        <xsl:variable name="same" select="key('anchor', $base)"/>
        <xsl:choose>
          <xsl:when test="count($same) &gt; 1 and generate-id($same[1]) != generate-id($node)">
            <xsl:call-template name="anchor-free">
              <xsl:with-param name="candidate" select="$base"/>
              <xsl:with-param name="n" select="count($node/preceding-sibling::*[@Name][translate(@Name, ' &#9;&#10;&#13;', '____') = $base]) + 1"/>
            </xsl:call-template>
          </xsl:when>
          <xsl:otherwise><xsl:value-of select="$base"/></xsl:otherwise>
        </xsl:choose>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="anchor-free">
    <xsl:param name="candidate"/>
    <xsl:param name="n"/>
    <xsl:variable name="next" select="concat($candidate, '-', $n)"/>
    <xsl:choose>
      <xsl:when test="key('anchor', $next)">
        <xsl:call-template name="anchor-free">
          <xsl:with-param name="candidate" select="$next"/>
          <xsl:with-param name="n" select="$n"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$next"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- href of page <kind><number>, empty in the one-page report. -->
  <xsl:template name="page-href">
    <xsl:param name="kind"/>
    <xsl:param name="number" select="1"/>
    <xsl:if test="not($whole)">
      <xsl:value-of select="str:encode-uri(concat($fileprefix, $kind, $number, '.html'), true())"/>
    </xsl:if>
  </xsl:template>

  <xsl:template name="href">
    <xsl:param name="kind"/>
    <xsl:param name="number" select="1"/>
    <xsl:param name="anchor"/>
    <xsl:call-template name="page-href">
      <xsl:with-param name="kind" select="$kind"/>
      <xsl:with-param name="number" select="$number"/>
    </xsl:call-template>
    <xsl:if test="$anchor != ''">
      <xsl:value-of select="concat('#', str:encode-uri($anchor, true()))"/>
    </xsl:if>
  </xsl:template>

  <xsl:template name="page-count">
    <xsl:param name="count"/>
    <xsl:choose>
      <xsl:when test="$count = 0">1</xsl:when>
      <xsl:otherwise><xsl:value-of select="ceiling($count div $perpage)"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The page number of a paged object; "" for any other node. -->
  <xsl:template name="page-of">
    <xsl:param name="node" select="."/>
    <xsl:choose>
      <xsl:when test="$indexed">
        <xsl:variable name="position" select="dx:paged-position($node)"/>
        <xsl:if test="$position != ''"><xsl:value-of select="floor(($position - 1) div $perpage) + 1"/></xsl:if>
      </xsl:when>
      <xsl:otherwise>
        <xsl:variable name="id" select="generate-id($node)"/>
        <xsl:for-each select="$paged"><xsl:value-of select="key('paged-by-id', $id)/@page"/></xsl:for-each>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The display name of an object: Name, or its first own attribute. -->
  <xsl:template name="object-name">
    <xsl:param name="node" select="."/>
    <xsl:choose>
      <xsl:when test="$node/@Name"><xsl:value-of select="$node/@Name"/></xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="$node/@*[local-name() != 'Report' and local-name() != 'Migrate'][1]"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Link to the section of table $table, by default the first table named $name (page 1 when
       the table is not in the document). Tables of one name each have their own section: a
       link from an object of the table passes its table. -->
  <xsl:template name="table-href">
    <xsl:param name="name"/>
    <xsl:param name="suffix"/>
    <xsl:param name="table" select="key('table', $name)[1]"/>
    <xsl:variable name="t" select="$table"/>
    <xsl:variable name="anchor">
      <xsl:call-template name="anchor"><xsl:with-param name="name" select="$name"/><xsl:with-param name="node" select="$t"/></xsl:call-template>
    </xsl:variable>
    <xsl:call-template name="href">
      <xsl:with-param name="kind" select="'Tables'"/>
      <xsl:with-param name="number">
        <xsl:choose>
          <xsl:when test="$t"><xsl:call-template name="page-of"><xsl:with-param name="node" select="$t"/></xsl:call-template></xsl:when>
          <xsl:otherwise>1</xsl:otherwise>
        </xsl:choose>
      </xsl:with-param>
      <xsl:with-param name="anchor" select="concat($anchor, $suffix)"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template name="table-link">
    <xsl:param name="name"/>
    <xsl:param name="table" select="key('table', $name)[1]"/>
    <xsl:choose>
      <xsl:when test="not($show-tables)"><xsl:value-of select="$name"/></xsl:when>
      <xsl:otherwise>
    <a>
      <xsl:attribute name="href">
        <xsl:call-template name="table-href"><xsl:with-param name="name" select="$name"/><xsl:with-param name="table" select="$table"/></xsl:call-template>
      </xsl:attribute>
      <xsl:value-of select="$name"/>
    </a>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="object-href">
    <xsl:param name="node"/>
    <xsl:param name="kind"/>
    <xsl:variable name="name">
      <xsl:call-template name="object-name"><xsl:with-param name="node" select="$node"/></xsl:call-template>
    </xsl:variable>
    <xsl:variable name="page"><xsl:call-template name="page-of"><xsl:with-param name="node" select="$node"/></xsl:call-template></xsl:variable>
    <xsl:call-template name="href">
      <xsl:with-param name="kind" select="$kind"/>
      <xsl:with-param name="number">
        <xsl:choose>
          <xsl:when test="$page != ''"><xsl:value-of select="$page"/></xsl:when>
          <xsl:otherwise><xsl:value-of select="floor(count($node/preceding-sibling::*[name() = name($node)]) div $perpage) + 1"/></xsl:otherwise>
        </xsl:choose>
      </xsl:with-param>
      <xsl:with-param name="anchor">
        <xsl:call-template name="anchor"><xsl:with-param name="name" select="$name"/><xsl:with-param name="node" select="$node"/></xsl:call-template>
      </xsl:with-param>
    </xsl:call-template>
  </xsl:template>

  <xsl:template name="icon">
    <xsl:param name="name"/>
    <xsl:param name="alt" select="''"/>
    <img class="icon" src="{$imagebase}{$imageprefix}{$name}.svg" alt="{$alt}" width="16" height="16"/>
  </xsl:template>

  <xsl:template name="fk-name">
    <xsl:choose>
      <xsl:when test="string(@Name) != ''"><xsl:value-of select="@Name"/></xsl:when>
      <xsl:otherwise><span class="unnamed">(unnamed)</span></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- ===== page frame ===== -->

  <xsl:template name="page">
    <xsl:param name="kind"/>
    <xsl:param name="number" select="1"/>
    <xsl:param name="pages" select="1"/>
    <xsl:param name="title"/>
    <xsl:param name="content"/>
    <!-- Content made in place instead of copied from $content: 'objects' ($group's sections),
         'index', 'diagram' or 'summary'. -->
    <xsl:param name="content-of" select="''"/>
    <xsl:param name="group" select="/.."/>
    <xsl:choose>
      <xsl:when test="$page-documents != ''">
        <exsl:document href="{$page-documents}{$kind}{$number}.html" method="html" encoding="UTF-8" indent="no">
          <!-- A later page begins after the line break that ends the page before it. -->
          <xsl:if test="$number &gt; 1"><xsl:text>&#10;</xsl:text></xsl:if>
          <xsl:call-template name="page-html">
            <xsl:with-param name="kind" select="$kind"/>
            <xsl:with-param name="number" select="$number"/>
            <xsl:with-param name="pages" select="$pages"/>
            <xsl:with-param name="title" select="$title"/>
            <xsl:with-param name="content" select="$content"/>
            <xsl:with-param name="content-of" select="$content-of"/>
            <xsl:with-param name="group" select="$group"/>
          </xsl:call-template>
        </exsl:document>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="page-html">
          <xsl:with-param name="kind" select="$kind"/>
          <xsl:with-param name="number" select="$number"/>
          <xsl:with-param name="pages" select="$pages"/>
          <xsl:with-param name="title" select="$title"/>
          <xsl:with-param name="content" select="$content"/>
          <xsl:with-param name="content-of" select="$content-of"/>
          <xsl:with-param name="group" select="$group"/>
        </xsl:call-template>
        <xsl:comment>dalv html delimiter</xsl:comment>
        <xsl:text>&#10;</xsl:text>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The text of one page: its document type and html element. -->
  <xsl:template name="page-html">
    <xsl:param name="kind"/>
    <xsl:param name="number"/>
    <xsl:param name="pages"/>
    <xsl:param name="title"/>
    <xsl:param name="content"/>
    <xsl:param name="content-of"/>
    <xsl:param name="group"/>
    <!-- The pager, above and below the page's objects. -->
    <xsl:variable name="pager">
      <xsl:if test="$pages &gt; 1">
        <xsl:call-template name="pager">
          <xsl:with-param name="kind" select="$kind"/>
          <xsl:with-param name="number" select="$number"/>
          <xsl:with-param name="pages" select="$pages"/>
        </xsl:call-template>
      </xsl:if>
    </xsl:variable>
    <xsl:value-of select="'&lt;!DOCTYPE html&gt;&#10;'" disable-output-escaping="yes"/>
    <html>
      <xsl:comment><xsl:value-of select="$number"/></xsl:comment>
      <head>
        <meta http-equiv="Content-Type" content="text/html; charset=UTF-8"/>
        <meta name="viewport" content="width=device-width, initial-scale=1"/>
        <meta name="generator" content="Dalvane 4.5"/>
        <title>
          <xsl:value-of select="$title"/>
          <xsl:if test="$pages &gt; 1"> (<xsl:value-of select="$number"/>/<xsl:value-of select="$pages"/>)</xsl:if>
          <xsl:text> - </xsl:text>
          <xsl:value-of select="$dbname"/>
        </title>
        <link rel="stylesheet" href="styles/{str:encode-uri($cssfile, true())}"/>
      </head>
      <body class="scheme-{$scheme} layout-{$layout}">
        <header class="banner" id="report-top">
          <xsl:if test="$layout = 'screen'">
            <img class="logo" src="{$imagebase}{$imageprefix}logo.svg" alt="" width="40" height="40"/>
          </xsl:if>
          <div>
            <p class="dbname"><xsl:value-of select="$dbname"/></p>
            <p class="subtitle">
              <xsl:if test="string($db/@Database_Engine) != ''">
                <xsl:value-of select="$db/@Database_Engine"/>
              </xsl:if>
              <xsl:if test="string($db/@Server_Name) != ''">
                <xsl:text> · server </xsl:text><xsl:value-of select="$db/@Server_Name"/>
              </xsl:if>
              <xsl:if test="string($db/@Created_On) != ''">
                <xsl:text> · read on </xsl:text><xsl:value-of select="$db/@Created_On"/>
              </xsl:if>
            </p>
          </div>
        </header>
        <xsl:if test="not($whole)">
          <nav class="mainnav" aria-label="Report">
            <ul>
              <xsl:call-template name="nav-item"><xsl:with-param name="kind" select="'Index'"/><xsl:with-param name="caption" select="'Contents'"/><xsl:with-param name="current" select="$kind"/></xsl:call-template>
              <xsl:if test="$show-tables"><xsl:call-template name="nav-item"><xsl:with-param name="kind" select="'Tables'"/><xsl:with-param name="caption" select="'Tables'"/><xsl:with-param name="current" select="$kind"/><xsl:with-param name="count" select="$table-count"/></xsl:call-template></xsl:if>
              <xsl:if test="$show-views"><xsl:call-template name="nav-item"><xsl:with-param name="kind" select="'Views'"/><xsl:with-param name="caption" select="'Views'"/><xsl:with-param name="current" select="$kind"/><xsl:with-param name="count" select="$view-count"/></xsl:call-template></xsl:if>
              <xsl:if test="$show-procedures"><xsl:call-template name="nav-item"><xsl:with-param name="kind" select="'StoredProcedures'"/><xsl:with-param name="caption" select="'Stored procedures'"/><xsl:with-param name="current" select="$kind"/><xsl:with-param name="count" select="$procedure-count - ($procedure-count + 1) * $noprocs"/></xsl:call-template></xsl:if>
              <xsl:call-template name="nav-item"><xsl:with-param name="kind" select="'Diagram'"/><xsl:with-param name="caption" select="'Relationships'"/><xsl:with-param name="current" select="$kind"/></xsl:call-template>
              <xsl:call-template name="nav-item"><xsl:with-param name="kind" select="'Summary'"/><xsl:with-param name="caption" select="'Summary'"/><xsl:with-param name="current" select="$kind"/></xsl:call-template>
            </ul>
          </nav>
        </xsl:if>
        <main>
          <h1><xsl:value-of select="$title"/></h1>
          <xsl:copy-of select="$pager"/>
          <xsl:choose>
            <xsl:when test="$content-of = 'objects'">
              <xsl:call-template name="page-objects"><xsl:with-param name="group" select="$group"/></xsl:call-template>
            </xsl:when>
            <xsl:when test="$content-of = 'index'"><xsl:call-template name="index-content"/></xsl:when>
            <xsl:when test="$content-of = 'diagram'"><xsl:call-template name="diagram-content"/></xsl:when>
            <xsl:when test="$content-of = 'summary'"><xsl:call-template name="summary-content"/></xsl:when>
            <xsl:otherwise><xsl:copy-of select="$content"/></xsl:otherwise>
          </xsl:choose>
          <xsl:copy-of select="$pager"/>
        </main>
        <footer>
          <p>Dalvane 4.5 report of <xsl:value-of select="$dbname"/>
            <xsl:if test="$pages &gt; 1"> · page <xsl:value-of select="$number"/> of <xsl:value-of select="$pages"/></xsl:if>
          </p>
        </footer>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="nav-item">
    <xsl:param name="kind"/>
    <xsl:param name="caption"/>
    <xsl:param name="current"/>
    <xsl:param name="count" select="-1"/>
    <li>
      <a>
        <xsl:attribute name="href">
          <xsl:call-template name="page-href"><xsl:with-param name="kind" select="$kind"/></xsl:call-template>
        </xsl:attribute>
        <xsl:if test="$kind = $current"><xsl:attribute name="aria-current">page</xsl:attribute></xsl:if>
        <xsl:value-of select="$caption"/>
        <xsl:if test="$count &gt;= 0"><xsl:text> </xsl:text><span class="count"><xsl:value-of select="$count"/></span></xsl:if>
      </a>
    </li>
  </xsl:template>

  <xsl:template name="pager">
    <xsl:param name="kind"/>
    <xsl:param name="number"/>
    <xsl:param name="pages"/>
    <nav class="pager" aria-label="Pages">
      <xsl:if test="$number &gt; 1">
        <a rel="prev">
          <xsl:attribute name="href">
            <xsl:call-template name="page-href"><xsl:with-param name="kind" select="$kind"/><xsl:with-param name="number" select="$number - 1"/></xsl:call-template>
          </xsl:attribute>
          <xsl:text>« Previous</xsl:text>
        </a>
      </xsl:if>
      <xsl:call-template name="pager-numbers">
        <xsl:with-param name="kind" select="$kind"/>
        <xsl:with-param name="i" select="1"/>
        <xsl:with-param name="number" select="$number"/>
        <xsl:with-param name="pages" select="$pages"/>
      </xsl:call-template>
      <xsl:if test="$number &lt; $pages">
        <a rel="next">
          <xsl:attribute name="href">
            <xsl:call-template name="page-href"><xsl:with-param name="kind" select="$kind"/><xsl:with-param name="number" select="$number + 1"/></xsl:call-template>
          </xsl:attribute>
          <xsl:text>Next »</xsl:text>
        </a>
      </xsl:if>
    </nav>
  </xsl:template>

  <!-- Page numbers; long runs are cut to the first, the last and the neighbours of the current page. -->
  <xsl:template name="pager-numbers">
    <xsl:param name="kind"/>
    <xsl:param name="i"/>
    <xsl:param name="number"/>
    <xsl:param name="pages"/>
    <xsl:if test="$i &lt;= $pages">
      <xsl:choose>
        <xsl:when test="$i = $number">
          <span class="current" aria-current="page"><xsl:value-of select="$i"/></span>
        </xsl:when>
        <xsl:when test="$i = 1 or $i = $pages or ($i &gt;= $number - 3 and $i &lt;= $number + 3)">
          <a>
            <xsl:attribute name="href">
              <xsl:call-template name="page-href"><xsl:with-param name="kind" select="$kind"/><xsl:with-param name="number" select="$i"/></xsl:call-template>
            </xsl:attribute>
            <xsl:value-of select="$i"/>
          </a>
        </xsl:when>
        <xsl:when test="$i = 2 or $i = $number + 4"><span class="gap">…</span></xsl:when>
      </xsl:choose>
      <xsl:variable name="next">
        <xsl:choose>
          <xsl:when test="$i &gt;= 2 and $i &lt; $number - 3"><xsl:value-of select="$number - 3"/></xsl:when>
          <xsl:when test="$i &gt; $number + 3 and $i &lt; $pages"><xsl:value-of select="$pages"/></xsl:when>
          <xsl:otherwise><xsl:value-of select="$i + 1"/></xsl:otherwise>
        </xsl:choose>
      </xsl:variable>
      <xsl:call-template name="pager-numbers">
        <xsl:with-param name="kind" select="$kind"/>
        <xsl:with-param name="i" select="number($next)"/>
        <xsl:with-param name="number" select="$number"/>
        <xsl:with-param name="pages" select="$pages"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- ===== index ===== -->

  <xsl:template name="index-pages">
    <xsl:call-template name="page">
      <xsl:with-param name="kind" select="'Index'"/>
      <xsl:with-param name="title" select="'Contents'"/>
      <xsl:with-param name="content-of" select="'index'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template name="index-content">
    <section class="overview">
      <ul class="figures">
        <xsl:if test="$show-tables"><li><a href="#tables"><strong><xsl:value-of select="count($tables)"/></strong> tables</a></li></xsl:if>
        <xsl:if test="$show-views"><li><a href="#views"><strong><xsl:value-of select="count($views)"/></strong> views</a></li></xsl:if>
        <xsl:if test="$show-procedures"><li><a href="#storedprocedures"><strong><xsl:call-template name="count"><xsl:with-param name="n" select="count($procedures)"/><xsl:with-param name="unread" select="$noprocs"/></xsl:call-template></strong> stored procedures</a></li></xsl:if>
        <xsl:if test="$show-triggers"><li><a href="#triggers"><strong><xsl:call-template name="count"><xsl:with-param name="n" select="count($triggers)"/><xsl:with-param name="unread" select="$notriggers"/></xsl:call-template></strong> triggers</a></li></xsl:if>
        <xsl:if test="$show-tables"><li><a href="#indexes"><strong><xsl:value-of select="count($indexes)"/></strong><xsl:if test="$uniqueonly"> unique</xsl:if> indexes</a></li></xsl:if>
      </ul>
    </section>

    <xsl:if test="$show-tables">
    <section class="contents" id="tables">
      <h2><xsl:call-template name="icon"><xsl:with-param name="name" select="'table'"/></xsl:call-template>Tables</h2>
      <xsl:choose>
        <xsl:when test="$tables">
          <table class="grid">
            <thead><tr><th scope="col">Table</th><th scope="col" class="num">Columns</th><th scope="col" class="num"><xsl:if test="$uniqueonly">Unique indexes</xsl:if><xsl:if test="not($uniqueonly)">Indexes</xsl:if></th><th scope="col" class="num">Foreign keys</th><th scope="col" class="num">Triggers</th><th scope="col">Created</th></tr></thead>
            <tbody>
              <xsl:for-each select="$tables">
                <xsl:variable name="page" select="floor((position() - 1) div $perpage) + 1"/>
                <tr>
                  <td>
                    <a>
                      <xsl:attribute name="href">
                        <xsl:call-template name="href">
                          <xsl:with-param name="kind" select="'Tables'"/>
                          <xsl:with-param name="number" select="$page"/>
                          <xsl:with-param name="anchor"><xsl:call-template name="anchor"><xsl:with-param name="name" select="@Name"/><xsl:with-param name="node" select="."/></xsl:call-template></xsl:with-param>
                        </xsl:call-template>
                      </xsl:attribute>
                      <xsl:value-of select="@Name"/>
                    </a>
                  </td>
                  <td class="num"><xsl:value-of select="count(COLUMN)"/></td>
                  <td class="num"><xsl:value-of select="count(INDEX)"/></td>
                  <td class="num"><xsl:value-of select="count(FOREIGNKEY[(string(@Name) = '' and not(@Ordinal)) or count(. | key('fk-group', concat(generate-id(..), '|', @Primary_Key_Table, '|', @Foreign_Key_Table, '|', @Name, '|', generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()])))[1]) = 1])"/></td>
                  <td class="num"><xsl:call-template name="count"><xsl:with-param name="n" select="count(TRIGGER)"/><xsl:with-param name="unread" select="$notriggers"/></xsl:call-template></td>
                  <td><xsl:value-of select="@Created_On"/></td>
                </tr>
              </xsl:for-each>
            </tbody>
          </table>
        </xsl:when>
        <xsl:otherwise><p class="empty">No tables in this report.</p></xsl:otherwise>
      </xsl:choose>
    </section>
    </xsl:if>

    <xsl:if test="$show-views">
    <section class="contents" id="views">
      <h2><xsl:call-template name="icon"><xsl:with-param name="name" select="'view'"/></xsl:call-template>Views</h2>
      <xsl:call-template name="object-list">
        <xsl:with-param name="nodes" select="$views"/>
        <xsl:with-param name="kind" select="'Views'"/>
        <xsl:with-param name="empty" select="'No views in this report.'"/>
      </xsl:call-template>
    </section>
    </xsl:if>

    <xsl:if test="$show-procedures">
    <section class="contents" id="storedprocedures">
      <h2><xsl:call-template name="icon"><xsl:with-param name="name" select="'proc'"/></xsl:call-template>Stored procedures</h2>
      <xsl:call-template name="object-list">
        <xsl:with-param name="nodes" select="$procedures"/>
        <xsl:with-param name="kind" select="'StoredProcedures'"/>
        <xsl:with-param name="empty" select="concat(substring('No stored procedures in this report.', 1, 36 * not($noprocs)), substring('Stored procedures are not available for this database engine.', 1, 61 * $noprocs))"/>
      </xsl:call-template>
    </section>
    </xsl:if>

    <xsl:if test="$show-triggers">
    <section class="contents" id="triggers">
      <h2><xsl:call-template name="icon"><xsl:with-param name="name" select="'trigger'"/></xsl:call-template>Triggers</h2>
      <xsl:choose>
        <xsl:when test="$triggers">
          <table class="grid">
            <thead><tr><th scope="col">Trigger</th><th scope="col">Table</th></tr></thead>
            <tbody>
              <xsl:for-each select="$triggers">
                <xsl:variable name="name"><xsl:call-template name="object-name"/></xsl:variable>
                <xsl:variable name="suffix">
                  <xsl:text>____TRIGGERS____</xsl:text>
                  <xsl:call-template name="anchor"><xsl:with-param name="name" select="$name"/></xsl:call-template>
                </xsl:variable>
                <tr>
                  <td>
                    <a>
                      <xsl:attribute name="href">
                        <xsl:call-template name="table-href">
                          <xsl:with-param name="name" select="../@Name"/>
                          <xsl:with-param name="table" select=".."/>
                          <xsl:with-param name="suffix" select="$suffix"/>
                        </xsl:call-template>
                      </xsl:attribute>
                      <xsl:value-of select="$name"/>
                    </a>
                  </td>
                  <td><xsl:call-template name="table-link"><xsl:with-param name="name" select="../@Name"/><xsl:with-param name="table" select=".."/></xsl:call-template></td>
                </tr>
              </xsl:for-each>
            </tbody>
          </table>
        </xsl:when>
        <xsl:when test="$notriggers"><p class="empty">Triggers are not available for this database engine.</p></xsl:when>
        <xsl:otherwise><p class="empty">No triggers in this report.</p></xsl:otherwise>
      </xsl:choose>
    </section>
    </xsl:if>

    <xsl:if test="$show-tables">
    <section class="contents" id="indexes">
      <h2><xsl:call-template name="icon"><xsl:with-param name="name" select="'key'"/></xsl:call-template><xsl:if test="$uniqueonly">Unique indexes</xsl:if><xsl:if test="not($uniqueonly)">Indexes</xsl:if></h2>
      <xsl:choose>
        <xsl:when test="$indexes">
          <table class="grid">
            <thead><tr><th scope="col">Index</th><th scope="col">Table</th><th scope="col">Columns</th></tr></thead>
            <tbody>
              <xsl:for-each select="$indexes">
                <xsl:variable name="suffix">
                  <xsl:text>____INDEXES____</xsl:text>
                  <xsl:call-template name="anchor"><xsl:with-param name="name" select="@Name"/></xsl:call-template>
                </xsl:variable>
                <tr>
                  <td>
                    <a>
                      <xsl:attribute name="href">
                        <xsl:call-template name="table-href">
                          <xsl:with-param name="name" select="../@Name"/>
                          <xsl:with-param name="table" select=".."/>
                          <xsl:with-param name="suffix" select="$suffix"/>
                        </xsl:call-template>
                      </xsl:attribute>
                      <xsl:value-of select="@Name"/>
                    </a>
                  </td>
                  <td><xsl:call-template name="table-link"><xsl:with-param name="name" select="../@Name"/><xsl:with-param name="table" select=".."/></xsl:call-template></td>
                  <td><xsl:value-of select="@Columns"/></td>
                </tr>
              </xsl:for-each>
            </tbody>
          </table>
        </xsl:when>
        <xsl:otherwise><p class="empty">No indexes in this report.</p></xsl:otherwise>
      </xsl:choose>
    </section>
    </xsl:if>
  </xsl:template>

  <xsl:template name="object-list">
    <xsl:param name="nodes"/>
    <xsl:param name="kind"/>
    <xsl:param name="empty"/>
    <xsl:choose>
      <xsl:when test="$nodes">
        <ul class="objects">
          <xsl:for-each select="$nodes">
            <li>
              <a>
                <xsl:attribute name="href">
                  <xsl:call-template name="object-href">
                    <xsl:with-param name="node" select="."/>
                    <xsl:with-param name="kind" select="$kind"/>
                  </xsl:call-template>
                </xsl:attribute>
                <xsl:call-template name="object-name"/>
              </a>
            </li>
          </xsl:for-each>
        </ul>
      </xsl:when>
      <xsl:otherwise><p class="empty"><xsl:value-of select="$empty"/></p></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- ===== paged object lists ===== -->

  <!-- One page per $perpage objects of $nodes, rendered by the mode of $kind. -->
  <xsl:template name="object-pages">
    <xsl:param name="nodes"/>
    <xsl:param name="kind"/>
    <xsl:param name="title"/>
    <xsl:param name="empty"/>
    <xsl:variable name="pages">
      <xsl:call-template name="page-count"><xsl:with-param name="count" select="count($nodes)"/></xsl:call-template>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="not($nodes)">
        <xsl:if test="$page-part = 0">
          <xsl:call-template name="page">
            <xsl:with-param name="kind" select="$kind"/>
            <xsl:with-param name="title" select="$title"/>
            <xsl:with-param name="content"><p class="empty"><xsl:value-of select="$empty"/></p></xsl:with-param>
          </xsl:call-template>
        </xsl:if>
      </xsl:when>
      <xsl:otherwise>
        <xsl:for-each select="$nodes[(position() - 1) mod $perpage = 0]">
          <xsl:variable name="number" select="position()"/>
          <xsl:variable name="first" select="($number - 1) * $perpage + 1"/>
          <xsl:if test="($number - 1) mod $page-parts = $page-part">
            <xsl:choose>
              <xsl:when test="$indexed and dx:paged-position(.) = $first">
                <xsl:call-template name="page">
                  <xsl:with-param name="kind" select="$kind"/>
                  <xsl:with-param name="number" select="$number"/>
                  <xsl:with-param name="pages" select="number($pages)"/>
                  <xsl:with-param name="title" select="$title"/>
                  <xsl:with-param name="content-of" select="'objects'"/>
                  <xsl:with-param name="group" select="dx:paged-run(., $perpage)"/>
                </xsl:call-template>
              </xsl:when>
              <xsl:otherwise>
                <xsl:variable name="members">
                  <xsl:for-each select="$paged"><xsl:copy-of select="key('paged-by-page', concat($kind, '|', $number))"/></xsl:for-each>
                </xsl:variable>
                <xsl:variable name="ids" select="exsl:node-set($members)/paged/@id"/>
                <!-- The members numbered in $paged, else (nodes of another kind) the slice. -->
                <xsl:choose>
                  <xsl:when test="$ids">
                    <xsl:call-template name="page">
                      <xsl:with-param name="kind" select="$kind"/>
                      <xsl:with-param name="number" select="$number"/>
                      <xsl:with-param name="pages" select="number($pages)"/>
                      <xsl:with-param name="title" select="$title"/>
                      <xsl:with-param name="content-of" select="'objects'"/>
                      <xsl:with-param name="group" select="key('object-by-id', $ids)"/>
                    </xsl:call-template>
                  </xsl:when>
                  <xsl:otherwise>
                    <xsl:call-template name="page">
                      <xsl:with-param name="kind" select="$kind"/>
                      <xsl:with-param name="number" select="$number"/>
                      <xsl:with-param name="pages" select="number($pages)"/>
                      <xsl:with-param name="title" select="$title"/>
                      <xsl:with-param name="content-of" select="'objects'"/>
                      <xsl:with-param name="group" select="$nodes[position() &gt;= $first and position() &lt; $first + $perpage]"/>
                    </xsl:call-template>
                  </xsl:otherwise>
                </xsl:choose>
              </xsl:otherwise>
            </xsl:choose>
          </xsl:if>
        </xsl:for-each>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The objects of one page: a list of links when there are several, then their sections. -->
  <xsl:template name="page-objects">
    <xsl:param name="group"/>
    <xsl:if test="count($group) &gt; 1">
      <nav class="onpage" aria-label="On this page">
        <ul>
          <xsl:for-each select="$group">
            <xsl:variable name="name"><xsl:call-template name="object-name"/></xsl:variable>
            <xsl:variable name="id"><xsl:call-template name="anchor"><xsl:with-param name="name" select="$name"/><xsl:with-param name="node" select="."/></xsl:call-template></xsl:variable>
            <li><a href="#{str:encode-uri($id, true())}"><xsl:value-of select="$name"/></a></li>
          </xsl:for-each>
        </ul>
      </nav>
    </xsl:if>
    <xsl:apply-templates select="$group" mode="section"/>
  </xsl:template>

  <xsl:template name="tables-pages">
    <xsl:if test="$show-tables">
    <xsl:call-template name="object-pages">
      <xsl:with-param name="nodes" select="$tables"/>
      <xsl:with-param name="kind" select="'Tables'"/>
      <xsl:with-param name="title" select="'Tables'"/>
      <xsl:with-param name="empty" select="'No tables in this report.'"/>
    </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <xsl:template name="views-pages">
    <xsl:if test="$show-views">
    <xsl:call-template name="object-pages">
      <xsl:with-param name="nodes" select="$views"/>
      <xsl:with-param name="kind" select="'Views'"/>
      <xsl:with-param name="title" select="'Views'"/>
      <xsl:with-param name="empty" select="'No views in this report.'"/>
    </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <xsl:template name="storedprocedures-pages">
    <xsl:if test="$show-procedures">
    <xsl:call-template name="object-pages">
      <xsl:with-param name="nodes" select="$procedures"/>
      <xsl:with-param name="kind" select="'StoredProcedures'"/>
      <xsl:with-param name="title" select="'Stored procedures'"/>
      <xsl:with-param name="empty" select="concat(substring('No stored procedures in this report.', 1, 36 * not($noprocs)), substring('Stored procedures are not available for this database engine.', 1, 61 * $noprocs))"/>
    </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- ===== table section ===== -->

  <xsl:template match="TABLE" mode="section">
    <xsl:variable name="id"><xsl:call-template name="anchor"><xsl:with-param name="name" select="@Name"/><xsl:with-param name="node" select="."/></xsl:call-template></xsl:variable>
    <xsl:variable name="table" select="."/>
    <section class="object table" id="{$id}">
      <h2><xsl:call-template name="icon"><xsl:with-param name="name" select="'table'"/></xsl:call-template><xsl:value-of select="@Name"/></h2>
      <p class="meta">
        <xsl:text>Table · </xsl:text><xsl:value-of select="count(COLUMN)"/><xsl:text> columns</xsl:text>
        <xsl:if test="string(@Created_On) != ''"> · created <xsl:value-of select="@Created_On"/></xsl:if>
      </p>

      <h3>Columns</h3>
      <xsl:variable name="described" select="COLUMN[string(@Description) != '']"/>
      <xsl:choose>
        <xsl:when test="COLUMN">
          <div class="scroll">
          <table class="grid columns">
            <thead>
              <tr>
                <xsl:for-each select="$table-grid">
                  <xsl:choose>
                    <xsl:when test="@id = 'ordinal'"><th scope="col" class="num">#</th></xsl:when>
                    <xsl:when test="@id = 'name'"><th scope="col">Column</th></xsl:when>
                    <xsl:when test="@id = 'type'"><th scope="col">Data type</th></xsl:when>
                    <xsl:when test="@id = 'length'"><th scope="col" class="num">Length</th></xsl:when>
                    <xsl:when test="@id = 'nulls'"><th scope="col">Nulls</th></xsl:when>
                    <xsl:when test="@id = 'default'"><th scope="col">Default</th></xsl:when>
                    <xsl:when test="@id = 'check'"><th scope="col">Check</th></xsl:when>
                    <xsl:when test="@id = 'key'"><th scope="col">Primary key</th></xsl:when>
                    <xsl:when test="$described"><th scope="col">Description</th></xsl:when>
                  </xsl:choose>
                </xsl:for-each>
              </tr>
            </thead>
            <tbody>
              <xsl:for-each select="COLUMN">
                <tr>
                  <xsl:if test="string(@Primary_Key) != '' and @Primary_Key != 'No'"><xsl:attribute name="class">pk</xsl:attribute></xsl:if>
                  <xsl:variable name="c" select="."/>
                  <xsl:for-each select="$table-grid">
                    <xsl:choose>
                      <xsl:when test="@id = 'ordinal'"><td class="num"><xsl:value-of select="$c/@Ordinal_Position"/></td></xsl:when>
                      <xsl:when test="@id = 'name'"><th scope="row"><xsl:value-of select="$c/@Name"/></th></xsl:when>
                      <xsl:when test="@id = 'type'"><td><xsl:value-of select="$c/@Datatype"/><xsl:if test="string($c/@Scale) != ''"><xsl:value-of select="concat('(', $c/@Length, ',', $c/@Scale, ')')"/></xsl:if><xsl:if test="$c/@Auto_Increment = 'True'"> auto-increment</xsl:if></td></xsl:when>
                      <xsl:when test="@id = 'length'"><td class="num"><xsl:if test="string($c/@Length) != '0'"><xsl:value-of select="$c/@Length"/></xsl:if></td></xsl:when>
                      <xsl:when test="@id = 'nulls'"><td><xsl:call-template name="yes-no"><xsl:with-param name="value" select="$c/@Null_Allowed"/></xsl:call-template></td></xsl:when>
                      <xsl:when test="@id = 'default'"><td><code><xsl:value-of select="$c/@Column_Default"/></code></td></xsl:when>
                      <xsl:when test="@id = 'check'"><td><code><xsl:value-of select="$c/@Check_Constraint"/></code></td></xsl:when>
                      <xsl:when test="@id = 'key'">
                        <td>
                          <xsl:if test="string($c/@Primary_Key) != '' and $c/@Primary_Key != 'No'">
                            <xsl:call-template name="icon"><xsl:with-param name="name" select="'key'"/><xsl:with-param name="alt" select="'Key: '"/></xsl:call-template>
                            <xsl:value-of select="$c/@Primary_Key"/>
                          </xsl:if>
                        </td>
                      </xsl:when>
                      <xsl:when test="$described"><td><xsl:value-of select="$c/@Description"/></td></xsl:when>
                    </xsl:choose>
                  </xsl:for-each>
                </tr>
              </xsl:for-each>
            </tbody>
          </table>
          </div>
        </xsl:when>
        <xsl:otherwise><p class="empty">No columns.</p></xsl:otherwise>
      </xsl:choose>

      <xsl:if test="INDEX">
        <h3><xsl:if test="$uniqueonly">Unique indexes</xsl:if><xsl:if test="not($uniqueonly)">Indexes</xsl:if></h3>
        <table class="grid">
          <xsl:variable name="unique" select="INDEX[string(@Unique) != '']"/>
          <xsl:variable name="primary" select="INDEX[string(@Primary_Key) != '']"/>
          <xsl:variable name="type" select="INDEX[string(@Index_Type) != '']"/>
          <xsl:variable name="condition" select="INDEX[string(@Condition) != '']"/>
          <thead>
            <tr>
              <th scope="col">Index</th><th scope="col">Columns</th>
              <xsl:if test="$condition"><th scope="col">Rows</th></xsl:if>
              <xsl:if test="$unique"><th scope="col">Unique</th></xsl:if>
              <xsl:if test="$primary"><th scope="col">Primary key</th></xsl:if>
              <xsl:if test="$type"><th scope="col">Type</th></xsl:if>
            </tr>
          </thead>
          <tbody>
            <xsl:for-each select="INDEX">
              <tr>
                <xsl:attribute name="id">
                  <xsl:value-of select="$id"/><xsl:text>____INDEXES____</xsl:text>
                  <xsl:call-template name="anchor"><xsl:with-param name="name" select="@Name"/></xsl:call-template>
                </xsl:attribute>
                <th scope="row"><xsl:value-of select="@Name"/></th>
                <td><xsl:value-of select="@Columns"/></td>
                <xsl:if test="$condition"><td><xsl:if test="string(@Condition) != ''"><code><xsl:value-of select="concat('WHERE ', @Condition)"/></code></xsl:if></td></xsl:if>
                <xsl:if test="$unique"><td><xsl:call-template name="yes-no"><xsl:with-param name="value" select="@Unique"/></xsl:call-template></td></xsl:if>
                <xsl:if test="$primary"><td><xsl:call-template name="yes-no"><xsl:with-param name="value" select="@Primary_Key"/></xsl:call-template></td></xsl:if>
                <xsl:if test="$type"><td><xsl:value-of select="@Index_Type"/></td></xsl:if>
              </tr>
            </xsl:for-each>
          </tbody>
        </table>
      </xsl:if>

      <xsl:variable name="outgoing" select="FOREIGNKEY[string(@Foreign_Key_Table) = string(current()/@Name) or string(@Foreign_Key_Table) = ''][(string(@Name) = '' and not(@Ordinal)) or count(. | key('fk-group', concat(generate-id(..), '|', @Primary_Key_Table, '|', @Foreign_Key_Table, '|', @Name, '|', generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()])))[1]) = 1]"/>
      <xsl:if test="$outgoing">
        <h3>Foreign keys</h3>
        <table class="grid">
          <thead><tr><th scope="col">Foreign key</th><th scope="col">Columns</th><th scope="col">References</th><th scope="col">Referenced columns</th><th scope="col">On update</th><th scope="col">On delete</th></tr></thead>
          <tbody>
            <xsl:for-each select="$outgoing">
              <xsl:variable name="members" select="key('fk-group', concat(generate-id(..), '|', @Primary_Key_Table, '|', @Foreign_Key_Table, '|', @Name, '|', generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()]))) | self::FOREIGNKEY[string(@Name) = ''][not(@Ordinal)]"/>
              <tr>
                <xsl:attribute name="id">
                  <xsl:value-of select="$id"/><xsl:text>____FOREIGNKEYS____</xsl:text>
                  <xsl:call-template name="anchor"><xsl:with-param name="name" select="@Name"/></xsl:call-template>
                  <xsl:if test="string(@Name) = ''"><xsl:value-of select="position()"/></xsl:if>
                </xsl:attribute>
                <th scope="row"><xsl:call-template name="fk-name"/></th>
                <td><xsl:for-each select="$members"><xsl:if test="position() &gt; 1">, </xsl:if><xsl:value-of select="@Foreign_Key_Column"/></xsl:for-each></td>
                <td><xsl:call-template name="table-link"><xsl:with-param name="name" select="@Primary_Key_Table"/></xsl:call-template></td>
                <td><xsl:for-each select="$members"><xsl:if test="position() &gt; 1">, </xsl:if><xsl:value-of select="@Primary_Key_Column"/></xsl:for-each></td>
                <td><xsl:value-of select="@Update_Rule"/></td>
                <td><xsl:value-of select="@Delete_Rule"/></td>
              </tr>
            </xsl:for-each>
          </tbody>
        </table>
      </xsl:if>

      <xsl:variable name="incoming" select="key('fk-by-pktable', @Name)[(string(@Name) = '' and not(@Ordinal)) or count(. | key('fk-group', concat(generate-id(..), '|', @Primary_Key_Table, '|', @Foreign_Key_Table, '|', @Name, '|', generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()])))[1]) = 1]"/>
      <xsl:if test="$incoming">
        <h3>Referenced by</h3>
        <table class="grid">
          <thead><tr><th scope="col">Foreign key</th><th scope="col">Table</th><th scope="col">Columns</th><th scope="col">Referenced columns</th><th scope="col">On update</th><th scope="col">On delete</th></tr></thead>
          <tbody>
            <xsl:for-each select="$incoming">
              <xsl:variable name="members" select="key('fk-group', concat(generate-id(..), '|', @Primary_Key_Table, '|', @Foreign_Key_Table, '|', @Name, '|', generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()]))) | self::FOREIGNKEY[string(@Name) = ''][not(@Ordinal)]"/>
              <tr>
                <th scope="row">
                  <a>
                    <xsl:attribute name="href">
                      <xsl:call-template name="table-href">
                        <xsl:with-param name="name" select="../@Name"/>
                        <xsl:with-param name="table" select=".."/>
                        <xsl:with-param name="suffix">
                          <xsl:text>____FOREIGNKEYS____</xsl:text>
                          <xsl:call-template name="anchor"><xsl:with-param name="name" select="@Name"/></xsl:call-template>
                          <xsl:if test="string(@Name) = ''"><xsl:value-of select="count(preceding-sibling::FOREIGNKEY[(string(@Name) = '' and not(@Ordinal)) or count(. | key('fk-group', concat(generate-id(..), '|', @Primary_Key_Table, '|', @Foreign_Key_Table, '|', @Name, '|', generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()])))[1]) = 1]) + 1"/></xsl:if>
                        </xsl:with-param>
                      </xsl:call-template>
                    </xsl:attribute>
                    <xsl:call-template name="fk-name"/>
                  </a>
                </th>
                <td><xsl:call-template name="table-link"><xsl:with-param name="name" select="../@Name"/><xsl:with-param name="table" select=".."/></xsl:call-template></td>
                <td><xsl:for-each select="$members"><xsl:if test="position() &gt; 1">, </xsl:if><xsl:value-of select="@Foreign_Key_Column"/></xsl:for-each></td>
                <td><xsl:for-each select="$members"><xsl:if test="position() &gt; 1">, </xsl:if><xsl:value-of select="@Primary_Key_Column"/></xsl:for-each></td>
                <td><xsl:value-of select="@Update_Rule"/></td>
                <td><xsl:value-of select="@Delete_Rule"/></td>
              </tr>
            </xsl:for-each>
          </tbody>
        </table>
      </xsl:if>

      <xsl:if test="TRIGGER and $show-triggers">
        <h3>Triggers</h3>
        <xsl:for-each select="TRIGGER">
          <xsl:variable name="name"><xsl:call-template name="object-name"/></xsl:variable>
          <div class="trigger">
            <xsl:attribute name="id">
              <xsl:value-of select="$id"/><xsl:text>____TRIGGERS____</xsl:text>
              <xsl:call-template name="anchor"><xsl:with-param name="name" select="$name"/></xsl:call-template>
            </xsl:attribute>
            <h4><xsl:call-template name="icon"><xsl:with-param name="name" select="'trigger'"/></xsl:call-template><xsl:value-of select="$name"/></h4>
            <xsl:call-template name="details"><xsl:with-param name="hidden" select="$hidden-triggers"/></xsl:call-template>
          </div>
        </xsl:for-each>
      </xsl:if>

      <xsl:if test="PRIVILEGE">
        <h3>Privileges</h3>
        <table class="grid">
          <thead><tr><th scope="col">User</th><th scope="col">Select</th><th scope="col">Insert</th><th scope="col">Update</th><th scope="col">Delete</th><th scope="col">References</th><th scope="col">Execute</th></tr></thead>
          <tbody>
            <xsl:for-each select="PRIVILEGE">
              <tr>
                <th scope="row"><xsl:value-of select="@User_Name"/></th>
                <td><xsl:value-of select="@Select"/></td>
                <td><xsl:value-of select="@Insert"/></td>
                <td><xsl:value-of select="@Update"/></td>
                <td><xsl:value-of select="@Delete"/></td>
                <td><xsl:value-of select="@References"/></td>
                <td><xsl:value-of select="@Execute"/></td>
              </tr>
            </xsl:for-each>
          </tbody>
        </table>
      </xsl:if>

      <xsl:for-each select="*[not(self::COLUMN or self::INDEX or self::FOREIGNKEY or self::TRIGGER or self::PRIVILEGE)]">
        <div class="extra">
          <h3><xsl:value-of select="name()"/>: <xsl:call-template name="object-name"/></h3>
          <xsl:call-template name="details"/>
        </div>
      </xsl:for-each>

      <xsl:call-template name="back-links"/>
    </section>
  </xsl:template>

  <!-- Attributes and text of an object whose shape is not fixed (catalogue-query reader). -->
  <!-- hidden: the column names (attribute names with "_" as a blank, "SQL Script" for the
       source) that the column settings leave out. -->
  <xsl:template name="details">
    <xsl:param name="hidden" select="/.."/>
    <xsl:variable name="source" select="not($hidden = 'SQL Script')"/>
    <xsl:variable name="attrs" select="@*[local-name() != 'Name' and local-name() != 'Report' and local-name() != 'Migrate'][not(translate(local-name(), '_', ' ') = $hidden)]"/>
    <xsl:if test="$attrs">
      <dl class="properties">
        <xsl:for-each select="$attrs">
          <dt><xsl:value-of select="translate(local-name(), '_', ' ')"/></dt>
          <dd><xsl:value-of select="."/></dd>
        </xsl:for-each>
      </dl>
    </xsl:if>
    <xsl:if test="normalize-space(text()) != '' and $source">
      <pre class="source"><code><xsl:value-of select="text()"/></code></pre>
    </xsl:if>
    <xsl:for-each select="*">
      <xsl:choose>
        <xsl:when test="not(*) and normalize-space(.) != ''">
          <xsl:if test="$source"><pre class="source"><code><xsl:value-of select="."/></code></pre></xsl:if>
        </xsl:when>
        <xsl:otherwise>
          <div class="part">
            <h4><xsl:value-of select="translate(name(), '_', ' ')"/></h4>
            <xsl:call-template name="details"/>
          </div>
        </xsl:otherwise>
      </xsl:choose>
    </xsl:for-each>
  </xsl:template>

  <xsl:template name="back-links">
    <p class="back">
      <a href="#report-top">Top of page</a>
      <xsl:if test="not($whole)">
        <xsl:text> · </xsl:text>
        <a>
          <xsl:attribute name="href"><xsl:call-template name="page-href"><xsl:with-param name="kind" select="'Index'"/></xsl:call-template></xsl:attribute>
          <xsl:text>Contents</xsl:text>
        </a>
      </xsl:if>
    </p>
  </xsl:template>

  <!-- ===== view section ===== -->

  <xsl:template match="VIEW" mode="section">
    <xsl:variable name="name"><xsl:call-template name="object-name"/></xsl:variable>
    <section class="object view">
      <xsl:attribute name="id"><xsl:call-template name="anchor"><xsl:with-param name="name" select="$name"/><xsl:with-param name="node" select="."/></xsl:call-template></xsl:attribute>
      <h2><xsl:call-template name="icon"><xsl:with-param name="name" select="'view'"/></xsl:call-template><xsl:value-of select="$name"/></h2>
      <p class="meta">
        <xsl:text>View</xsl:text>
        <xsl:if test="string(@Created_On) != '' and not($hidden-views = 'Created On')"> · created <xsl:value-of select="@Created_On"/></xsl:if>
        <xsl:if test="string(@Updatable) != '' and not($hidden-views = 'Updatable')"> · updatable: <xsl:call-template name="yes-no"><xsl:with-param name="value" select="@Updatable"/></xsl:call-template></xsl:if>
      </p>
      <xsl:if test="COLUMN and $view-grid">
        <h3>Columns</h3>
        <table class="grid">
          <thead><tr><xsl:for-each select="$view-grid"><xsl:choose><xsl:when test="@id = 'name'"><th scope="col">Column</th></xsl:when><xsl:otherwise><th scope="col">Source table</th></xsl:otherwise></xsl:choose></xsl:for-each></tr></thead>
          <tbody>
            <xsl:for-each select="COLUMN">
              <xsl:variable name="c" select="."/>
              <tr>
                <xsl:for-each select="$view-grid">
                  <xsl:choose>
                    <xsl:when test="@id = 'name'"><th scope="row"><xsl:value-of select="$c/@Name"/></th></xsl:when>
                    <xsl:otherwise>
                      <td>
                        <xsl:for-each select="$c">
                          <xsl:choose>
                            <xsl:when test="string(@SourceTable) != '' and key('table', @SourceTable)">
                              <xsl:call-template name="table-link"><xsl:with-param name="name" select="@SourceTable"/></xsl:call-template>
                            </xsl:when>
                            <xsl:otherwise><xsl:value-of select="@SourceTable"/></xsl:otherwise>
                          </xsl:choose>
                        </xsl:for-each>
                      </td>
                    </xsl:otherwise>
                  </xsl:choose>
                </xsl:for-each>
              </tr>
            </xsl:for-each>
          </tbody>
        </table>
      </xsl:if>
      <xsl:for-each select="*[not(self::COLUMN)][normalize-space(.) != ''][not($hidden-views = 'SQL Script')]">
        <h3>Definition</h3>
        <pre class="source"><code><xsl:value-of select="."/></code></pre>
      </xsl:for-each>
      <xsl:call-template name="back-links"/>
    </section>
  </xsl:template>

  <!-- ===== stored procedure (and any other top-level object) ===== -->

  <xsl:template match="*" mode="section">
    <xsl:variable name="name"><xsl:call-template name="object-name"/></xsl:variable>
    <section class="object procedure">
      <xsl:attribute name="id"><xsl:call-template name="anchor"><xsl:with-param name="name" select="$name"/><xsl:with-param name="node" select="."/></xsl:call-template></xsl:attribute>
      <h2><xsl:call-template name="icon"><xsl:with-param name="name" select="'proc'"/></xsl:call-template><xsl:value-of select="$name"/></h2>
      <xsl:call-template name="details"><xsl:with-param name="hidden" select="$hidden-procedures[current()/self::STOREDPROCEDURE]"/></xsl:call-template>
      <xsl:call-template name="back-links"/>
    </section>
  </xsl:template>

  <!-- ===== relationships (diagram page) ===== -->

  <xsl:template name="diagram-pages">
    <xsl:call-template name="page">
      <xsl:with-param name="kind" select="'Diagram'"/>
      <xsl:with-param name="title" select="'Relationships'"/>
      <xsl:with-param name="content-of" select="'diagram'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template name="diagram-content">
    <section class="diagram" id="diagram">
      <!-- The first key of each group; worked out only by the pages that show them. -->
      <xsl:variable name="fkgroups"
                    select="/DATABASE/TABLE/FOREIGNKEY[(string(@Name) = '' and not(@Ordinal)) or count(. | key('fk-group', concat(generate-id(..), '|', @Primary_Key_Table, '|', @Foreign_Key_Table, '|', @Name, '|', generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()])))[1]) = 1]"/>
      <xsl:variable name="file" select="translate($db/@DiagramFile, '\', '/')"/>
      <xsl:choose>
        <xsl:when test="$file != ''">
          <xsl:variable name="xmlfile" select="substring($file, string-length($file) - 3) = '.xml'"/>
          <xsl:variable name="picture">
            <xsl:call-template name="file-name"><xsl:with-param name="path" select="concat(substring($file, 1, string-length($file) - 4 * $xmlfile), substring('.jpg', 1, 4 * $xmlfile))"/></xsl:call-template>
          </xsl:variable>
          <figure>
            <img class="diagram" src="{$imagebase}{str:encode-uri($picture, true())}" alt="Relationship diagram of {$dbname}"/>
            <figcaption>Relationship diagram</figcaption>
          </figure>
        </xsl:when>
        <xsl:otherwise>
          <p class="empty">No relationship diagram has been drawn for this database; the relations are listed below.</p>
        </xsl:otherwise>
      </xsl:choose>
      <h2>Relations</h2>
      <xsl:choose>
        <xsl:when test="$fkgroups">
          <table class="grid">
            <thead><tr><th scope="col">Table</th><th scope="col">Columns</th><th scope="col"></th><th scope="col">Referenced table</th><th scope="col">Referenced columns</th><th scope="col">Foreign key</th></tr></thead>
            <tbody>
              <xsl:for-each select="$fkgroups">
                <xsl:variable name="members" select="key('fk-group', concat(generate-id(..), '|', @Primary_Key_Table, '|', @Foreign_Key_Table, '|', @Name, '|', generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()]))) | self::FOREIGNKEY[string(@Name) = ''][not(@Ordinal)]"/>
                <tr>
                  <td><xsl:call-template name="table-link"><xsl:with-param name="name" select="../@Name"/><xsl:with-param name="table" select=".."/></xsl:call-template></td>
                  <td><xsl:for-each select="$members"><xsl:if test="position() &gt; 1">, </xsl:if><xsl:value-of select="@Foreign_Key_Column"/></xsl:for-each></td>
                  <td class="arrow">→</td>
                  <td><xsl:call-template name="table-link"><xsl:with-param name="name" select="@Primary_Key_Table"/></xsl:call-template></td>
                  <td><xsl:for-each select="$members"><xsl:if test="position() &gt; 1">, </xsl:if><xsl:value-of select="@Primary_Key_Column"/></xsl:for-each></td>
                  <td><xsl:call-template name="fk-name"/></td>
                </tr>
              </xsl:for-each>
            </tbody>
          </table>
        </xsl:when>
        <xsl:otherwise><p class="empty">No foreign keys in this report.</p></xsl:otherwise>
      </xsl:choose>
    </section>
  </xsl:template>

  <!-- ===== summary ===== -->

  <xsl:template name="summary-pages">
    <xsl:call-template name="page">
      <xsl:with-param name="kind" select="'Summary'"/>
      <xsl:with-param name="title" select="'Summary'"/>
      <xsl:with-param name="content-of" select="'summary'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template name="summary-content">
    <xsl:variable name="summary" select="$db/REPORTOPTIONS/SUMMARY[last()]"/>
    <xsl:variable name="fkgroups"
                  select="/DATABASE/TABLE/FOREIGNKEY[(string(@Name) = '' and not(@Ordinal)) or count(. | key('fk-group', concat(generate-id(..), '|', @Primary_Key_Table, '|', @Foreign_Key_Table, '|', @Name, '|', generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()])))[1]) = 1]"/>
    <section class="summary" id="summary">
      <table class="grid facts">
        <tbody>
          <tr><th scope="row">Report created on</th><td><xsl:value-of select="$summary/@CreatedOn"/></td></tr>
          <tr><th scope="row">Server name</th><td><xsl:value-of select="$summary/@ServerName"/></td></tr>
          <tr><th scope="row">Database name</th><td><xsl:value-of select="$dbname"/></td></tr>
          <xsl:if test="string($db/@Database_Engine) != ''">
            <tr><th scope="row">Database engine</th><td><xsl:value-of select="$db/@Database_Engine"/></td></tr>
          </xsl:if>
          <xsl:if test="$show-tables">
          <tr><th scope="row">Number of tables</th><td class="num"><xsl:value-of select="count($tables)"/></td></tr>
          <tr><th scope="row">Number of columns</th><td class="num"><xsl:value-of select="count($tables/COLUMN)"/></td></tr>
          </xsl:if>
          <xsl:if test="$show-views"><tr><th scope="row">Number of views</th><td class="num"><xsl:value-of select="count($views)"/></td></tr></xsl:if>
          <xsl:if test="$show-procedures"><tr><th scope="row">Number of stored procedures</th><td class="num"><xsl:call-template name="count"><xsl:with-param name="n" select="count($procedures)"/><xsl:with-param name="unread" select="$noprocs"/></xsl:call-template></td></tr></xsl:if>
          <xsl:if test="$show-triggers"><tr><th scope="row">Number of triggers</th><td class="num"><xsl:call-template name="count"><xsl:with-param name="n" select="count($triggers)"/><xsl:with-param name="unread" select="$notriggers"/></xsl:call-template></td></tr></xsl:if>
          <xsl:if test="$show-tables">
          <tr><th scope="row">Number of <xsl:if test="$uniqueonly">unique </xsl:if>indexes</th><td class="num"><xsl:value-of select="count($indexes)"/></td></tr>
          <tr><th scope="row">Number of foreign keys</th><td class="num"><xsl:value-of select="count($fkgroups)"/></td></tr>
          </xsl:if>
        </tbody>
      </table>
    </section>
  </xsl:template>

  <!-- ===== the whole report on one page ===== -->

  <xsl:template name="whole-report">
    <xsl:call-template name="page">
      <xsl:with-param name="kind" select="'Index'"/>
      <xsl:with-param name="title" select="'Database report'"/>
      <xsl:with-param name="content">
        <xsl:call-template name="index-content"/>
        <xsl:if test="$tables"><h2 class="part">Tables</h2><xsl:apply-templates select="$tables" mode="section"/></xsl:if>
        <xsl:if test="$views"><h2 class="part">Views</h2><xsl:apply-templates select="$views" mode="section"/></xsl:if>
        <xsl:if test="$procedures"><h2 class="part">Stored procedures</h2><xsl:apply-templates select="$procedures" mode="section"/></xsl:if>
        <h2 class="part">Relationships</h2>
        <xsl:call-template name="diagram-content"/>
        <h2 class="part">Summary</h2>
        <xsl:call-template name="summary-content"/>
      </xsl:with-param>
    </xsl:call-template>
  </xsl:template>
</xsl:stylesheet>
