<?xml version="1.0" encoding="UTF-8"?>
<!--
  SQL script for OTHERS: the structure read through the driver's catalogue, written back for the
  engine it came from. Type names stay the engine's own (with their sizes); $driver, the ODBC
  driver of the connection, chooses the quoting: `backticks` for MySQL and MariaDB, "double
  quotes" elsewhere. SQLite takes its foreign keys inside CREATE TABLE only.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="ScriptCommon.xsl"/>
  <xsl:output method="text" encoding="UTF-8"/>

  <xsl:param name="driver" select="''"/>
  <xsl:variable name="d" select="translate($driver, $upper, $lower)"/>
  <xsl:variable name="mysql" select="contains($d, 'mysql') or contains($d, 'mariadb')"/>

  <xsl:variable name="engine" select="'others'"/>
  <xsl:variable name="qo" select="substring('`&quot;', 2 - number($mysql), 1)"/>
  <xsl:variable name="qc" select="$qo"/>
  <xsl:variable name="inline-keys" select="contains($d, 'sqlite')"/>

  <xsl:template name="engine-type">
    <xsl:param name="kind"/>
    <xsl:param name="n"/>
    <xsl:param name="scale"/>
    <xsl:param name="raw"/>
    <xsl:variable name="name">
      <xsl:call-template name="other-type"><xsl:with-param name="raw" select="$raw"/></xsl:call-template>
    </xsl:variable>
    <xsl:choose>
      <!-- names the reader gave in place of the driver's own -->
      <xsl:when test="$raw = 'YesNo'">bit</xsl:when>
      <xsl:when test="($raw = 'Text' or $raw = 'Memo') and $mysql">longtext</xsl:when>
      <xsl:when test="$raw = 'Text' or $raw = 'Memo'">text</xsl:when>
      <xsl:when test="$raw = 'Long Integer'">long</xsl:when>
      <xsl:when test="$kind = 'decimal' and $n > 0">
        <xsl:value-of select="$name"/>
        <xsl:call-template name="precision"><xsl:with-param name="n" select="$n"/><xsl:with-param name="scale" select="$scale"/><xsl:with-param name="max" select="1000"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="($kind = 'char' or $kind = 'nchar' or $kind = 'varchar' or $kind = 'nvarchar' or $kind = 'binary' or $kind = 'varbinary') and $n > 0">
        <xsl:value-of select="$name"/>
        <xsl:call-template name="size"><xsl:with-param name="n" select="$n"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$name"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
