<?xml version="1.0" encoding="UTF-8"?>
<!--
  First stage of every report: turns a structure document, whichever reader wrote it, into
  one vocabulary for the layouts.
  - Objects whose Report flag is "0" are left out, with everything below them. The selections
    leave them out: a predicate in a match pattern would cost a scan of the siblings on every
    node.
  - Foreign keys are placed under the referencing table; a key whose other end is a table
    left out of the report is left out too.
  - DAO names (Column_Name, Data_Type, Precision, Foreign_Key_Column) and ADO names
    (Related_Column, DATE_CREATED, CreatedOn) are given the common names beside their own.
  - Connection options (DBOPTIONS: they hold logins) and diagram settings are not carried.
  With $stage-parts greater than 1, the output holds only slice $stage-part (from 0) of the
  database's objects, report options with the last slice, so that several transforms can make
  the output between them.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" version="1.0" encoding="UTF-8" indent="yes"
              cdata-section-elements="SQLSCRIPT"/>
  <xsl:strip-space elements="*"/>

  <xsl:param name="stage-part" select="0"/>
  <xsl:param name="stage-parts" select="1"/>

  <xsl:key name="table" match="/DATABASE/TABLE" use="@Name"/>
  <xsl:key name="fk-by-table" match="/DATABASE/TABLE/FOREIGNKEY" use="@Foreign_Key_Table"/>

  <xsl:template match="/">
    <xsl:apply-templates select="DATABASE[not(@Report = '0')]"/>
  </xsl:template>

  <!-- Anything not handled below is copied, minus objects with Report "0". -->
  <xsl:template match="*">
    <xsl:copy>
      <xsl:copy-of select="@*"/>
      <xsl:apply-templates select="node()[not(@Report = '0')]"/>
    </xsl:copy>
  </xsl:template>
  <xsl:template match="text()">
    <xsl:value-of select="."/>
  </xsl:template>
  <xsl:template match="comment() | processing-instruction()"/>

  <xsl:template match="/DATABASE">
    <DATABASE>
      <xsl:copy-of select="@*"/>
      <xsl:attribute name="DatabaseName">
        <xsl:choose>
          <xsl:when test="string(@DatabaseName) != ''"><xsl:value-of select="@DatabaseName"/></xsl:when>
          <xsl:when test="string(DBOPTIONS/MOREINFO/DATABASE/@Name) != ''">
            <xsl:value-of select="DBOPTIONS/MOREINFO/DATABASE/@Name"/>
          </xsl:when>
          <xsl:otherwise><xsl:value-of select="@Name"/></xsl:otherwise>
        </xsl:choose>
      </xsl:attribute>
      <xsl:if test="not(@Server_Name) and DBOPTIONS/MOREINFO/SERVER/@Name">
        <xsl:attribute name="Server_Name"><xsl:value-of select="DBOPTIONS/MOREINFO/SERVER/@Name"/></xsl:attribute>
      </xsl:if>
      <xsl:if test="not(@Database_Engine) and DBOPTIONS/MOREINFO/SERVER/@Caption">
        <xsl:attribute name="Database_Engine"><xsl:value-of select="DBOPTIONS/MOREINFO/SERVER/@Caption"/></xsl:attribute>
      </xsl:if>
      <xsl:variable name="objects" select="*[not(self::REPORTOPTIONS)][not(@Report = '0')]"/>
      <xsl:variable name="from" select="floor(count($objects) * $stage-part div $stage-parts)"/>
      <xsl:variable name="to" select="floor(count($objects) * ($stage-part + 1) div $stage-parts)"/>
      <xsl:apply-templates select="$objects[position() &gt; $from and position() &lt;= $to]"/>
      <xsl:if test="$stage-part = $stage-parts - 1">
        <xsl:apply-templates select="REPORTOPTIONS"/>
      </xsl:if>
    </DATABASE>
  </xsl:template>

  <xsl:template match="/DATABASE/DBOPTIONS | /DATABASE/DIAGRAM" priority="20"/>

  <xsl:template match="/DATABASE/REPORTOPTIONS" priority="20">
    <xsl:copy-of select="."/>
  </xsl:template>

  <xsl:template match="/DATABASE/TABLE">
    <TABLE>
      <xsl:copy-of select="@*"/>
      <xsl:if test="not(@Created_On) and @DATE_CREATED">
        <xsl:attribute name="Created_On"><xsl:value-of select="@DATE_CREATED"/></xsl:attribute>
      </xsl:if>
      <xsl:apply-templates select="COLUMN[not(@Report = '0')]"/>
      <xsl:apply-templates select="INDEX[not(@Report = '0')]"/>
      <!-- Keys that reference other tables: wherever the reader put them. Keys already under
           a table of their referencing table's name, and keys whose referencing table is not
           in the document, stay where they stood (so tables of one name keep their own). -->
      <xsl:apply-templates select="(key('fk-by-table', @Name)[string(../@Name) != string(current()/@Name)]
                                   | FOREIGNKEY[string(@Foreign_Key_Table) = string(current()/@Name)
                                                or not(key('table', @Foreign_Key_Table))])[not(@Report = '0')]"/>
      <xsl:apply-templates select="*[not(self::COLUMN or self::INDEX or self::FOREIGNKEY)][not(@Report = '0')]"/>
    </TABLE>
  </xsl:template>

  <xsl:template match="/DATABASE/TABLE/COLUMN">
    <COLUMN>
      <xsl:copy-of select="@*"/>
      <xsl:if test="not(@Name)">
        <xsl:attribute name="Name"><xsl:value-of select="@Column_Name"/></xsl:attribute>
      </xsl:if>
      <xsl:if test="not(@Datatype)">
        <xsl:attribute name="Datatype"><xsl:value-of select="@Data_Type"/></xsl:attribute>
      </xsl:if>
      <xsl:if test="not(@Length)">
        <xsl:attribute name="Length"><xsl:value-of select="@Precision"/></xsl:attribute>
      </xsl:if>
      <xsl:if test="not(@Ordinal_Position)">
        <xsl:attribute name="Ordinal_Position">
          <xsl:choose>
            <xsl:when test="@Serial_Number"><xsl:value-of select="@Serial_Number"/></xsl:when>
            <xsl:otherwise><xsl:value-of select="count(preceding-sibling::COLUMN) + 1"/></xsl:otherwise>
          </xsl:choose>
        </xsl:attribute>
      </xsl:if>
    </COLUMN>
  </xsl:template>

  <xsl:template match="/DATABASE/TABLE/INDEX">
    <INDEX>
      <xsl:copy-of select="@*"/>
      <xsl:attribute name="Columns">
        <xsl:choose>
          <xsl:when test="COLUMN[not(@Report = '0')]">
            <xsl:for-each select="COLUMN[not(@Report = '0')]">
              <xsl:if test="position() > 1">, </xsl:if>
              <xsl:value-of select="concat(@Column_Name, @Expression)"/>
              <xsl:if test="string(@Prefix_Length) != ''"><xsl:value-of select="concat('(', @Prefix_Length, ')')"/></xsl:if>
              <xsl:if test="@Sort_Order = 'Descending'"> DESC</xsl:if>
            </xsl:for-each>
          </xsl:when>
          <xsl:otherwise><xsl:value-of select="@Column_Name"/></xsl:otherwise>
        </xsl:choose>
      </xsl:attribute>
      <xsl:apply-templates select="*[not(@Report = '0')]"/>
    </INDEX>
  </xsl:template>

  <xsl:template match="/DATABASE/TABLE/FOREIGNKEY">
    <xsl:variable name="referenced" select="key('table', @Primary_Key_Table)"/>
    <xsl:variable name="referencing" select="key('table', @Foreign_Key_Table)"/>
    <xsl:if test="not($referenced[@Report = '0']) and not($referencing[@Report = '0'])">
      <FOREIGNKEY>
        <xsl:copy-of select="@*"/>
        <xsl:if test="not(@Foreign_Key_Column)">
          <xsl:attribute name="Foreign_Key_Column"><xsl:value-of select="@Related_Column"/></xsl:attribute>
        </xsl:if>
      </FOREIGNKEY>
    </xsl:if>
  </xsl:template>

  <xsl:template match="/DATABASE/VIEW">
    <VIEW>
      <xsl:copy-of select="@*"/>
      <xsl:if test="not(@Created_On) and @CreatedOn">
        <xsl:attribute name="Created_On"><xsl:value-of select="@CreatedOn"/></xsl:attribute>
      </xsl:if>
      <xsl:apply-templates select="node()[not(@Report = '0')]"/>
    </VIEW>
  </xsl:template>

  <xsl:template match="SQLSCRIPT">
    <SQLSCRIPT><xsl:value-of select="."/></SQLSCRIPT>
  </xsl:template>
</xsl:stylesheet>
