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
  <xsl:variable name="dialect">
    <xsl:choose>
      <xsl:when test="$mysql">mysql</xsl:when>
      <xsl:when test="contains($d, 'postgres')">postgres</xsl:when>
      <xsl:when test="contains($d, 'sqlite')">sqlite</xsl:when>
    </xsl:choose>
  </xsl:variable>

  <xsl:variable name="engine" select="'others'"/>
  <xsl:variable name="qo" select="substring('`&quot;', 2 - number($mysql), 1)"/>
  <xsl:variable name="qc" select="$qo"/>
  <xsl:variable name="inline-keys" select="contains($d, 'sqlite')"/>
  <!-- Checks apart where ALTER TABLE takes them; PostgreSQL defaults may call its functions
       (MariaDB's may not, and a TIMESTAMP made without its default would get the server's);
       InnoDB wants an index on the columns a foreign key refers to. -->
  <xsl:variable name="apart" select="not($inline-keys)"/>
  <xsl:variable name="defaults-apart" select="not($inline-keys) and not($mysql)"/>
  <xsl:variable name="key-indexes" select="$mysql"/>

  <!-- The engine's own type name, whole: "enum('a','b')", "text[]" and "decimal unsigned" are
       its syntax. A size goes after the first word where only MariaDB's attributes follow it
       ("decimal(9,3) unsigned"), else after the name; a bit string's width and a date or time
       type's fraction digits too. A name that would break the script's one line per statement
       is cleaned. -->
  <xsl:template name="engine-type">
    <xsl:param name="kind"/>
    <xsl:param name="n"/>
    <xsl:param name="scale"/>
    <xsl:param name="raw"/>
    <xsl:variable name="whole" select="normalize-space($raw)"/>
    <xsl:variable name="first" select="substring-before(concat($whole, ' '), ' ')"/>
    <xsl:variable name="rest" select="substring-after($whole, ' ')"/>
    <xsl:variable name="f" select="translate($first, $upper, $lower)"/>
    <xsl:variable name="r" select="translate($rest, $upper, $lower)"/>
    <xsl:variable name="attributes" select="$r = 'unsigned' or $r = 'signed' or $r = 'zerofill' or $r = 'unsigned zerofill'"/>
    <xsl:variable name="sized" select="$n > 0 and not(contains($whole, '(')) and not(contains($whole, '['))"/>
    <xsl:variable name="numeric" select="$f = 'decimal' or $f = 'numeric' or $f = 'dec'"/>
    <xsl:variable name="string" select="$f = 'char' or $f = 'varchar' or $f = 'nchar' or $f = 'nvarchar' or $f = 'binary' or $f = 'varbinary' or $f = 'bpchar' or $f = 'varbit' or $kind = 'char' or $kind = 'varchar' or $kind = 'nchar' or $kind = 'nvarchar'"/>
    <xsl:variable name="name">
      <xsl:choose>
        <xsl:when test="$attributes"><xsl:value-of select="$first"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="$whole"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:choose>
      <!-- names the reader gave in place of the driver's own -->
      <xsl:when test="$raw = 'YesNo' and $n > 1"><xsl:value-of select="concat('bit(', $n, ')')"/></xsl:when>
      <xsl:when test="$raw = 'YesNo'">bit</xsl:when>
      <xsl:when test="($raw = 'Text' or $raw = 'Memo') and $mysql">longtext</xsl:when>
      <xsl:when test="$raw = 'Text' or $raw = 'Memo'">text</xsl:when>
      <xsl:when test="$raw = 'Long Integer'">long</xsl:when>
      <!-- one with literals, such as MariaDB's enum('a','b'): its blanks are the labels' own -->
      <xsl:when test="contains($raw, &quot;'&quot;)">
        <xsl:call-template name="engine-text">
          <xsl:with-param name="s"><xsl:call-template name="trim"><xsl:with-param name="s" select="$raw"/></xsl:call-template></xsl:with-param>
        </xsl:call-template>
      </xsl:when>
      <!-- MariaDB's display width, such as tinyint(1) -->
      <xsl:when test="$mysql and string(@Display_Width) != '' and not(contains($whole, '('))">
        <xsl:value-of select="concat($first, '(', @Display_Width, ')')"/>
        <xsl:if test="$rest != ''"><xsl:value-of select="concat(' ', $rest)"/></xsl:if>
      </xsl:when>
      <!-- SQLite takes a column without a type -->
      <xsl:when test="$whole = '' and $inline-keys"/>
      <xsl:when test="$whole = '' or contains($raw, '&#10;') or contains($raw, '&#13;')">
        <xsl:call-template name="other-type"><xsl:with-param name="raw" select="$raw"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$sized and ($numeric or $string)">
        <xsl:value-of select="$name"/>
        <xsl:choose>
          <xsl:when test="$numeric">
            <xsl:call-template name="precision"><xsl:with-param name="n" select="$n"/><xsl:with-param name="scale" select="$scale"/><xsl:with-param name="max" select="1000"/></xsl:call-template>
          </xsl:when>
          <xsl:otherwise>
            <xsl:call-template name="size"><xsl:with-param name="n" select="$n"/></xsl:call-template>
          </xsl:otherwise>
        </xsl:choose>
        <xsl:if test="$attributes"><xsl:value-of select="concat(' ', $rest)"/></xsl:if>
      </xsl:when>
      <!-- a date or time type's fraction digits, but for PostgreSQL's default of 6 -->
      <xsl:when test="$sized and $n &lt;= 6 and not($n = 6 and contains($d, 'postgres')) and ($f = 'datetime' or $f = 'timestamp' or $f = 'timestamptz' or $f = 'time' or $f = 'timetz')">
        <xsl:value-of select="concat($whole, '(', $n, ')')"/>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$whole"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
