<?xml version="1.0" encoding="UTF-8"?>
<!--
  The column settings of the reports (CustomizeColumns.xml, named by REPORTOPTIONS/@CustomizeColumns):
  for each object kind ("Tables", "Views", "Triggers", "Stored Procedures") the columns shown.
  - A column the file lists with Displayed other than "1" is left out; one it does not list is
    shown. A report column with several spellings (one per reader) is left out when any of
    them is.
  - Shown columns come in the file's order (a column's place is that of its first listed
    spelling); columns the file does not list follow in the layout's own order.
  - A kind the file lists with no column selected is left out of the report.
  Without a readable file every column is shown, in the layout's order.
  Input: the first-stage report document.
-->
<xsl:stylesheet version="1.0"
                xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:str="http://exslt.org/strings"
                xmlns:exsl="http://exslt.org/common"
                extension-element-prefixes="str exsl"
                exclude-result-prefixes="str exsl">

  <xsl:variable name="columns-file" select="translate(/DATABASE/REPORTOPTIONS/@CustomizeColumns, '\', '/')"/>
  <!-- document('') is the style sheet itself, which holds no DBOBJECTS. -->
  <xsl:variable name="columns-uri">
    <xsl:if test="$columns-file != ''">
      <xsl:if test="starts-with($columns-file, '/')">file://</xsl:if>
      <xsl:value-of select="str:encode-uri($columns-file, false())"/>
    </xsl:if>
  </xsl:variable>
  <xsl:variable name="column-kinds" select="document(string($columns-uri))/DBOBJECTS/DBOBJECT"/>

  <xsl:variable name="show-tables" select="not($column-kinds[@Name = 'Tables'][not(COLUMN[@Displayed = '1' and normalize-space(@Name) != ''])])"/>
  <xsl:variable name="show-views" select="not($column-kinds[@Name = 'Views'][not(COLUMN[@Displayed = '1' and normalize-space(@Name) != ''])])"/>
  <xsl:variable name="show-triggers" select="$show-tables and not($column-kinds[@Name = 'Triggers'][not(COLUMN[@Displayed = '1' and normalize-space(@Name) != ''])])"/>
  <xsl:variable name="show-procedures" select="not($column-kinds[@Name = 'Stored Procedures'][not(COLUMN[@Displayed = '1' and normalize-space(@Name) != ''])])"/>

  <!-- The names each kind leaves out, trimmed: <n>Name</n>... -->
  <xsl:template name="hidden-names">
    <xsl:param name="kind"/>
    <xsl:for-each select="$column-kinds[@Name = $kind][1]/COLUMN[not(@Displayed = '1')]">
      <n><xsl:value-of select="normalize-space(@Name)"/></n>
    </xsl:for-each>
  </xsl:template>
  <xsl:variable name="hidden-views-rtf"><xsl:call-template name="hidden-names"><xsl:with-param name="kind" select="'Views'"/></xsl:call-template></xsl:variable>
  <xsl:variable name="hidden-triggers-rtf"><xsl:call-template name="hidden-names"><xsl:with-param name="kind" select="'Triggers'"/></xsl:call-template></xsl:variable>
  <xsl:variable name="hidden-procedures-rtf"><xsl:call-template name="hidden-names"><xsl:with-param name="kind" select="'Stored Procedures'"/></xsl:call-template></xsl:variable>
  <xsl:variable name="hidden-views" select="exsl:node-set($hidden-views-rtf)/n"/>
  <xsl:variable name="hidden-triggers" select="exsl:node-set($hidden-triggers-rtf)/n"/>
  <xsl:variable name="hidden-procedures" select="exsl:node-set($hidden-procedures-rtf)/n"/>

  <!-- The shown columns of a grid as <col id=""/> in their order. columns: the layout's
       <col id=""><n>spelling</n>...</col> in its own order. -->
  <xsl:template name="grid-columns">
    <xsl:param name="kind"/>
    <xsl:param name="columns"/>
    <xsl:variable name="settings" select="$column-kinds[@Name = $kind][1]/COLUMN"/>
    <xsl:for-each select="$columns">
      <xsl:sort data-type="number"
                select="count($settings[normalize-space(@Name) = current()/n][1]/preceding-sibling::COLUMN)
                        + 100000 * not($settings[normalize-space(@Name) = current()/n])"/>
      <xsl:if test="not($settings[normalize-space(@Name) = current()/n][not(@Displayed = '1')])">
        <col id="{@id}"/>
      </xsl:if>
    </xsl:for-each>
  </xsl:template>

  <!-- The columns of a table's column grid and of a view's, with their spellings. -->
  <xsl:variable name="table-columns-rtf">
    <col id="ordinal"><n>Ordinal Position</n><n>Serial Number</n></col>
    <col id="name"><n>Name</n><n>Column Name</n></col>
    <col id="type"><n>Datatype</n><n>Data Type</n></col>
    <col id="length"><n>Length</n><n>Precision</n></col>
    <col id="nulls"><n>Null Allowed</n></col>
    <col id="default"><n>Column Default</n></col>
    <col id="check"><n>Check Constraint</n></col>
    <col id="key"><n>Primary Key</n></col>
    <col id="description"><n>Description</n></col>
  </xsl:variable>
  <xsl:variable name="view-columns-rtf">
    <col id="name"><n>Name</n></col>
    <col id="source"><n>Source Table</n></col>
  </xsl:variable>
  <xsl:variable name="table-grid-rtf">
    <xsl:call-template name="grid-columns">
      <xsl:with-param name="kind" select="'Tables'"/>
      <xsl:with-param name="columns" select="exsl:node-set($table-columns-rtf)/col"/>
    </xsl:call-template>
  </xsl:variable>
  <xsl:variable name="view-grid-rtf">
    <xsl:call-template name="grid-columns">
      <xsl:with-param name="kind" select="'Views'"/>
      <xsl:with-param name="columns" select="exsl:node-set($view-columns-rtf)/col"/>
    </xsl:call-template>
  </xsl:variable>
  <xsl:variable name="table-grid" select="exsl:node-set($table-grid-rtf)/col"/>
  <xsl:variable name="view-grid" select="exsl:node-set($view-grid-rtf)/col"/>

  <!-- A flag as the reports show it: Yes or No, any other text as it stands. -->
  <xsl:template name="yes-no">
    <xsl:param name="value"/>
    <xsl:variable name="v" select="translate($value, 'abcdefghijklmnopqrstuvwxyz', 'ABCDEFGHIJKLMNOPQRSTUVWXYZ')"/>
    <xsl:choose>
      <xsl:when test="$v = 'TRUE' or $v = 'YES' or $v = '1' or $v = '-1'">Yes</xsl:when>
      <xsl:when test="$v = 'FALSE' or $v = 'NO' or $v = '0'">No</xsl:when>
      <xsl:otherwise><xsl:value-of select="$value"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
