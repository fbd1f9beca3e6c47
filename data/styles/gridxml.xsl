<?xml version="1.0" encoding="UTF-8"?>
<!--
  Rows of the details grid. Input: a ROWSOURCE element holding copies of the selected objects,
  each element marked with CurrentXPath (its place in the structure document). Output: bands of
  rows; a band groups the children of one kind under one parent, with the union of their
  attribute names as its columns.
    ROWSET / BAND @Key / COLUMN @Key (the band's columns) and ROW @CurrentXPath @Report?
    ROW / CELL @Key (text) and nested BANDs.
  Report, Migrate and CurrentXPath are not cells; "$Text" holds an element's own text.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" encoding="UTF-8"/>

  <!-- Children of one parent, by element name. -->
  <xsl:key name="kind" match="*" use="concat(generate-id(..), '|', name())"/>
  <!-- Attributes of the elements of one band, by name. -->
  <xsl:key name="attr" match="@*" use="concat(generate-id(../..), '|', name(..), '|', name())"/>

  <xsl:template match="/ROWSOURCE">
    <ROWSET>
      <xsl:call-template name="bands"/>
    </ROWSET>
  </xsl:template>

  <!-- One BAND per kind of child element, in order of first appearance. -->
  <xsl:template name="bands">
    <xsl:for-each select="*[not(self::DBOPTIONS or self::REPORTOPTIONS or self::DIAGRAM or self::SUMMARY)]
                           [generate-id() = generate-id(key('kind', concat(generate-id(..), '|', name()))[1])]">
      <xsl:variable name="members" select="key('kind', concat(generate-id(..), '|', name()))"/>
      <BAND Key="{name()}">
        <xsl:for-each select="$members/@*[not(name() = 'Report' or name() = 'Migrate' or name() = 'CurrentXPath')]
                               [generate-id() = generate-id(key('attr', concat(generate-id(../..), '|', name(..), '|', name()))[1])]">
          <COLUMN Key="{name()}"/>
        </xsl:for-each>
        <xsl:if test="$members/text()[normalize-space()]">
          <COLUMN Key="$Text"/>
        </xsl:if>
        <xsl:apply-templates select="$members" mode="row"/>
      </BAND>
    </xsl:for-each>
  </xsl:template>

  <xsl:template match="*" mode="row">
    <ROW CurrentXPath="{@CurrentXPath}">
      <xsl:if test="@Report">
        <xsl:attribute name="Report"><xsl:value-of select="@Report"/></xsl:attribute>
      </xsl:if>
      <xsl:for-each select="@*[not(name() = 'Report' or name() = 'Migrate' or name() = 'CurrentXPath')]">
        <CELL Key="{name()}"><xsl:value-of select="."/></CELL>
      </xsl:for-each>
      <xsl:if test="text()[normalize-space()]">
        <CELL Key="$Text"><xsl:value-of select="text()"/></CELL>
      </xsl:if>
      <xsl:call-template name="bands"/>
    </ROW>
  </xsl:template>
</xsl:stylesheet>
