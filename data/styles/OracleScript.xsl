<?xml version="1.0" encoding="UTF-8"?>
<!-- SQL script for Oracle: "quoted" names. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="ScriptCommon.xsl"/>
  <xsl:output method="text" encoding="UTF-8"/>

  <xsl:variable name="engine" select="'oracle'"/>
  <xsl:variable name="qo" select="'&quot;'"/>
  <xsl:variable name="qc" select="'&quot;'"/>

  <xsl:template name="engine-type">
    <xsl:param name="kind"/>
    <xsl:param name="n"/>
    <xsl:param name="scale"/>
    <xsl:param name="raw"/>
    <xsl:choose>
      <xsl:when test="$kind = 'counter'">NUMBER(10)</xsl:when>
      <xsl:when test="$kind = 'int'">NUMBER(10)</xsl:when>
      <xsl:when test="$kind = 'smallint'">NUMBER(5)</xsl:when>
      <xsl:when test="$kind = 'tinyint'">NUMBER(3)</xsl:when>
      <xsl:when test="$kind = 'bigint'">NUMBER(19)</xsl:when>
      <xsl:when test="$kind = 'bit'">NUMBER(1)</xsl:when>
      <xsl:when test="$kind = 'decimal'">NUMBER<xsl:call-template name="precision"><xsl:with-param name="n" select="$n"/><xsl:with-param name="scale" select="$scale"/><xsl:with-param name="max" select="38"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'money'">NUMBER(19,4)</xsl:when>
      <xsl:when test="$kind = 'float'">FLOAT</xsl:when>
      <xsl:when test="$kind = 'real'">REAL</xsl:when>
      <xsl:when test="$kind = 'datetime'">DATE</xsl:when>
      <xsl:when test="$kind = 'date'">DATE</xsl:when>
      <xsl:when test="$kind = 'time'">DATE</xsl:when>
      <xsl:when test="$kind = 'char' and $n > 2000">CLOB</xsl:when>
      <xsl:when test="$kind = 'char'">CHAR<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'nchar' and $n > 1000">NCLOB</xsl:when>
      <xsl:when test="$kind = 'nchar'">NCHAR<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'varchar' and $n > 4000">CLOB</xsl:when>
      <xsl:when test="$kind = 'varchar'">VARCHAR2<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'nvarchar' and $n > 2000">NCLOB</xsl:when>
      <xsl:when test="$kind = 'nvarchar'">NVARCHAR2<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'longtext'">CLOB</xsl:when>
      <xsl:when test="$kind = 'nlongtext'">NCLOB</xsl:when>
      <xsl:when test="$kind = 'binary' and $n > 2000">BLOB</xsl:when>
      <xsl:when test="$kind = 'binary'">RAW<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'varbinary' and $n > 2000">BLOB</xsl:when>
      <xsl:when test="$kind = 'varbinary'">RAW<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'blob'">BLOB</xsl:when>
      <xsl:when test="$kind = 'guid'">RAW(16)</xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="other-type"><xsl:with-param name="raw" select="$raw"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
