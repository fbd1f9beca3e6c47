<?xml version="1.0" encoding="UTF-8"?>
<!--
  Word report text: one line per paragraph (CR LF), with the marker tags the Word generator
  turns into styles, tables, frames and page breaks. Cells of a <dalvtable> row are separated
  by a tab; tabs and line ends inside a value become blanks, so every value stays in its cell.
  Input: the first-stage report document (one vocabulary for every reader).
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="ReportColumns.xsl"/>
  <xsl:output method="text" encoding="UTF-8"/>
  <xsl:strip-space elements="*"/>

  <xsl:variable name="nl" select="'&#13;&#10;'"/>
  <xsl:variable name="tab" select="'&#9;'"/>
  <xsl:variable name="perPage">
    <xsl:variable name="n" select="number(/DATABASE/REPORTOPTIONS/WORD/@ObjectsPerPage)"/>
    <xsl:choose>
      <xsl:when test="$n &gt; 0"><xsl:value-of select="floor($n)"/></xsl:when>
      <xsl:otherwise>0</xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <!-- One line of text. -->
  <xsl:template name="line">
    <xsl:param name="text"/>
    <xsl:value-of select="$text"/>
    <xsl:value-of select="$nl"/>
  </xsl:template>

  <!-- One table cell: the value on one line, then the separator unless it is the last. -->
  <xsl:template name="cell">
    <xsl:param name="value"/>
    <xsl:param name="last" select="false()"/>
    <xsl:value-of select="normalize-space(translate($value, '&#9;&#13;&#10;', '   '))"/>
    <xsl:choose>
      <xsl:when test="$last"><xsl:value-of select="$nl"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$tab"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A page break and the continuation line before every perPage-th object but the first. -->
  <xsl:template name="continued">
    <xsl:param name="caption"/>
    <xsl:if test="$perPage &gt; 0 and position() &gt; 1 and (position() - 1) mod $perPage = 0">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;pagebreak/&gt;'"/></xsl:call-template>
      <xsl:call-template name="line"><xsl:with-param name="text" select="$caption"/></xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- A source text framed on four sides, line for line. -->
  <xsl:template name="script">
    <xsl:param name="text"/>
    <xsl:if test="normalize-space($text) != ''">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;dalvtable1row&gt;'"/></xsl:call-template>
      <xsl:value-of select="$text"/>
      <xsl:if test="substring($text, string-length($text)) != '&#10;'"><xsl:value-of select="$nl"/></xsl:if>
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;/dalvtable1row&gt;'"/></xsl:call-template>
    </xsl:if>
  </xsl:template>

  <xsl:template name="open-table">
    <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;dalvtable&gt;'"/></xsl:call-template>
  </xsl:template>
  <xsl:template name="close-table">
    <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;/dalvtable&gt;'"/></xsl:call-template>
  </xsl:template>

  <xsl:template match="/">
    <xsl:apply-templates select="DATABASE"/>
  </xsl:template>

  <xsl:template match="DATABASE">
    <xsl:variable name="summary" select="REPORTOPTIONS/SUMMARY"/>
    <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;reporttitle&gt;Database Info'"/></xsl:call-template>
    <xsl:if test="string(@Server_Name) != ''">
      <xsl:call-template name="line"><xsl:with-param name="text" select="concat('Server: ', @Server_Name)"/></xsl:call-template>
    </xsl:if>
    <xsl:if test="string(@Database_Engine) != ''">
      <xsl:call-template name="line"><xsl:with-param name="text" select="concat('Database Engine: ', @Database_Engine)"/></xsl:call-template>
    </xsl:if>
    <xsl:variable name="created">
      <xsl:choose>
        <xsl:when test="string(@Created_On) != ''"><xsl:value-of select="@Created_On"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="$summary/@CreatedOn"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:if test="string($created) != ''">
      <xsl:call-template name="line"><xsl:with-param name="text" select="concat('Imported On: ', $created)"/></xsl:call-template>
    </xsl:if>
    <xsl:call-template name="line"><xsl:with-param name="text" select="''"/></xsl:call-template>
    <xsl:call-template name="line"><xsl:with-param name="text" select="'Table of Contents'"/></xsl:call-template>
    <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;pagebreak/&gt;'"/></xsl:call-template>
    <xsl:if test="string(REPORTOPTIONS/WORD/@IntroDocument) != ''">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'About Quorvel Group'"/></xsl:call-template>
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;pagebreak/&gt;'"/></xsl:call-template>
    </xsl:if>

    <!-- Counts of object kinds the reader did not read are not available, never 0. -->
    <xsl:variable name="unread" select="concat(' ', @Not_Read, ' ')"/>
    <xsl:variable name="procedures">
      <xsl:choose>
        <xsl:when test="contains($unread, ' STOREDPROCEDURE ')">not available</xsl:when>
        <xsl:otherwise><xsl:value-of select="count(STOREDPROCEDURE)"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="triggers">
      <xsl:choose>
        <xsl:when test="contains($unread, ' TRIGGER ')">not available</xsl:when>
        <xsl:otherwise><xsl:value-of select="count(TABLE/TRIGGER)"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="indexes">
      <xsl:choose>
        <xsl:when test="@Indexes_Read = 'Unique'">Unique indexes</xsl:when>
        <xsl:otherwise>Indexes</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;heading1&gt;Summary'"/></xsl:call-template>
    <xsl:call-template name="open-table"/>
    <xsl:call-template name="cell"><xsl:with-param name="value" select="'Object'"/></xsl:call-template>
    <xsl:call-template name="cell"><xsl:with-param name="value" select="'Count'"/><xsl:with-param name="last" select="true()"/></xsl:call-template>
    <xsl:if test="$show-tables">
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Tables'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="count(TABLE)"/><xsl:with-param name="last" select="true()"/></xsl:call-template>
    </xsl:if>
    <xsl:if test="$show-views">
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Views'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="count(VIEW)"/><xsl:with-param name="last" select="true()"/></xsl:call-template>
    </xsl:if>
    <xsl:if test="$show-procedures">
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Stored Procedures'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="$procedures"/><xsl:with-param name="last" select="true()"/></xsl:call-template>
    </xsl:if>
    <xsl:if test="$show-triggers">
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Triggers'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="$triggers"/><xsl:with-param name="last" select="true()"/></xsl:call-template>
    </xsl:if>
    <xsl:if test="$show-tables">
      <xsl:call-template name="cell"><xsl:with-param name="value" select="$indexes"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="count(TABLE/INDEX)"/><xsl:with-param name="last" select="true()"/></xsl:call-template>
    </xsl:if>
    <xsl:call-template name="close-table"/>

    <xsl:if test="TABLE and $show-tables">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;pagebreak/&gt;'"/></xsl:call-template>
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;heading1&gt;Tables'"/></xsl:call-template>
      <xsl:apply-templates select="TABLE"/>
    </xsl:if>
    <xsl:if test="VIEW and $show-views">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;pagebreak/&gt;'"/></xsl:call-template>
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;heading1&gt;Views'"/></xsl:call-template>
      <xsl:apply-templates select="VIEW"/>
    </xsl:if>
    <xsl:if test="STOREDPROCEDURE and $show-procedures">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;pagebreak/&gt;'"/></xsl:call-template>
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;heading1&gt;Stored Procedures'"/></xsl:call-template>
      <xsl:apply-templates select="STOREDPROCEDURE"/>
    </xsl:if>
  </xsl:template>

  <xsl:template match="TABLE">
    <xsl:call-template name="continued"><xsl:with-param name="caption" select="'Tables (Continued...)'"/></xsl:call-template>
    <xsl:call-template name="line"><xsl:with-param name="text" select="concat('&lt;heading2&gt;', @Name)"/></xsl:call-template>
    <xsl:if test="string(@Created_On) != ''">
      <xsl:call-template name="line"><xsl:with-param name="text" select="concat('Created On: ', @Created_On)"/></xsl:call-template>
    </xsl:if>

    <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;heading3&gt;Columns'"/></xsl:call-template>
    <xsl:variable name="described" select="COLUMN[normalize-space(@Description) != '']"/>
    <!-- The column settings' columns this grid has, in their order. -->
    <xsl:variable name="checked" select="COLUMN[normalize-space(@Check_Constraint) != '']"/>
    <xsl:variable name="grid" select="$table-grid[@id != 'ordinal'][@id != 'description' or $described][@id != 'check' or $checked]"/>
    <xsl:call-template name="open-table"/>
    <xsl:for-each select="$grid">
      <xsl:call-template name="cell">
        <xsl:with-param name="value">
          <xsl:choose>
            <xsl:when test="@id = 'name'">Column Name</xsl:when>
            <xsl:when test="@id = 'type'">Data Type</xsl:when>
            <xsl:when test="@id = 'length'">Length</xsl:when>
            <xsl:when test="@id = 'nulls'">Null Allowed</xsl:when>
            <xsl:when test="@id = 'default'">Default</xsl:when>
            <xsl:when test="@id = 'check'">Check Constraint</xsl:when>
            <xsl:when test="@id = 'key'">Primary Key</xsl:when>
            <xsl:otherwise>Description</xsl:otherwise>
          </xsl:choose>
        </xsl:with-param>
        <xsl:with-param name="last" select="position() = last()"/>
      </xsl:call-template>
    </xsl:for-each>
    <xsl:for-each select="COLUMN">
      <xsl:variable name="c" select="."/>
      <xsl:for-each select="$grid">
        <xsl:variable name="id" select="string(@id)"/>
        <xsl:call-template name="cell">
          <xsl:with-param name="value">
            <xsl:for-each select="$c">
              <xsl:choose>
                <xsl:when test="$id = 'name'"><xsl:value-of select="concat(@Name, substring(@Column_Name, 1, string-length(@Column_Name) * not(@Name)))"/></xsl:when>
                <xsl:when test="$id = 'type'"><xsl:value-of select="concat(@Datatype, substring(@Data_Type, 1, string-length(@Data_Type) * not(@Datatype)), substring(concat('(', @Length, ',', @Scale, ')'), 1, 1000 * (string(@Scale) != '')), substring(' auto-increment', 1, 15 * (@Auto_Increment = 'True')))"/></xsl:when>
                <xsl:when test="$id = 'length'"><xsl:value-of select="concat(@Length, substring(@Precision, 1, string-length(@Precision) * not(@Length)))"/></xsl:when>
                <xsl:when test="$id = 'nulls'"><xsl:value-of select="@Null_Allowed"/></xsl:when>
                <xsl:when test="$id = 'default'"><xsl:value-of select="@Column_Default"/></xsl:when>
                <xsl:when test="$id = 'check'"><xsl:value-of select="@Check_Constraint"/></xsl:when>
                <xsl:when test="$id = 'key'"><xsl:value-of select="@Primary_Key"/></xsl:when>
                <xsl:otherwise><xsl:value-of select="@Description"/></xsl:otherwise>
              </xsl:choose>
            </xsl:for-each>
          </xsl:with-param>
          <xsl:with-param name="last" select="position() = last()"/>
        </xsl:call-template>
      </xsl:for-each>
    </xsl:for-each>
    <xsl:call-template name="close-table"/>

    <xsl:variable name="keyColumns" select="COLUMN[normalize-space(@Primary_Key) != ''
                                             and translate(@Primary_Key, 'NO', 'no') != 'no']"/>
    <xsl:if test="$keyColumns">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;heading3&gt;Primary Key'"/></xsl:call-template>
      <xsl:call-template name="open-table"/>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Key'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Column Name'"/><xsl:with-param name="last" select="true()"/></xsl:call-template>
      <xsl:for-each select="$keyColumns">
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Primary_Key"/></xsl:call-template>
        <xsl:call-template name="cell">
          <xsl:with-param name="value" select="concat(@Name, substring(@Column_Name, 1, string-length(@Column_Name) * not(@Name)))"/>
          <xsl:with-param name="last" select="true()"/>
        </xsl:call-template>
      </xsl:for-each>
      <xsl:call-template name="close-table"/>
    </xsl:if>

    <xsl:if test="INDEX">
      <xsl:call-template name="line"><xsl:with-param name="text" select="concat('&lt;heading3&gt;', substring('Unique indexes', 1, 14 * (/DATABASE/@Indexes_Read = 'Unique')), substring('Indexes', 1, 7 * not(/DATABASE/@Indexes_Read = 'Unique')))"/></xsl:call-template>
      <!-- As the HTML report: a partial index says which rows it covers; the key and type
           columns stand where the reader gave them. -->
      <xsl:variable name="condition" select="INDEX[string(@Condition) != '']"/>
      <xsl:variable name="primary" select="INDEX[string(@Primary_Key) != '']"/>
      <xsl:variable name="type" select="INDEX[string(@Index_Type) != '']"/>
      <xsl:call-template name="open-table"/>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Index Name'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Columns'"/></xsl:call-template>
      <xsl:if test="$condition"><xsl:call-template name="cell"><xsl:with-param name="value" select="'Rows'"/></xsl:call-template></xsl:if>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Unique'"/><xsl:with-param name="last" select="not($primary or $type)"/></xsl:call-template>
      <xsl:if test="$primary"><xsl:call-template name="cell"><xsl:with-param name="value" select="'Primary Key'"/><xsl:with-param name="last" select="not($type)"/></xsl:call-template></xsl:if>
      <xsl:if test="$type"><xsl:call-template name="cell"><xsl:with-param name="value" select="'Index Type'"/><xsl:with-param name="last" select="true()"/></xsl:call-template></xsl:if>
      <xsl:for-each select="INDEX">
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Name"/></xsl:call-template>
        <xsl:call-template name="cell">
          <xsl:with-param name="value" select="concat(@Columns, substring(@Column_Name, 1, string-length(@Column_Name) * not(@Columns)))"/>
        </xsl:call-template>
        <xsl:if test="$condition">
          <xsl:call-template name="cell">
            <xsl:with-param name="value"><xsl:if test="string(@Condition) != ''"><xsl:value-of select="concat('WHERE ', @Condition)"/></xsl:if></xsl:with-param>
          </xsl:call-template>
        </xsl:if>
        <xsl:call-template name="cell">
          <xsl:with-param name="value"><xsl:call-template name="yes-no"><xsl:with-param name="value" select="concat(@Unique, substring('Yes', 1, 3 * not(@Unique)))"/></xsl:call-template></xsl:with-param>
          <xsl:with-param name="last" select="not($primary or $type)"/>
        </xsl:call-template>
        <xsl:if test="$primary">
          <xsl:call-template name="cell">
            <xsl:with-param name="value"><xsl:call-template name="yes-no"><xsl:with-param name="value" select="@Primary_Key"/></xsl:call-template></xsl:with-param>
            <xsl:with-param name="last" select="not($type)"/>
          </xsl:call-template>
        </xsl:if>
        <xsl:if test="$type"><xsl:call-template name="cell"><xsl:with-param name="value" select="@Index_Type"/><xsl:with-param name="last" select="true()"/></xsl:call-template></xsl:if>
      </xsl:for-each>
      <xsl:call-template name="close-table"/>
    </xsl:if>

    <xsl:if test="FOREIGNKEY">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;heading3&gt;Foreign Keys'"/></xsl:call-template>
      <xsl:call-template name="open-table"/>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Key Name'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Table'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Column'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Referenced Table'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Referenced Column'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'On Update'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'On Delete'"/><xsl:with-param name="last" select="true()"/></xsl:call-template>
      <xsl:for-each select="FOREIGNKEY">
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Name"/></xsl:call-template>
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Foreign_Key_Table"/></xsl:call-template>
        <xsl:call-template name="cell">
          <xsl:with-param name="value" select="concat(@Foreign_Key_Column, substring(@Related_Column, 1, string-length(@Related_Column) * not(@Foreign_Key_Column)))"/>
        </xsl:call-template>
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Primary_Key_Table"/></xsl:call-template>
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Primary_Key_Column"/></xsl:call-template>
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Update_Rule"/></xsl:call-template>
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Delete_Rule"/><xsl:with-param name="last" select="true()"/></xsl:call-template>
      </xsl:for-each>
      <xsl:call-template name="close-table"/>
    </xsl:if>

    <xsl:if test="PRIVILEGE">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;heading3&gt;Privileges'"/></xsl:call-template>
      <xsl:call-template name="open-table"/>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'User'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Select'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Insert'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Update'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Delete'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'References'"/></xsl:call-template>
      <xsl:call-template name="cell"><xsl:with-param name="value" select="'Execute'"/><xsl:with-param name="last" select="true()"/></xsl:call-template>
      <xsl:for-each select="PRIVILEGE">
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@User_Name"/></xsl:call-template>
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Select"/></xsl:call-template>
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Insert"/></xsl:call-template>
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Update"/></xsl:call-template>
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Delete"/></xsl:call-template>
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@References"/></xsl:call-template>
        <xsl:call-template name="cell"><xsl:with-param name="value" select="@Execute"/><xsl:with-param name="last" select="true()"/></xsl:call-template>
      </xsl:for-each>
      <xsl:call-template name="close-table"/>
    </xsl:if>

    <xsl:if test="TRIGGER and $show-triggers">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;heading3&gt;Triggers'"/></xsl:call-template>
      <xsl:for-each select="TRIGGER">
        <xsl:call-template name="line"><xsl:with-param name="text" select="concat('&lt;heading4&gt;', @Name)"/></xsl:call-template>
        <xsl:call-template name="script"><xsl:with-param name="text" select="string(self::node()[not($hidden-triggers = 'SQL Script')])"/></xsl:call-template>
      </xsl:for-each>
    </xsl:if>
  </xsl:template>

  <xsl:template match="VIEW">
    <xsl:call-template name="continued"><xsl:with-param name="caption" select="'Views (Continued...)'"/></xsl:call-template>
    <xsl:call-template name="line"><xsl:with-param name="text" select="concat('&lt;heading2&gt;', @Name)"/></xsl:call-template>
    <xsl:if test="string(@Created_On) != '' and not($hidden-views = 'Created On')">
      <xsl:call-template name="line"><xsl:with-param name="text" select="concat('Created On: ', @Created_On)"/></xsl:call-template>
    </xsl:if>
    <xsl:if test="COLUMN and $view-grid">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;heading3&gt;Columns'"/></xsl:call-template>
      <xsl:call-template name="open-table"/>
      <xsl:for-each select="$view-grid">
        <xsl:call-template name="cell">
          <xsl:with-param name="value" select="concat(substring('Column Name', 1, 11 * (@id = 'name')), substring('Source Table', 1, 12 * (@id = 'source')))"/>
          <xsl:with-param name="last" select="position() = last()"/>
        </xsl:call-template>
      </xsl:for-each>
      <xsl:for-each select="COLUMN">
        <xsl:variable name="c" select="."/>
        <xsl:for-each select="$view-grid">
          <xsl:call-template name="cell">
            <xsl:with-param name="value" select="concat($c/@Name[current()/@id = 'name'], $c/@SourceTable[current()/@id = 'source'])"/>
            <xsl:with-param name="last" select="position() = last()"/>
          </xsl:call-template>
        </xsl:for-each>
      </xsl:for-each>
      <xsl:call-template name="close-table"/>
    </xsl:if>
    <xsl:if test="normalize-space(SQLSCRIPT) != '' and not($hidden-views = 'SQL Script')">
      <xsl:call-template name="line"><xsl:with-param name="text" select="'&lt;heading3&gt;Source'"/></xsl:call-template>
      <xsl:call-template name="script"><xsl:with-param name="text" select="string(SQLSCRIPT)"/></xsl:call-template>
    </xsl:if>
  </xsl:template>

  <xsl:template match="STOREDPROCEDURE">
    <xsl:call-template name="continued"><xsl:with-param name="caption" select="'Stored Procedures (Continued...)'"/></xsl:call-template>
    <xsl:call-template name="line"><xsl:with-param name="text" select="concat('&lt;heading2&gt;', @Name)"/></xsl:call-template>
    <xsl:call-template name="script"><xsl:with-param name="text" select="string(self::node()[not($hidden-procedures = 'SQL Script')])"/></xsl:call-template>
  </xsl:template>
</xsl:stylesheet>
