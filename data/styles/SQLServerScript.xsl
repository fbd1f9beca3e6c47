<?xml version="1.0" encoding="UTF-8"?>
<!-- SQL script for SQL Server 2000 and 7.0: [bracketed] names. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="ScriptCommon.xsl"/>
  <xsl:output method="text" encoding="UTF-8"/>

  <xsl:variable name="engine" select="'sqlserver'"/>
  <xsl:variable name="qo" select="'['"/>
  <xsl:variable name="qc" select="']'"/>

  <xsl:template name="engine-type">
    <xsl:param name="kind"/>
    <xsl:param name="n"/>
    <xsl:param name="scale"/>
    <xsl:param name="raw"/>
    <xsl:choose>
      <xsl:when test="$kind = 'counter'">int IDENTITY(1,1)</xsl:when>
      <xsl:when test="$kind = 'int'">int</xsl:when>
      <xsl:when test="$kind = 'smallint'">smallint</xsl:when>
      <xsl:when test="$kind = 'tinyint'">tinyint</xsl:when>
      <xsl:when test="$kind = 'bigint'">bigint</xsl:when>
      <xsl:when test="$kind = 'bit'">bit</xsl:when>
      <xsl:when test="$kind = 'decimal'">decimal<xsl:call-template name="precision"><xsl:with-param name="n" select="$n"/><xsl:with-param name="scale" select="$scale"/><xsl:with-param name="max" select="38"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'money'">money</xsl:when>
      <xsl:when test="$kind = 'float'">float</xsl:when>
      <xsl:when test="$kind = 'real'">real</xsl:when>
      <xsl:when test="$kind = 'datetime'">datetime</xsl:when>
      <xsl:when test="$kind = 'date'">datetime</xsl:when>
      <xsl:when test="$kind = 'time'">datetime</xsl:when>
      <xsl:when test="$kind = 'char' and $n > 8000">text</xsl:when>
      <xsl:when test="$kind = 'char'">char<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'nchar' and $n > 4000">ntext</xsl:when>
      <xsl:when test="$kind = 'nchar'">nchar<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'varchar' and $n > 8000">text</xsl:when>
      <xsl:when test="$kind = 'varchar'">varchar<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'nvarchar' and $n > 4000">ntext</xsl:when>
      <xsl:when test="$kind = 'nvarchar'">nvarchar<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'longtext'">text</xsl:when>
      <xsl:when test="$kind = 'nlongtext'">ntext</xsl:when>
      <xsl:when test="$kind = 'binary' and $n > 8000">image</xsl:when>
      <xsl:when test="$kind = 'binary'">binary<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'varbinary' and $n > 8000">image</xsl:when>
      <xsl:when test="$kind = 'varbinary'">varbinary<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'blob'">image</xsl:when>
      <xsl:when test="$kind = 'guid'">uniqueidentifier</xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="other-type"><xsl:with-param name="raw" select="$raw"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
