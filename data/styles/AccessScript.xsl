<?xml version="1.0" encoding="UTF-8"?>
<!-- SQL script for Access: [bracketed] names. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="ScriptCommon.xsl"/>
  <xsl:output method="text" encoding="UTF-8"/>

  <xsl:variable name="engine" select="'access'"/>
  <xsl:variable name="qo" select="'['"/>
  <xsl:variable name="qc" select="']'"/>

  <xsl:template name="engine-type">
    <xsl:param name="kind"/>
    <xsl:param name="n"/>
    <xsl:param name="scale"/>
    <xsl:param name="raw"/>
    <xsl:choose>
      <xsl:when test="$kind = 'counter'">COUNTER</xsl:when>
      <xsl:when test="$kind = 'int'">LONG</xsl:when>
      <xsl:when test="$kind = 'smallint'">SHORT</xsl:when>
      <xsl:when test="$kind = 'tinyint'">BYTE</xsl:when>
      <xsl:when test="$kind = 'bigint'">DOUBLE</xsl:when>
      <xsl:when test="$kind = 'bit'">YESNO</xsl:when>
      <xsl:when test="$kind = 'decimal'">DOUBLE</xsl:when>
      <xsl:when test="$kind = 'money'">CURRENCY</xsl:when>
      <xsl:when test="$kind = 'float'">DOUBLE</xsl:when>
      <xsl:when test="$kind = 'real'">SINGLE</xsl:when>
      <xsl:when test="$kind = 'datetime'">DATETIME</xsl:when>
      <xsl:when test="$kind = 'date'">DATETIME</xsl:when>
      <xsl:when test="$kind = 'time'">DATETIME</xsl:when>
      <xsl:when test="$kind = 'char' and $n > 255">MEMO</xsl:when>
      <xsl:when test="$kind = 'char'">TEXT<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'nchar' and $n > 255">MEMO</xsl:when>
      <xsl:when test="$kind = 'nchar'">TEXT<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'varchar' and $n > 255">MEMO</xsl:when>
      <xsl:when test="$kind = 'varchar'">TEXT<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'nvarchar' and $n > 255">MEMO</xsl:when>
      <xsl:when test="$kind = 'nvarchar'">TEXT<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'longtext'">MEMO</xsl:when>
      <xsl:when test="$kind = 'nlongtext'">MEMO</xsl:when>
      <xsl:when test="$kind = 'binary' and $n > 255">LONGBINARY</xsl:when>
      <xsl:when test="$kind = 'binary'">BINARY<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'varbinary' and $n > 255">LONGBINARY</xsl:when>
      <xsl:when test="$kind = 'varbinary'">BINARY<xsl:call-template name="size"><xsl:with-param name="n" select="$n"/><xsl:with-param name="default" select="255"/></xsl:call-template></xsl:when>
      <xsl:when test="$kind = 'blob'">LONGBINARY</xsl:when>
      <xsl:when test="$kind = 'guid'">GUID</xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="other-type"><xsl:with-param name="raw" select="$raw"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
