<?xml version="1.0" encoding="UTF-8"?>
<!--
  Shared part of the SQL script sheets: a structure document, from whichever reader, into
  CREATE TABLE, primary keys, indexes, foreign keys, views and procedures, one statement per
  line; names and literals are written as the structure holds them, so one with a line break
  goes on over lines (text::statementLines reads it whole), and the engine's own text an OTHERS
  script copies means the same under every session mode (engine-text). The importing sheet sets
  $engine (sqlserver, sqlserver65, oracle, access, db2, others) and the identifier quotes
  $qo / $qc; a closing quote inside a name is doubled. With
  $inline-keys true the foreign keys go inside CREATE TABLE (for engines without ALTER TABLE
  ADD CONSTRAINT) rather than into ALTER TABLE statements after all tables.

  Reader vocabularies: a column's name is @Column_Name or @Name, its type @Data_Type or
  @Datatype, its size @Precision or @Length; an index lists COLUMN children (a column's
  @Column_Name or @Name, or an @Expression; MariaDB's @Prefix_Length) or a comma-joined
  @Column_Name, and may hold only the rows of its @Condition, carry PostgreSQL's @Included columns
  (its own text) and hold NULLs equal (@Nulls_Not_Distinct); a foreign key's column is @Foreign_Key_Column or @Related_Column and the
  element stands under the referenced table (ADO) or the referencing table (DAO).
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="text" encoding="UTF-8"/>
  <xsl:strip-space elements="*"/>

  <xsl:variable name="engine" select="'sqlserver'"/>
  <xsl:variable name="qo" select="'['"/>
  <xsl:variable name="qc" select="']'"/>
  <xsl:variable name="inline-keys" select="false()"/>
  <!-- $apart true: checks, and with $defaults-apart the defaults that call a function, go into
       statements of their own after the tables (they may refer to what the structure does not
       hold, and then cost only themselves); $key-indexes true: a foreign key gets an index on
       the columns it refers to where no unique index or primary key starts with them. -->
  <xsl:variable name="apart" select="false()"/>
  <xsl:variable name="defaults-apart" select="false()"/>
  <xsl:variable name="key-indexes" select="false()"/>
  <!-- For OTHERS, the engine whose catalogue text the script copies: 'mysql' (MariaDB, MySQL),
       'postgres', 'sqlite', or '' for any other. -->
  <xsl:variable name="dialect" select="''"/>
  <xsl:variable name="nl" select="'&#10;'"/>
  <xsl:variable name="upper" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>
  <xsl:variable name="lower" select="'abcdefghijklmnopqrstuvwxyz'"/>

  <!-- One entry per foreign key, whatever table the reader put its column pairs under. Where the
       reader numbers each key's columns (@Ordinal), a key's pairs stand together from its first
       column on, and that pair tells keys of the same name and tables apart (SQLite's unnamed
       ones); the same expression finds a key's pairs below. -->
  <xsl:key name="fk" match="/DATABASE/TABLE/FOREIGNKEY"
           use="concat(@Name, '|', @Foreign_Key_Table, '|', @Primary_Key_Table, '|', ../@Name, '|',
                generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()]))"/>
  <!-- Foreign keys by referenced table. -->
  <xsl:key name="fk-to" match="/DATABASE/TABLE/FOREIGNKEY" use="@Primary_Key_Table"/>
  <!-- Foreign keys by referencing table: @Foreign_Key_Table, or the holding table for a DAO key
       without it (1 div false() makes the substring empty). -->
  <xsl:key name="fk-from" match="/DATABASE/TABLE/FOREIGNKEY"
           use="concat(@Foreign_Key_Table, substring(../@Name, 1 div (string(@Foreign_Key_Table) = '' and not(@Related_Column))))"/>

  <!-- PostgreSQL types the columns use (enumerations, domains, also only in arrays: "mood[]"), and
       the sequences their defaults take values from, each once. -->
  <xsl:key name="user-type" match="/DATABASE/TABLE/COLUMN[@Enum_Labels or @Domain_Type]" use="substring(@Datatype, 1, string-length(@Datatype) - 2 * (substring(@Datatype, string-length(@Datatype) - 1) = '[]'))"/>
  <!-- Domains by the arrays of them: PostgreSQL adds no check to a domain an array column uses,
       so such a domain's checks stay in CREATE DOMAIN. -->
  <xsl:key name="domain-array" match="/DATABASE/TABLE/COLUMN[@Domain_Type][substring(@Datatype, string-length(@Datatype) - 1) = '[]']"
           use="substring(@Datatype, 1, string-length(@Datatype) - 2)"/>
  <xsl:key name="sequence-default" match="/DATABASE/TABLE/COLUMN[@Owned_Sequence]" use="string(@Column_Default)"/>

  <xsl:template match="/">
    <xsl:apply-templates select="DATABASE"/>
  </xsl:template>

  <xsl:template match="DATABASE">
    <!-- MariaDB shows a backslash, NUL, ^Z or carriage return in a literal as an escape: where the
         copied text holds one, the script reads escapes whatever the session's mode, and gives
         the session its mode back at the end. -->
    <xsl:variable name="escapes" select="$dialect = 'mysql' and (TABLE//@* | VIEW/SQLSCRIPT)[contains(., '\\')
                                         or contains(., '\0') or contains(., '\Z') or contains(., '\b') or contains(., '\r')]"/>
    <xsl:if test="$escapes">
      <xsl:text>SET @dalvane_sql_mode = @@SESSION.sql_mode, SESSION sql_mode = TRIM(BOTH ',' FROM </xsl:text>
      <xsl:text>REPLACE(CONCAT(',', @@SESSION.sql_mode, ','), ',NO_BACKSLASH_ESCAPES,', ','));</xsl:text>
      <xsl:value-of select="$nl"/>
    </xsl:if>
    <xsl:if test="$engine = 'sqlserver65'">
      <xsl:text>SET QUOTED_IDENTIFIER ON;</xsl:text>
      <xsl:value-of select="$nl"/>
    </xsl:if>
    <xsl:if test="$engine = 'others'">
      <xsl:for-each select="TABLE/COLUMN[@Enum_Labels][generate-id() = generate-id(key('user-type', substring(@Datatype, 1, string-length(@Datatype) - 2 * (substring(@Datatype, string-length(@Datatype) - 1) = '[]')))[1])]">
        <xsl:text>CREATE TYPE </xsl:text>
        <xsl:call-template name="user-type"/>
        <!-- (the reader's labels are in E'...' where they hold a backslash) -->
        <xsl:value-of select="concat(' AS ENUM (', @Enum_Labels, ');', $nl)"/>
      </xsl:for-each>
      <xsl:for-each select="TABLE/COLUMN[@Domain_Type][generate-id() = generate-id(key('user-type', substring(@Datatype, 1, string-length(@Datatype) - 2 * (substring(@Datatype, string-length(@Datatype) - 1) = '[]')))[1])]">
        <xsl:text>CREATE DOMAIN </xsl:text>
        <xsl:call-template name="user-type"/>
        <xsl:value-of select="concat(' AS ', @Domain_Type)"/>
        <xsl:variable name="own"><xsl:call-template name="domain-default-apart"/></xsl:variable>
        <xsl:if test="normalize-space(@Domain_Default) != '' and $own != '1'">
          <xsl:text> DEFAULT </xsl:text>
          <xsl:call-template name="engine-text"><xsl:with-param name="s" select="@Domain_Default"/></xsl:call-template>
        </xsl:if>
        <xsl:if test="@Domain_Not_Null = 'True'"> NOT NULL</xsl:if>
        <xsl:if test="normalize-space(@Domain_Check) != '' and (not($apart) or key('domain-array', @Datatype)
                      or substring(@Datatype, string-length(@Datatype) - 1) = '[]')">
          <xsl:text> </xsl:text>
          <xsl:call-template name="engine-text"><xsl:with-param name="s" select="@Domain_Check"/></xsl:call-template>
        </xsl:if>
        <xsl:value-of select="concat(';', $nl)"/>
      </xsl:for-each>
      <!-- A sequence default keeps its sequence: shared by several columns, it stays one. -->
      <xsl:for-each select="TABLE/COLUMN[@Owned_Sequence][generate-id() = generate-id(key('sequence-default', string(@Column_Default))[1])]">
        <xsl:variable name="named" select="substring-after(@Column_Default, &quot;nextval('&quot;)"/>
        <xsl:variable name="sequence">
          <xsl:choose>
            <xsl:when test="contains($named, &quot;'::&quot;)"><xsl:value-of select="substring-before($named, &quot;'::&quot;)"/></xsl:when>
            <xsl:otherwise><xsl:value-of select="substring-before($named, &quot;')&quot;)"/></xsl:otherwise>
          </xsl:choose>
        </xsl:variable>
        <!-- The name stands in a string literal: its quotes are doubled there. -->
        <xsl:if test="$sequence != ''">
          <xsl:text>CREATE SEQUENCE IF NOT EXISTS </xsl:text>
          <xsl:call-template name="replace">
            <xsl:with-param name="text" select="$sequence"/>
            <xsl:with-param name="from" select="&quot;''&quot;"/>
            <xsl:with-param name="to" select="&quot;'&quot;"/>
          </xsl:call-template>
          <xsl:value-of select="concat(';', $nl)"/>
        </xsl:if>
      </xsl:for-each>
    </xsl:if>
    <xsl:apply-templates select="TABLE" mode="create"/>
    <xsl:apply-templates select="TABLE" mode="indexes"/>
    <xsl:if test="$engine = 'others'">
      <xsl:for-each select="TABLE/COLUMN[string(@Owned_Sequence) != '']">
        <xsl:value-of select="concat('ALTER SEQUENCE ', @Owned_Sequence, ' OWNED BY ')"/>
        <xsl:call-template name="quote"><xsl:with-param name="name" select="../@Name"/></xsl:call-template>
        <xsl:text>.</xsl:text>
        <xsl:call-template name="quote">
          <xsl:with-param name="name"><xsl:call-template name="column-name"/></xsl:with-param>
        </xsl:call-template>
        <xsl:value-of select="concat(';', $nl)"/>
      </xsl:for-each>
    </xsl:if>
    <xsl:if test="$apart">
      <!-- A domain's checks, each on its own, and its default calling a function. -->
      <xsl:for-each select="TABLE/COLUMN[@Domain_Type][generate-id() = generate-id(key('user-type', substring(@Datatype, 1, string-length(@Datatype) - 2 * (substring(@Datatype, string-length(@Datatype) - 1) = '[]')))[1])]">
        <xsl:variable name="domain">
          <xsl:call-template name="user-type"/>
        </xsl:variable>
        <xsl:if test="normalize-space(@Domain_Check) != '' and not(key('domain-array', @Datatype))
                      and substring(@Datatype, string-length(@Datatype) - 1) != '[]'">
          <xsl:call-template name="domain-checks">
            <xsl:with-param name="domain" select="$domain"/>
            <xsl:with-param name="s" select="@Domain_Check"/>
          </xsl:call-template>
        </xsl:if>
        <xsl:variable name="own"><xsl:call-template name="domain-default-apart"/></xsl:variable>
        <xsl:if test="$own = '1'">
          <xsl:value-of select="concat('ALTER DOMAIN ', $domain, ' SET DEFAULT ')"/>
          <xsl:call-template name="engine-text"><xsl:with-param name="s" select="@Domain_Default"/></xsl:call-template>
          <xsl:value-of select="concat(';', $nl)"/>
        </xsl:if>
      </xsl:for-each>
      <xsl:for-each select="TABLE">
        <xsl:variable name="table" select="@Name"/>
        <xsl:for-each select="COLUMN[normalize-space(@Check_Constraint) != '']">
          <xsl:if test="not(preceding-sibling::COLUMN[@Check_Constraint = current()/@Check_Constraint])">
            <xsl:text>ALTER TABLE </xsl:text>
            <xsl:call-template name="quote"><xsl:with-param name="name" select="$table"/></xsl:call-template>
            <xsl:text> ADD </xsl:text>
            <xsl:if test="string(@Check_Name) != ''">
              <xsl:text>CONSTRAINT </xsl:text>
              <xsl:call-template name="quote"><xsl:with-param name="name" select="@Check_Name"/></xsl:call-template>
              <xsl:text> </xsl:text>
            </xsl:if>
            <xsl:text>CHECK (</xsl:text>
            <xsl:call-template name="engine-text"><xsl:with-param name="s" select="@Check_Constraint"/></xsl:call-template>
            <xsl:value-of select="concat(');', $nl)"/>
          </xsl:if>
        </xsl:for-each>
        <xsl:for-each select="COLUMN">
          <xsl:variable name="own"><xsl:call-template name="default-apart"/></xsl:variable>
          <xsl:if test="$own = '1'">
            <xsl:text>ALTER TABLE </xsl:text>
            <xsl:call-template name="quote"><xsl:with-param name="name" select="$table"/></xsl:call-template>
            <xsl:text> ALTER COLUMN </xsl:text>
            <xsl:call-template name="quote">
              <xsl:with-param name="name"><xsl:call-template name="column-name"/></xsl:with-param>
            </xsl:call-template>
            <xsl:text> SET DEFAULT </xsl:text>
            <xsl:call-template name="default-value"><xsl:with-param name="d" select="@Column_Default"/></xsl:call-template>
            <xsl:value-of select="concat(';', $nl)"/>
          </xsl:if>
        </xsl:for-each>
      </xsl:for-each>
    </xsl:if>
    <xsl:if test="$key-indexes">
      <xsl:apply-templates select="TABLE" mode="key-indexes"/>
    </xsl:if>
    <xsl:for-each select="TABLE/FOREIGNKEY[not($inline-keys)]">
      <xsl:variable name="k" select="concat(@Name, '|', @Foreign_Key_Table, '|', @Primary_Key_Table, '|', ../@Name, '|',
                                     generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()]))"/>
      <xsl:if test="generate-id() = generate-id(key('fk', $k)[1])">
        <xsl:call-template name="foreign-key">
          <xsl:with-param name="pairs" select="key('fk', $k)"/>
          <xsl:with-param name="number" select="position()"/>
        </xsl:call-template>
      </xsl:if>
    </xsl:for-each>
    <xsl:apply-templates select="VIEW"/>
    <xsl:apply-templates select="STOREDPROCEDURE"/>
    <xsl:if test="$escapes">
      <xsl:value-of select="concat('SET SESSION sql_mode = @dalvane_sql_mode;', $nl)"/>
    </xsl:if>
  </xsl:template>

  <!-- ===== names ===== -->

  <xsl:template name="quote">
    <xsl:param name="name"/>
    <xsl:value-of select="$qo"/>
    <xsl:call-template name="replace">
      <xsl:with-param name="text" select="$name"/>
      <xsl:with-param name="from" select="$qc"/>
      <xsl:with-param name="to" select="concat($qc, $qc)"/>
    </xsl:call-template>
    <xsl:value-of select="$qc"/>
  </xsl:template>

  <!-- ===== the engine's own text ===== -->

  <!-- Text of the engine the script runs on, as its catalogue shows it (a default, a check, a type,
       an index expression or condition, a view), written to mean the same under every session
       mode: MariaDB's \' becomes '', its \n, \t and \" the characters, a "name" (read with
       ANSI_QUOTES) a `name`; PostgreSQL's literal holding a backslash becomes E'...' with the
       backslashes doubled; in T-SQL, where a backslash before a line break joins the lines, such
       a literal is cut after the backslash and the break added as CHAR(10) or CHAR(13), but not
       in a view's text ($program), which SQL Server keeps as written and so has read that way.
       Any other engine's text stands as it is. -->
  <xsl:template name="engine-text">
    <xsl:param name="s"/>
    <xsl:param name="program" select="false()"/>
    <xsl:choose>
      <xsl:when test="($engine = 'sqlserver' or $engine = 'sqlserver65') and not($program)
                      and (contains($s, '\&#10;') or contains($s, '\&#13;'))">
        <xsl:call-template name="tsql-text"><xsl:with-param name="s" select="$s"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$dialect = 'mysql' and (contains($s, '\') or contains($s, '&quot;'))">
        <xsl:call-template name="my-text"><xsl:with-param name="s" select="$s"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$dialect = 'postgres' and contains($s, '\')">
        <xsl:call-template name="pg-text"><xsl:with-param name="s" select="$s"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$s"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The length of s up to and including the quote q that closes what s is in (a doubled q
       stands for itself), or all of s. -->
  <xsl:template name="closing">
    <xsl:param name="s"/>
    <xsl:param name="q"/>
    <xsl:choose>
      <xsl:when test="not(contains($s, $q))"><xsl:value-of select="string-length($s)"/></xsl:when>
      <xsl:when test="substring(substring-after($s, $q), 1, 1) = $q">
        <xsl:variable name="more">
          <xsl:call-template name="closing">
            <xsl:with-param name="s" select="substring(substring-after($s, $q), 2)"/>
            <xsl:with-param name="q" select="$q"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:value-of select="string-length(substring-before($s, $q)) + 2 + $more"/>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="string-length(substring-before($s, $q)) + 1"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The same for a literal with backslash escapes (\' and \\ stand for one character). -->
  <xsl:template name="escaped-closing">
    <xsl:param name="s"/>
    <xsl:variable name="a" select="string-length(substring-before(concat($s, &quot;'&quot;), &quot;'&quot;))"/>
    <xsl:variable name="b" select="string-length(substring-before(concat($s, '\'), '\'))"/>
    <xsl:choose>
      <xsl:when test="$a = string-length($s) and $b = $a"><xsl:value-of select="$a"/></xsl:when>
      <xsl:when test="$b &lt; $a or substring($s, $a + 2, 1) = &quot;'&quot;">
        <xsl:variable name="skip" select="($b * number($b &lt; $a) + $a * number($b >= $a)) + 2"/>
        <xsl:variable name="more">
          <xsl:call-template name="escaped-closing"><xsl:with-param name="s" select="substring($s, $skip + 1)"/></xsl:call-template>
        </xsl:variable>
        <xsl:value-of select="$skip + $more"/>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$a + 1"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- MariaDB text from one name or literal to the next: a quote within a `name` (an odd count
       of backquotes before it) is part of the name. Text up to the next backslash or double
       quote needs no change: where it holds no name, the count of quotes in it tells whether
       that character is in a literal, and the text goes on from there at once. -->
  <xsl:template name="my-text">
    <xsl:param name="s"/>
    <xsl:variable name="a" select="string-length(substring-before(concat($s, &quot;'&quot;), &quot;'&quot;))"/>
    <xsl:variable name="b" select="string-length(substring-before(concat($s, '&quot;'), '&quot;'))"/>
    <xsl:variable name="c" select="string-length(substring-before(concat($s, '\'), '\'))"/>
    <xsl:variable name="i" select="$a * number($a &lt;= $b) + $b * number($a > $b)"/>
    <xsl:variable name="h" select="$b * number($b &lt;= $c) + $c * number($b > $c)"/>
    <xsl:variable name="pre" select="substring($s, 1, $i)"/>
    <xsl:variable name="q" select="substring($s, $i + 1, 1)"/>
    <xsl:variable name="plain" select="substring($s, 1, $h)"/>
    <xsl:variable name="quotes" select="string-length($plain) - string-length(translate($plain, &quot;'&quot;, ''))"/>
    <xsl:choose>
      <xsl:when test="$h = string-length($s)"><xsl:value-of select="$s"/></xsl:when>
      <xsl:when test="not(contains($plain, '`')) and $quotes mod 2 = 1">
        <xsl:value-of select="$plain"/>
        <xsl:call-template name="my-string"><xsl:with-param name="s" select="substring($s, $h + 1)"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="not(contains($plain, '`')) and $h = $c">
        <xsl:value-of select="substring($s, 1, $h + 1)"/>
        <xsl:call-template name="my-text"><xsl:with-param name="s" select="substring($s, $h + 2)"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="(string-length($pre) - string-length(translate($pre, '`', ''))) mod 2 = 1">
        <xsl:variable name="end">
          <xsl:call-template name="closing">
            <xsl:with-param name="s" select="substring($s, $i + 2)"/>
            <xsl:with-param name="q" select="'`'"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:value-of select="substring($s, 1, $i + 1 + $end)"/>
        <xsl:call-template name="my-text"><xsl:with-param name="s" select="substring($s, $i + 2 + $end)"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$q = '&quot;'">
        <xsl:variable name="end">
          <xsl:call-template name="closing">
            <xsl:with-param name="s" select="substring($s, $i + 2)"/>
            <xsl:with-param name="q" select="'&quot;'"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:value-of select="$pre"/>
        <xsl:call-template name="quote">
          <xsl:with-param name="name">
            <xsl:call-template name="replace">
              <xsl:with-param name="text" select="substring($s, $i + 2, $end - 1)"/>
              <xsl:with-param name="from" select="'&quot;&quot;'"/>
              <xsl:with-param name="to" select="'&quot;'"/>
            </xsl:call-template>
          </xsl:with-param>
        </xsl:call-template>
        <xsl:call-template name="my-text"><xsl:with-param name="s" select="substring($s, $i + 2 + $end)"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="concat($pre, &quot;'&quot;)"/>
        <xsl:call-template name="my-string"><xsl:with-param name="s" select="substring($s, $i + 2)"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The rest of a MariaDB literal from its next escape or quote on, then the text after it.
       What has no form free of escapes (\\, \0, \Z, \b) stays, and \r (a line break to a text
       editor): the script then reads escapes. -->
  <xsl:template name="my-string">
    <xsl:param name="s"/>
    <xsl:variable name="a" select="string-length(substring-before(concat($s, &quot;'&quot;), &quot;'&quot;))"/>
    <xsl:variable name="b" select="string-length(substring-before(concat($s, '\'), '\'))"/>
    <xsl:choose>
      <xsl:when test="$b &lt; $a">
        <xsl:variable name="e" select="substring($s, $b + 2, 1)"/>
        <xsl:value-of select="substring($s, 1, $b)"/>
        <xsl:choose>
          <xsl:when test="$e = &quot;'&quot;">''</xsl:when>
          <xsl:when test="$e = 'n'"><xsl:text>&#10;</xsl:text></xsl:when>
          <xsl:when test="$e = 't'"><xsl:text>&#9;</xsl:text></xsl:when>
          <xsl:when test="$e = '' or contains('\0Zbr%_', $e)"><xsl:value-of select="concat('\', $e)"/></xsl:when>
          <xsl:otherwise><xsl:value-of select="$e"/></xsl:otherwise>
        </xsl:choose>
        <xsl:call-template name="my-string"><xsl:with-param name="s" select="substring($s, $b + 3)"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="$a = string-length($s)"><xsl:value-of select="$s"/></xsl:when>
      <xsl:when test="substring($s, $a + 2, 1) = &quot;'&quot;">
        <xsl:value-of select="concat(substring($s, 1, $a), &quot;''&quot;)"/>
        <xsl:call-template name="my-string"><xsl:with-param name="s" select="substring($s, $a + 3)"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="substring($s, 1, $a + 1)"/>
        <xsl:call-template name="my-text"><xsl:with-param name="s" select="substring($s, $a + 2)"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- PostgreSQL text from one literal to the next: a quote within a "name" (an odd count of
       double quotes before it) is part of the name. -->
  <xsl:template name="pg-text">
    <xsl:param name="s"/>
    <xsl:variable name="pre" select="substring-before($s, &quot;'&quot;)"/>
    <xsl:variable name="i" select="string-length($pre)"/>
    <xsl:variable name="q" select="'&quot;'"/>
    <xsl:choose>
      <xsl:when test="not(contains($s, &quot;'&quot;))"><xsl:value-of select="$s"/></xsl:when>
      <xsl:when test="(string-length($pre) - string-length(translate($pre, $q, ''))) mod 2 = 1">
        <xsl:variable name="end">
          <xsl:call-template name="closing">
            <xsl:with-param name="s" select="substring($s, $i + 2)"/>
            <xsl:with-param name="q" select="$q"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:value-of select="substring($s, 1, $i + 1 + $end)"/>
        <xsl:call-template name="pg-text"><xsl:with-param name="s" select="substring($s, $i + 2 + $end)"/></xsl:call-template>
      </xsl:when>
      <!-- E'...' (a reader's own form) stands as it is -->
      <xsl:when test="contains('Ee', substring($pre, $i, 1)) and $i > 0
                      and (string-length(substring($pre, $i - 1, 1)) = 0
                           or translate(substring($pre, $i - 1, 1), concat($upper, $lower, '0123456789_$'), '') != '')">
        <xsl:variable name="end">
          <xsl:call-template name="escaped-closing"><xsl:with-param name="s" select="substring($s, $i + 2)"/></xsl:call-template>
        </xsl:variable>
        <xsl:value-of select="substring($s, 1, $i + 1 + $end)"/>
        <xsl:call-template name="pg-text"><xsl:with-param name="s" select="substring($s, $i + 2 + $end)"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:variable name="end">
          <xsl:call-template name="closing">
            <xsl:with-param name="s" select="substring($s, $i + 2)"/>
            <xsl:with-param name="q" select="&quot;'&quot;"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:variable name="body" select="substring($s, $i + 2, $end - 1)"/>
        <xsl:value-of select="$pre"/>
        <xsl:choose>
          <xsl:when test="contains($body, '\')">
            <xsl:text>E'</xsl:text>
            <xsl:call-template name="replace">
              <xsl:with-param name="text" select="$body"/>
              <xsl:with-param name="from" select="'\'"/>
              <xsl:with-param name="to" select="'\\'"/>
            </xsl:call-template>
            <xsl:text>'</xsl:text>
          </xsl:when>
          <xsl:otherwise><xsl:value-of select="concat(&quot;'&quot;, $body, &quot;'&quot;)"/></xsl:otherwise>
        </xsl:choose>
        <xsl:call-template name="pg-text"><xsl:with-param name="s" select="substring($s, $i + 2 + $end)"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- T-SQL text from one literal to the next: a quote within a [name] or "name" is part of it. -->
  <xsl:template name="tsql-text">
    <xsl:param name="s"/>
    <xsl:variable name="a" select="string-length(substring-before(concat($s, &quot;'&quot;), &quot;'&quot;))"/>
    <xsl:variable name="b" select="string-length(substring-before(concat($s, '['), '['))"/>
    <xsl:variable name="c" select="string-length(substring-before(concat($s, '&quot;'), '&quot;'))"/>
    <xsl:variable name="bc" select="$b * number($b &lt;= $c) + $c * number($b > $c)"/>
    <xsl:variable name="i" select="$a * number($a &lt;= $bc) + $bc * number($a > $bc)"/>
    <xsl:variable name="q" select="translate(substring($s, $i + 1, 1), '[', ']')"/>
    <xsl:variable name="end">
      <xsl:if test="$i &lt; string-length($s)">
        <xsl:call-template name="closing">
          <xsl:with-param name="s" select="substring($s, $i + 2)"/>
          <xsl:with-param name="q" select="$q"/>
        </xsl:call-template>
      </xsl:if>
    </xsl:variable>
    <xsl:variable name="body" select="substring($s, $i + 2, $end - 1)"/>
    <xsl:choose>
      <xsl:when test="$i = string-length($s)"><xsl:value-of select="$s"/></xsl:when>
      <xsl:when test="$q != &quot;'&quot; or not(contains($body, '\&#10;') or contains($body, '\&#13;'))">
        <xsl:value-of select="substring($s, 1, $i + 1 + $end)"/>
      </xsl:when>
      <xsl:otherwise>
        <!-- N'...': each part national -->
        <xsl:variable name="n" select="translate(substring($s, $i, 1), 'n', 'N') = 'N' and ($i = 1
                                       or translate(substring($s, $i - 1, 1), concat($upper, $lower, '0123456789_@#$'), '') != '')"/>
        <xsl:variable name="p" select="substring('N', 1, number($n))"/>
        <xsl:variable name="cr">
          <xsl:call-template name="replace">
            <xsl:with-param name="text" select="$body"/>
            <xsl:with-param name="from" select="'\&#13;'"/>
            <xsl:with-param name="to" select="concat('\', &quot;' + &quot;, $p, &quot;CHAR(13) + &quot;, $p, &quot;'&quot;)"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:value-of select="concat(substring($s, 1, $i - number($n)), '(', $p, &quot;'&quot;)"/>
        <xsl:call-template name="replace">
          <xsl:with-param name="text" select="$cr"/>
          <xsl:with-param name="from" select="'\&#10;'"/>
          <xsl:with-param name="to" select="concat('\', &quot;' + &quot;, $p, &quot;CHAR(10) + &quot;, $p, &quot;'&quot;)"/>
        </xsl:call-template>
        <xsl:text>')</xsl:text>
      </xsl:otherwise>
    </xsl:choose>
    <xsl:if test="$i &lt; string-length($s)">
      <xsl:call-template name="tsql-text"><xsl:with-param name="s" select="substring($s, $i + 2 + $end)"/></xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- text with every `from` replaced by `to` -->
  <xsl:template name="replace">
    <xsl:param name="text"/>
    <xsl:param name="from"/>
    <xsl:param name="to"/>
    <xsl:choose>
      <xsl:when test="contains($text, $from)">
        <xsl:value-of select="concat(substring-before($text, $from), $to)"/>
        <xsl:call-template name="replace">
          <xsl:with-param name="text" select="substring-after($text, $from)"/>
          <xsl:with-param name="from" select="$from"/>
          <xsl:with-param name="to" select="$to"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$text"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- text without the blanks, tabs and line breaks at its ends -->
  <xsl:template name="trim">
    <xsl:param name="s"/>
    <xsl:variable name="n" select="normalize-space($s)"/>
    <xsl:if test="$n != ''">
      <xsl:variable name="from" select="substring($s, string-length(substring-before($s, substring($n, 1, 1))) + 1)"/>
      <xsl:call-template name="trim-end"><xsl:with-param name="s" select="$from"/></xsl:call-template>
    </xsl:if>
  </xsl:template>
  <xsl:template name="trim-end">
    <xsl:param name="s"/>
    <xsl:variable name="last" select="substring($s, string-length($s))"/>
    <xsl:choose>
      <xsl:when test="$s != '' and translate($last, ' &#9;&#10;&#13;', '') = ''">
        <xsl:call-template name="trim-end"><xsl:with-param name="s" select="substring($s, 1, string-length($s) - 1)"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$s"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="column-name">
    <xsl:param name="c" select="."/>
    <xsl:choose>
      <xsl:when test="$c/@Column_Name"><xsl:value-of select="$c/@Column_Name"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$c/@Name"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Quoted names of a comma-joined list, blanks at each name's ends dropped (the reader writes
       a name the list cannot keep as a COLUMN of the index); with `counted`, each as its length,
       ":" and itself, then "," (a form that tells lists apart whatever their names hold). -->
  <xsl:template name="quote-list">
    <xsl:param name="list"/>
    <xsl:param name="counted" select="false()"/>
    <xsl:variable name="first">
      <xsl:call-template name="trim">
        <xsl:with-param name="s">
          <xsl:choose>
            <xsl:when test="contains($list, ',')"><xsl:value-of select="substring-before($list, ',')"/></xsl:when>
            <xsl:otherwise><xsl:value-of select="$list"/></xsl:otherwise>
          </xsl:choose>
        </xsl:with-param>
      </xsl:call-template>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="$counted and $first != ''"><xsl:value-of select="concat(string-length($first), ':', $first, ',')"/></xsl:when>
      <xsl:when test="$counted"/>
      <xsl:otherwise>
        <xsl:call-template name="quote"><xsl:with-param name="name" select="$first"/></xsl:call-template>
        <xsl:if test="contains($list, ',')"><xsl:text>, </xsl:text></xsl:if>
      </xsl:otherwise>
    </xsl:choose>
    <xsl:if test="contains($list, ',')">
      <xsl:call-template name="quote-list">
        <xsl:with-param name="list" select="substring-after($list, ',')"/>
        <xsl:with-param name="counted" select="$counted"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- Quoted names of a counted list ("1:a,3:b,c,"), joined by ", ". -->
  <xsl:template name="quote-counted">
    <xsl:param name="list"/>
    <xsl:variable name="n" select="number(substring-before($list, ':'))"/>
    <xsl:if test="$n >= 0">
      <xsl:call-template name="quote"><xsl:with-param name="name" select="substring(substring-after($list, ':'), 1, $n)"/></xsl:call-template>
      <xsl:variable name="rest" select="substring(substring-after($list, ':'), $n + 2)"/>
      <xsl:if test="$rest != ''">
        <xsl:text>, </xsl:text>
        <xsl:call-template name="quote-counted"><xsl:with-param name="list" select="$rest"/></xsl:call-template>
      </xsl:if>
    </xsl:if>
  </xsl:template>

  <!-- ===== tables ===== -->

  <!-- A SQLite key named after an automatic index is a UNIQUE constraint that structures read
       before taking it for the table's key (the index stays, and is written as such). -->
  <xsl:template name="is-key-column">
    <xsl:variable name="v" select="translate(@Primary_Key, $upper, $lower)"/>
    <xsl:if test="string(@Primary_Key) != '' and $v != 'no' and $v != 'false' and $v != '0'
                  and not($dialect = 'sqlite' and starts-with(@Primary_Key, 'sqlite_autoindex_'))">1</xsl:if>
  </xsl:template>

  <xsl:template match="TABLE" mode="create">
    <xsl:text>CREATE TABLE </xsl:text>
    <xsl:call-template name="quote"><xsl:with-param name="name" select="@Name"/></xsl:call-template>
    <xsl:text> (</xsl:text>
    <xsl:for-each select="COLUMN">
      <xsl:sort select="concat(@Ordinal_Position, @Serial_Number)" data-type="number"/>
      <xsl:if test="position() > 1">, </xsl:if>
      <xsl:call-template name="column-definition"/>
    </xsl:for-each>
    <xsl:variable name="keys">
      <xsl:for-each select="COLUMN">
        <xsl:sort select="@Key_Position" data-type="number"/>
        <xsl:sort select="concat(@Ordinal_Position, @Serial_Number)" data-type="number"/>
        <xsl:variable name="k"><xsl:call-template name="is-key-column"/></xsl:variable>
        <xsl:if test="$k = '1'">
          <xsl:text>, </xsl:text>
          <xsl:call-template name="quote">
            <xsl:with-param name="name"><xsl:call-template name="column-name"/></xsl:with-param>
          </xsl:call-template>
        </xsl:if>
      </xsl:for-each>
    </xsl:variable>
    <xsl:if test="$keys != ''">
      <xsl:text>, CONSTRAINT </xsl:text>
      <xsl:call-template name="quote">
        <xsl:with-param name="name"><xsl:call-template name="key-name"/></xsl:with-param>
      </xsl:call-template>
      <xsl:text> PRIMARY KEY (</xsl:text>
      <xsl:value-of select="substring($keys, 3)"/>
      <xsl:text>)</xsl:text>
    </xsl:if>
    <!-- The engine's own check clauses, each once (a check on several columns is on each). -->
    <xsl:if test="$engine = 'others' and not($apart)">
      <xsl:for-each select="COLUMN[normalize-space(@Check_Constraint) != '']">
        <xsl:if test="not(preceding-sibling::COLUMN[@Check_Constraint = current()/@Check_Constraint])">
          <xsl:text>, </xsl:text>
          <xsl:if test="string(@Check_Name) != ''">
            <xsl:text>CONSTRAINT </xsl:text>
            <xsl:call-template name="quote"><xsl:with-param name="name" select="@Check_Name"/></xsl:call-template>
            <xsl:text> </xsl:text>
          </xsl:if>
          <xsl:text>CHECK (</xsl:text>
          <xsl:call-template name="engine-text"><xsl:with-param name="s" select="@Check_Constraint"/></xsl:call-template>
          <xsl:text>)</xsl:text>
        </xsl:if>
      </xsl:for-each>
    </xsl:if>
    <xsl:if test="$inline-keys">
      <xsl:for-each select="INDEX[starts-with(@Name, 'sqlite_autoindex_')]">
        <xsl:sort select="substring(@Name, string-length(concat('sqlite_autoindex_', ../@Name, '_')) + 1)" data-type="number"/>
        <xsl:variable name="key"><xsl:call-template name="is-key-index"/></xsl:variable>
        <xsl:if test="$key != '1'">
          <xsl:text>, UNIQUE (</xsl:text>
          <xsl:call-template name="index-members"/>
          <xsl:text>)</xsl:text>
        </xsl:if>
      </xsl:for-each>
      <xsl:for-each select="key('fk-from', @Name)">
        <xsl:variable name="k" select="concat(@Name, '|', @Foreign_Key_Table, '|', @Primary_Key_Table, '|', ../@Name, '|',
                                       generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()]))"/>
        <xsl:if test="generate-id() = generate-id(key('fk', $k)[1])">
          <xsl:text>, </xsl:text>
          <xsl:call-template name="fk-clause">
            <xsl:with-param name="pairs" select="key('fk', $k)"/>
          </xsl:call-template>
        </xsl:if>
      </xsl:for-each>
    </xsl:if>
    <xsl:text>);</xsl:text>
    <xsl:value-of select="$nl"/>
  </xsl:template>

  <!-- The primary key's name: its own on the engine it came from (other engines may not share
       one name between tables), else PK_ and the table's name. -->
  <xsl:template name="key-name">
    <xsl:variable name="own" select="string(COLUMN[string(@Primary_Key) != ''][1]/@Primary_Key)"/>
    <xsl:variable name="v" select="translate($own, $upper, $lower)"/>
    <xsl:choose>
      <xsl:when test="$engine = 'others' and $own != '' and $v != 'yes' and $v != 'true' and $v != '1'">
        <xsl:value-of select="$own"/>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="concat('PK_', @Name)"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="column-definition">
    <xsl:call-template name="quote">
      <xsl:with-param name="name"><xsl:call-template name="column-name"/></xsl:with-param>
    </xsl:call-template>
    <xsl:text> </xsl:text>
    <!-- The default as the reader gave it, blanks and line breaks kept. -->
    <xsl:variable name="d">
      <xsl:choose>
        <xsl:when test="$engine = 'others'"><xsl:value-of select="@Column_Default"/></xsl:when>
        <xsl:otherwise><xsl:call-template name="trim"><xsl:with-param name="s" select="@Column_Default"/></xsl:call-template></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <!-- A PostgreSQL serial column, where the reader did not say which sequence the column owns:
       its sequence comes with the type, not from the default. -->
    <xsl:variable name="serial" select="$engine = 'others' and starts-with($d, 'nextval(') and not(@Owned_Sequence)"/>
    <xsl:choose>
      <xsl:when test="$serial">
        <xsl:variable name="t" select="translate(@Datatype, $upper, $lower)"/>
        <xsl:choose>
          <xsl:when test="$t = 'int8' or $t = 'bigint'">bigserial</xsl:when>
          <xsl:when test="$t = 'int2' or $t = 'smallint'">smallserial</xsl:when>
          <xsl:otherwise>serial</xsl:otherwise>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$engine = 'others' and (@Enum_Labels or @Domain_Type)">
        <xsl:call-template name="user-type"/>
        <xsl:if test="substring(@Datatype, string-length(@Datatype) - 1) = '[]'">[]</xsl:if>
      </xsl:when>
      <xsl:otherwise><xsl:call-template name="column-type"/></xsl:otherwise>
    </xsl:choose>
    <!-- An identity or generated column: the reader's clause, in the engine's own text. MariaDB's
         AUTO_INCREMENT (a default of that text in structures read before it was a fact of its own). -->
    <xsl:variable name="generated" select="$engine = 'others' and (starts-with($d, 'GENERATED ') or $d = 'AUTO_INCREMENT')"/>
    <xsl:if test="$generated">
      <xsl:text> </xsl:text>
      <xsl:call-template name="engine-text"><xsl:with-param name="s" select="$d"/></xsl:call-template>
    </xsl:if>
    <xsl:if test="$engine = 'others' and @Auto_Increment = 'True' and not($generated)"> AUTO_INCREMENT</xsl:if>
    <xsl:variable name="own"><xsl:call-template name="default-apart"/></xsl:variable>
    <xsl:if test="normalize-space($d) != '' and not($serial) and not($generated) and $own != '1'">
      <xsl:text> DEFAULT </xsl:text>
      <xsl:call-template name="default-value"><xsl:with-param name="d" select="$d"/></xsl:call-template>
    </xsl:if>
    <xsl:variable name="n" select="translate(@Null_Allowed, $upper, $lower)"/>
    <xsl:if test="$n = 'false' or $n = 'no' or $n = '0'"> NOT NULL</xsl:if>
  </xsl:template>

  <!-- "1" where the column's default goes into a statement of its own: one that
       calls a function, but for a sequence's (the script makes the sequence first) and a
       generated column's expression. -->
  <xsl:template name="default-apart">
    <xsl:variable name="d" select="normalize-space(@Column_Default)"/>
    <xsl:if test="$defaults-apart and contains($d, '(') and not(starts-with($d, 'nextval(')) and not(starts-with($d, 'GENERATED '))">1</xsl:if>
  </xsl:template>

  <!-- The enumeration or domain a column is of, or an array of, quoted. -->
  <xsl:template name="user-type">
    <xsl:call-template name="quote">
      <xsl:with-param name="name" select="substring(@Datatype, 1, string-length(@Datatype) - 2 * (substring(@Datatype, string-length(@Datatype) - 1) = '[]'))"/>
    </xsl:call-template>
  </xsl:template>

  <!-- "1" where a domain's default goes into a statement of its own, as a column's does. -->
  <xsl:template name="domain-default-apart">
    <xsl:variable name="d" select="normalize-space(@Domain_Default)"/>
    <xsl:if test="$defaults-apart and contains($d, '(') and not(starts-with($d, 'nextval('))">1</xsl:if>
  </xsl:template>

  <!-- ALTER DOMAIN ... ADD for each of a domain's constraints: the reader joins them with a
       blank, each "[CONSTRAINT name] CHECK (...)" with NOT VALID perhaps after it. -->
  <xsl:template name="domain-checks">
    <xsl:param name="domain"/>
    <xsl:param name="s"/>
    <!-- the length of the first constraint: up to the earliest next one, else all -->
    <xsl:variable name="a" select="string-length(substring-before(concat($s, ') CONSTRAINT '), ') CONSTRAINT ')) + 1"/>
    <xsl:variable name="b" select="string-length(substring-before(concat($s, ') CHECK ('), ') CHECK (')) + 1"/>
    <xsl:variable name="c" select="string-length(substring-before(concat($s, ' VALID CONSTRAINT '), ' VALID CONSTRAINT ')) + 6"/>
    <xsl:variable name="d" select="string-length(substring-before(concat($s, ' VALID CHECK ('), ' VALID CHECK (')) + 6"/>
    <xsl:variable name="ab" select="$a * number($a &lt;= $b) + $b * number($a > $b)"/>
    <xsl:variable name="cd" select="$c * number($c &lt;= $d) + $d * number($c > $d)"/>
    <xsl:variable name="cut" select="$ab * number($ab &lt;= $cd) + $cd * number($ab > $cd)"/>
    <xsl:value-of select="concat('ALTER DOMAIN ', $domain, ' ADD ')"/>
    <xsl:call-template name="engine-text"><xsl:with-param name="s" select="substring($s, 1, $cut)"/></xsl:call-template>
    <xsl:value-of select="concat(';', $nl)"/>
    <xsl:if test="$cut &lt; string-length($s)">
      <xsl:call-template name="domain-checks">
        <xsl:with-param name="domain" select="$domain"/>
        <xsl:with-param name="s" select="substring($s, $cut + 2)"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- A default as the script writes it: the engine's own text for OTHERS, else a literal, its
       text as engine-text writes it. -->
  <xsl:template name="default-value">
    <xsl:param name="d"/>
    <xsl:choose>
      <!-- The engine's own expression, for a script that runs on that engine. SQLite's catalogue
           shows one without the parentheses it takes it in: all but a single name get them. -->
      <xsl:when test="$engine = 'others' and $dialect = 'sqlite'">
        <xsl:variable name="q" select="substring($d, 1, 1)"/>
        <xsl:variable name="end">
          <xsl:if test="$q = '&quot;' or $q = '`'">
            <xsl:call-template name="closing">
              <xsl:with-param name="s" select="substring($d, 2)"/>
              <xsl:with-param name="q" select="$q"/>
            </xsl:call-template>
          </xsl:if>
        </xsl:variable>
        <xsl:choose>
          <xsl:when test="translate($d, concat($upper, $lower, '0123456789_'), '') = '' or $end = string-length($d) - 1
                          or ($q = '[' and string-length(substring-before($d, ']')) = string-length($d) - 1)">
            <xsl:value-of select="$d"/>
          </xsl:when>
          <xsl:otherwise><xsl:value-of select="concat('(', $d, ')')"/></xsl:otherwise>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="$engine = 'others'">
        <xsl:call-template name="engine-text"><xsl:with-param name="s" select="$d"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="engine-text">
          <xsl:with-param name="s"><xsl:call-template name="literal-default"><xsl:with-param name="d" select="$d"/></xsl:call-template></xsl:with-param>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Numbers, quoted text and bracketed expressions stay as they are; DAO's "text" becomes
       'text'; anything else is taken as text. -->
  <xsl:template name="literal-default">
    <xsl:param name="d"/>
    <xsl:variable name="last" select="substring($d, string-length($d))"/>
    <xsl:choose>
      <xsl:when test="string(number($d)) != 'NaN'"><xsl:value-of select="$d"/></xsl:when>
      <xsl:when test="starts-with($d, &quot;'&quot;) and $last = &quot;'&quot; and string-length($d) > 1">
        <xsl:value-of select="$d"/>
      </xsl:when>
      <xsl:when test="starts-with($d, '(') and $last = ')' and not(contains($d, ';'))"><xsl:value-of select="$d"/></xsl:when>
      <xsl:when test="contains('|CURRENT_TIMESTAMP|CURRENT_DATE|CURRENT_TIME|CURRENT_USER|NULL|SYSDATE|',
                               concat('|', translate($d, $lower, $upper), '|'))">
        <xsl:value-of select="$d"/>
      </xsl:when>
      <!-- a function call such as getdate() or Now() -->
      <xsl:when test="$last = ')' and contains($d, '(') and not(contains($d, ';')) and not(contains($d, &quot;'&quot;))
                      and translate(substring-before($d, '('), 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_.', '') = ''">
        <xsl:value-of select="$d"/>
      </xsl:when>
      <xsl:when test="starts-with($d, '&quot;') and $last = '&quot;' and string-length($d) > 1">
        <xsl:call-template name="string-literal">
          <xsl:with-param name="text" select="substring($d, 2, string-length($d) - 2)"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="string-literal"><xsl:with-param name="text" select="$d"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="string-literal">
    <xsl:param name="text"/>
    <xsl:text>'</xsl:text>
    <xsl:call-template name="replace">
      <xsl:with-param name="text" select="$text"/>
      <xsl:with-param name="from" select="&quot;'&quot;"/>
      <xsl:with-param name="to" select="&quot;''&quot;"/>
    </xsl:call-template>
    <xsl:text>'</xsl:text>
  </xsl:template>

  <!-- ===== types ===== -->

  <xsl:template name="column-type">
    <xsl:variable name="raw">
      <xsl:choose>
        <xsl:when test="@Data_Type"><xsl:value-of select="@Data_Type"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="@Datatype"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="size">
      <xsl:choose>
        <xsl:when test="string(@Precision) != ''"><xsl:value-of select="@Precision"/></xsl:when>
        <xsl:otherwise><xsl:value-of select="@Length"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="t" select="normalize-space(translate($raw, $upper, $lower))"/>
    <xsl:variable name="n">
      <xsl:choose>
        <xsl:when test="string(number($size)) != 'NaN' and number($size) > 0"><xsl:value-of select="number($size)"/></xsl:when>
        <xsl:otherwise>0</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="kind">
      <xsl:choose>
        <xsl:when test="$t = 'autonumber' or $t = 'counter' or $t = 'serial' or contains($t, 'identity')">counter</xsl:when>
        <xsl:when test="($t = 'integer' or $t = 'int') and $n = 2">smallint</xsl:when>
        <xsl:when test="$t = 'long integer' or $t = 'long' or $t = 'int' or $t = 'integer' or $t = 'int4' or $t = 'mediumint'">int</xsl:when>
        <xsl:when test="$t = 'smallint' or $t = 'short' or $t = 'int2'">smallint</xsl:when>
        <xsl:when test="$t = 'byte' or $t = 'tinyint' or $t = 'unsigned tinyint'">tinyint</xsl:when>
        <xsl:when test="$t = 'bigint' or $t = 'int8' or $t = 'big integer'">bigint</xsl:when>
        <xsl:when test="$t = 'bit' or $t = 'yes/no' or $t = 'yesno' or $t = 'boolean' or $t = 'bool' or $t = 'logical'">bit</xsl:when>
        <xsl:when test="$t = 'decimal' or $t = 'numeric' or $t = 'number' or $t = 'dec'">decimal</xsl:when>
        <xsl:when test="$t = 'currency' or $t = 'money' or $t = 'smallmoney'">money</xsl:when>
        <xsl:when test="$t = 'double' or $t = 'float' or $t = 'double precision' or $t = 'float8'">float</xsl:when>
        <xsl:when test="$t = 'single' or $t = 'real' or $t = 'float4'">real</xsl:when>
        <xsl:when test="$t = 'date/time' or $t = 'datetime' or $t = 'smalldatetime' or $t = 'datetime2' or $t = 'timestamp without time zone' or ($t = 'timestamp' and $engine != 'sqlserver' and $engine != 'sqlserver65')">datetime</xsl:when>
        <xsl:when test="$t = 'date'">date</xsl:when>
        <xsl:when test="$t = 'time'">time</xsl:when>
        <xsl:when test="$t = 'text' and $raw = 'Text' and @Data_Type and $n > 0">varchar</xsl:when>
        <xsl:when test="$t = 'char' or $t = 'character' or $t = 'bpchar'">char</xsl:when>
        <xsl:when test="$t = 'nchar' or $t = 'national character'">nchar</xsl:when>
        <xsl:when test="$t = 'varchar' or $t = 'character varying' or $t = 'varchar2'">varchar</xsl:when>
        <xsl:when test="$t = 'nvarchar' or $t = 'national character varying' or $t = 'nvarchar2'">nvarchar</xsl:when>
        <xsl:when test="$t = 'ntext' or $t = 'nclob'">nlongtext</xsl:when>
        <xsl:when test="$t = 'text' or $t = 'memo' or $t = 'longtext' or $t = 'mediumtext' or $t = 'clob' or $t = 'long varchar' or $t = 'hyperlink'">longtext</xsl:when>
        <xsl:when test="$t = 'binary'">binary</xsl:when>
        <xsl:when test="$t = 'varbinary' or $t = 'raw'">varbinary</xsl:when>
        <xsl:when test="$t = 'image' or $t = 'blob' or $t = 'longblob' or $t = 'ole object' or $t = 'longbinary' or $t = 'long raw' or $t = 'bytea'">blob</xsl:when>
        <xsl:when test="$t = 'uniqueidentifier' or $t = 'guid' or $t = 'replication id' or $t = 'uuid'">guid</xsl:when>
        <xsl:otherwise>other</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="scale">
      <xsl:choose>
        <xsl:when test="string(number(@Scale)) != 'NaN'"><xsl:value-of select="number(@Scale)"/></xsl:when>
        <xsl:when test="string(number(@Numeric_Scale)) != 'NaN'"><xsl:value-of select="number(@Numeric_Scale)"/></xsl:when>
        <xsl:otherwise>0</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:call-template name="engine-type">
      <xsl:with-param name="kind" select="$kind"/>
      <xsl:with-param name="n" select="number($n)"/>
      <xsl:with-param name="scale" select="number($scale)"/>
      <xsl:with-param name="raw" select="$raw"/>
    </xsl:call-template>
  </xsl:template>

  <!-- A type this sheet does not know is written as the reader gave it, letters, digits,
       blanks and underscores only. -->
  <xsl:template name="other-type">
    <xsl:param name="raw"/>
    <xsl:variable name="bad" select="translate($raw, 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 _', '')"/>
    <xsl:variable name="clean" select="normalize-space(translate($raw, $bad, ''))"/>
    <xsl:choose>
      <xsl:when test="$clean != ''"><xsl:value-of select="$clean"/></xsl:when>
      <xsl:otherwise>VARCHAR(255)</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- "(n)" with n, or the default when the reader gave no size -->
  <xsl:template name="size">
    <xsl:param name="n"/>
    <xsl:param name="default" select="255"/>
    <xsl:text>(</xsl:text>
    <xsl:choose>
      <xsl:when test="$n > 0"><xsl:value-of select="$n"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$default"/></xsl:otherwise>
    </xsl:choose>
    <xsl:text>)</xsl:text>
  </xsl:template>

  <xsl:template name="precision">
    <xsl:param name="n"/>
    <xsl:param name="scale"/>
    <xsl:param name="max" select="38"/>
    <xsl:variable name="p">
      <xsl:choose>
        <xsl:when test="$n > $max"><xsl:value-of select="$max"/></xsl:when>
        <xsl:when test="$n > 0"><xsl:value-of select="$n"/></xsl:when>
        <xsl:otherwise>18</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:value-of select="concat('(', $p, ',')"/>
    <xsl:choose>
      <xsl:when test="$scale > $p"><xsl:value-of select="$p"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$scale"/></xsl:otherwise>
    </xsl:choose>
    <xsl:text>)</xsl:text>
  </xsl:template>

  <!-- ===== indexes ===== -->

  <!-- "1:a,1:b," (each name's length, ":", the name and ",") for the key columns of the table in
       context: in key order, or with ordered false in column order. -->
  <xsl:template name="key-columns">
    <xsl:param name="ordered" select="true()"/>
    <xsl:for-each select="COLUMN">
      <xsl:sort select="@Key_Position[$ordered]" data-type="number"/>
      <xsl:sort select="concat(@Ordinal_Position, @Serial_Number)" data-type="number"/>
      <xsl:variable name="k"><xsl:call-template name="is-key-column"/></xsl:variable>
      <xsl:if test="$k = '1'">
        <xsl:variable name="c"><xsl:call-template name="column-name"/></xsl:variable>
        <xsl:value-of select="concat(string-length($c), ':', $c, ',')"/>
      </xsl:if>
    </xsl:for-each>
  </xsl:template>

  <!-- The same for the index in context; an expression or a prefix is marked apart. -->
  <xsl:template name="index-columns">
    <xsl:choose>
      <xsl:when test="COLUMN">
        <xsl:for-each select="COLUMN">
          <xsl:variable name="c"><xsl:call-template name="column-name"/></xsl:variable>
          <xsl:choose>
            <xsl:when test="@Expression"><xsl:value-of select="concat('(', @Expression, '),')"/></xsl:when>
            <xsl:when test="string(@Prefix_Length) != ''"><xsl:value-of select="concat('(', @Prefix_Length, ':', $c, '),')"/></xsl:when>
            <xsl:otherwise><xsl:value-of select="concat(string-length($c), ':', $c, ',')"/></xsl:otherwise>
          </xsl:choose>
        </xsl:for-each>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="quote-list">
          <xsl:with-param name="list" select="@Column_Name"/>
          <xsl:with-param name="counted" select="true()"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The members of the index in context, each quoted as it is: a column (MariaDB's prefix
       length after it), or an expression as the engine wrote it. -->
  <xsl:template name="index-members">
    <xsl:choose>
      <xsl:when test="COLUMN">
        <xsl:for-each select="COLUMN">
          <xsl:if test="position() > 1">, </xsl:if>
          <xsl:choose>
            <xsl:when test="@Expression">
              <xsl:call-template name="engine-text"><xsl:with-param name="s" select="@Expression"/></xsl:call-template>
            </xsl:when>
            <xsl:otherwise>
              <xsl:call-template name="quote">
                <xsl:with-param name="name"><xsl:call-template name="column-name"/></xsl:with-param>
              </xsl:call-template>
            </xsl:otherwise>
          </xsl:choose>
          <xsl:if test="string(@Prefix_Length) != ''"><xsl:value-of select="concat('(', @Prefix_Length, ')')"/></xsl:if>
          <xsl:if test="@Sort_Order = 'Descending'"> DESC</xsl:if>
        </xsl:for-each>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="quote-list"><xsl:with-param name="list" select="@Column_Name"/></xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- "1" when the index in context is the key's own (it comes with the table): flagged as the
       key, or over the key's columns and all rows (a unique index named as the key but over
       other columns is a rule of its own). -->
  <xsl:template name="is-key-index">
    <xsl:variable name="columns"><xsl:call-template name="index-columns"/></xsl:variable>
    <xsl:variable name="primary" select="translate(@Primary_Key, $upper, $lower)"/>
    <xsl:variable name="keyOrder"><xsl:for-each select=".."><xsl:call-template name="key-columns"/></xsl:for-each></xsl:variable>
    <xsl:variable name="keyColumns">
      <xsl:for-each select="..">
        <xsl:call-template name="key-columns"><xsl:with-param name="ordered" select="false()"/></xsl:call-template>
      </xsl:for-each>
    </xsl:variable>
    <xsl:if test="$primary = 'yes' or $primary = 'true' or $primary = '1'
                  or ($keyOrder != '' and ($columns = $keyColumns or $columns = $keyOrder) and string(@Condition) = '')">1</xsl:if>
  </xsl:template>

  <xsl:template match="TABLE" mode="indexes">
    <xsl:for-each select="INDEX">
      <xsl:variable name="columns"><xsl:call-template name="index-columns"/></xsl:variable>
      <xsl:variable name="key"><xsl:call-template name="is-key-index"/></xsl:variable>
      <!-- An expression, a prefix, a condition or NULLs held equal are the source engine's own
           (INCLUDE columns take no part in what the index allows: elsewhere they are left out). -->
      <xsl:variable name="own" select="string(@Condition) != '' or @Nulls_Not_Distinct = 'True' or COLUMN[@Expression or string(@Prefix_Length) != '']"/>
      <xsl:choose>
        <xsl:when test="$own and $engine != 'others'">
          <xsl:text>-- Index </xsl:text>
          <xsl:call-template name="quote"><xsl:with-param name="name" select="@Name"/></xsl:call-template>
          <xsl:value-of select="concat(' left out: it has an expression, a prefix, a condition or NULLs held equal of the source engine.', $nl)"/>
        </xsl:when>
        <!-- SQLite's UNIQUE constraints come with the table where it takes them there. -->
        <xsl:when test="$columns != '' and $key != '1' and not($inline-keys and starts-with(@Name, 'sqlite_autoindex_'))">
          <xsl:variable name="unique" select="translate(@Unique, $upper, $lower)"/>
          <xsl:text>CREATE </xsl:text>
          <xsl:if test="(not(@Unique) and not(@Index_Type)) or $unique = 'yes' or $unique = 'true' or $unique = '1'">UNIQUE </xsl:if>
          <xsl:text>INDEX </xsl:text>
          <xsl:call-template name="quote">
            <xsl:with-param name="name">
              <xsl:choose>
                <!-- SQLite's names for its UNIQUE constraints are reserved to it. -->
                <xsl:when test="starts-with(@Name, 'sqlite_autoindex')">
                  <xsl:value-of select="concat('UX_', ../@Name, '_', count(preceding-sibling::INDEX) + 1)"/>
                </xsl:when>
                <xsl:otherwise><xsl:value-of select="@Name"/></xsl:otherwise>
              </xsl:choose>
            </xsl:with-param>
          </xsl:call-template>
          <xsl:text> ON </xsl:text>
          <xsl:call-template name="quote"><xsl:with-param name="name" select="../@Name"/></xsl:call-template>
          <xsl:text> (</xsl:text>
          <xsl:call-template name="index-members"/>
          <xsl:text>)</xsl:text>
          <xsl:if test="$engine = 'others' and string(@Included) != ''">
            <xsl:text> INCLUDE (</xsl:text>
            <xsl:call-template name="engine-text"><xsl:with-param name="s" select="@Included"/></xsl:call-template>
            <xsl:text>)</xsl:text>
          </xsl:if>
          <xsl:if test="@Nulls_Not_Distinct = 'True'"> NULLS NOT DISTINCT</xsl:if>
          <xsl:if test="string(@Condition) != ''">
            <xsl:text> WHERE </xsl:text>
            <xsl:call-template name="engine-text"><xsl:with-param name="s" select="@Condition"/></xsl:call-template>
          </xsl:if>
          <xsl:text>;</xsl:text>
          <xsl:value-of select="$nl"/>
        </xsl:when>
      </xsl:choose>
    </xsl:for-each>
  </xsl:template>

  <!-- ===== foreign keys ===== -->

  <!-- For the table in context, the referenced columns of each foreign key to it ("1:a,1:b,")
       that neither the primary key nor any index has as its leading columns, each column list
       once: an index on them. -->
  <xsl:template match="TABLE" mode="key-indexes">
    <xsl:variable name="table" select="@Name"/>
    <xsl:variable name="covering">
      <xsl:text>|</xsl:text>
      <xsl:call-template name="key-columns"/>
      <xsl:text>|</xsl:text>
      <xsl:for-each select="INDEX">
        <xsl:call-template name="index-columns"/>
        <xsl:text>|</xsl:text>
      </xsl:for-each>
    </xsl:variable>
    <xsl:variable name="lists">
      <xsl:for-each select="key('fk-to', @Name)">
        <xsl:variable name="k" select="concat(@Name, '|', @Foreign_Key_Table, '|', @Primary_Key_Table, '|', ../@Name, '|',
                                       generate-id((preceding-sibling::FOREIGNKEY[@Ordinal = 1][1] | self::FOREIGNKEY[@Ordinal = 1])[last()]))"/>
        <xsl:if test="generate-id() = generate-id(key('fk', $k)[1])">
          <xsl:variable name="list">
            <xsl:for-each select="key('fk', $k)">
              <xsl:value-of select="concat(string-length(@Primary_Key_Column), ':', @Primary_Key_Column, ',')"/>
            </xsl:for-each>
          </xsl:variable>
          <xsl:if test="not(contains($covering, concat('|', $list)))">
            <xsl:value-of select="concat(string-length($list), '=', $list)"/>
          </xsl:if>
        </xsl:if>
      </xsl:for-each>
    </xsl:variable>
    <xsl:call-template name="key-index">
      <xsl:with-param name="table" select="$table"/>
      <xsl:with-param name="lists" select="string($lists)"/>
    </xsl:call-template>
  </xsl:template>

  <!-- ALTER TABLE ... ADD INDEX for the first of "8=1:a,1:b,4=1:c,...", each list after its
       length, then the rest without it -->
  <xsl:template name="key-index">
    <xsl:param name="table"/>
    <xsl:param name="lists"/>
    <xsl:param name="done" select="''"/>
    <xsl:if test="$lists != ''">
      <xsl:variable name="n" select="number(substring-before($lists, '='))"/>
      <xsl:variable name="list" select="substring(substring-after($lists, '='), 1, $n)"/>
      <xsl:variable name="entry" select="concat($n, '=', $list)"/>
      <xsl:if test="not(contains($done, $entry))">
        <xsl:text>ALTER TABLE </xsl:text>
        <xsl:call-template name="quote"><xsl:with-param name="name" select="$table"/></xsl:call-template>
        <xsl:text> ADD INDEX (</xsl:text>
        <xsl:call-template name="quote-counted"><xsl:with-param name="list" select="$list"/></xsl:call-template>
        <xsl:value-of select="concat(');', $nl)"/>
      </xsl:if>
      <xsl:call-template name="key-index">
        <xsl:with-param name="table" select="$table"/>
        <xsl:with-param name="lists" select="substring(substring-after($lists, '='), $n + 1)"/>
        <xsl:with-param name="done" select="concat($done, $entry)"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <xsl:template name="fk-referencing">
    <xsl:param name="fk"/>
    <xsl:choose>
      <xsl:when test="string($fk/@Foreign_Key_Table) != ''"><xsl:value-of select="$fk/@Foreign_Key_Table"/></xsl:when>
      <xsl:when test="not($fk/@Related_Column)"><xsl:value-of select="$fk/../@Name"/></xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="fk-referenced">
    <xsl:param name="fk"/>
    <xsl:choose>
      <xsl:when test="string($fk/@Primary_Key_Table) != ''"><xsl:value-of select="$fk/@Primary_Key_Table"/></xsl:when>
      <xsl:when test="$fk/@Related_Column"><xsl:value-of select="$fk/../@Name"/></xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="foreign-key">
    <xsl:param name="pairs"/>
    <xsl:param name="number"/>
    <xsl:variable name="first" select="$pairs[1]"/>
    <xsl:variable name="from">
      <xsl:call-template name="fk-referencing"><xsl:with-param name="fk" select="$first"/></xsl:call-template>
    </xsl:variable>
    <xsl:variable name="to">
      <xsl:call-template name="fk-referenced"><xsl:with-param name="fk" select="$first"/></xsl:call-template>
    </xsl:variable>
    <xsl:if test="$from != '' and $to != ''">
      <xsl:text>ALTER TABLE </xsl:text>
      <xsl:call-template name="quote"><xsl:with-param name="name" select="$from"/></xsl:call-template>
      <xsl:text> ADD </xsl:text>
      <xsl:call-template name="fk-clause">
        <xsl:with-param name="pairs" select="$pairs"/>
        <xsl:with-param name="name">
          <xsl:choose>
            <xsl:when test="string($first/@Name) != ''"><xsl:value-of select="$first/@Name"/></xsl:when>
            <xsl:otherwise><xsl:value-of select="concat('FK_', $from, '_', $number)"/></xsl:otherwise>
          </xsl:choose>
        </xsl:with-param>
      </xsl:call-template>
      <xsl:text>;</xsl:text>
      <xsl:value-of select="$nl"/>
    </xsl:if>
  </xsl:template>

  <!-- [CONSTRAINT name] FOREIGN KEY (...) REFERENCES table (...) with its actions -->
  <xsl:template name="fk-clause">
    <xsl:param name="pairs"/>
    <xsl:param name="name" select="$pairs[1]/@Name"/>
    <xsl:variable name="first" select="$pairs[1]"/>
    <xsl:variable name="to">
      <xsl:call-template name="fk-referenced"><xsl:with-param name="fk" select="$first"/></xsl:call-template>
    </xsl:variable>
    <xsl:if test="string($name) != ''">
      <xsl:text>CONSTRAINT </xsl:text>
      <xsl:call-template name="quote"><xsl:with-param name="name" select="$name"/></xsl:call-template>
      <xsl:text> </xsl:text>
    </xsl:if>
    <xsl:text>FOREIGN KEY (</xsl:text>
    <xsl:for-each select="$pairs">
      <xsl:if test="position() > 1">, </xsl:if>
      <xsl:call-template name="quote">
        <xsl:with-param name="name">
          <xsl:choose>
            <xsl:when test="@Foreign_Key_Column"><xsl:value-of select="@Foreign_Key_Column"/></xsl:when>
            <xsl:otherwise><xsl:value-of select="@Related_Column"/></xsl:otherwise>
          </xsl:choose>
        </xsl:with-param>
      </xsl:call-template>
    </xsl:for-each>
    <xsl:text>) REFERENCES </xsl:text>
    <xsl:call-template name="quote"><xsl:with-param name="name" select="$to"/></xsl:call-template>
    <xsl:text> (</xsl:text>
    <xsl:for-each select="$pairs">
      <xsl:if test="position() > 1">, </xsl:if>
      <xsl:call-template name="quote"><xsl:with-param name="name" select="@Primary_Key_Column"/></xsl:call-template>
    </xsl:for-each>
    <xsl:text>)</xsl:text>
    <xsl:call-template name="fk-rules">
      <xsl:with-param name="update" select="translate(normalize-space($first/@Update_Rule), $lower, $upper)"/>
      <xsl:with-param name="delete" select="translate(normalize-space($first/@Delete_Rule), $lower, $upper)"/>
    </xsl:call-template>
  </xsl:template>

  <!-- Referential actions each engine accepts. -->
  <xsl:template name="fk-rules">
    <xsl:param name="update"/>
    <xsl:param name="delete"/>
    <xsl:choose>
      <xsl:when test="$engine = 'sqlserver'">
        <xsl:if test="$delete = 'CASCADE'"> ON DELETE CASCADE</xsl:if>
        <xsl:if test="$update = 'CASCADE'"> ON UPDATE CASCADE</xsl:if>
      </xsl:when>
      <xsl:when test="$engine = 'oracle'">
        <xsl:if test="$delete = 'CASCADE'"> ON DELETE CASCADE</xsl:if>
        <xsl:if test="$delete = 'SET NULL' or $delete = 'SETNULL'"> ON DELETE SET NULL</xsl:if>
      </xsl:when>
      <xsl:when test="$engine = 'others'">
        <xsl:if test="$delete = 'CASCADE' or $delete = 'SET NULL' or $delete = 'SET DEFAULT' or $delete = 'RESTRICT'">
          <xsl:value-of select="concat(' ON DELETE ', $delete)"/>
        </xsl:if>
        <xsl:if test="$update = 'CASCADE' or $update = 'SET NULL' or $update = 'SET DEFAULT' or $update = 'RESTRICT'">
          <xsl:value-of select="concat(' ON UPDATE ', $update)"/>
        </xsl:if>
      </xsl:when>
      <xsl:when test="$engine = 'db2'">
        <xsl:if test="$delete = 'CASCADE'"> ON DELETE CASCADE</xsl:if>
        <xsl:if test="$delete = 'SET NULL' or $delete = 'SETNULL'"> ON DELETE SET NULL</xsl:if>
        <xsl:if test="$delete = 'RESTRICT'"> ON DELETE RESTRICT</xsl:if>
        <xsl:if test="$update = 'RESTRICT'"> ON UPDATE RESTRICT</xsl:if>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- ===== views and procedures: their own text ===== -->

  <!-- A saved Access query (its reader writes @Query_Type): only a select query without parameters
       is a view; any other, and one whose SQL could not be rebuilt, is named in a comment line. -->
  <xsl:template match="VIEW[@Query_Type]">
    <xsl:variable name="sql" select="normalize-space(SQLSCRIPT)"/>
    <xsl:variable name="why">
      <xsl:choose>
        <xsl:when test="starts-with($sql, '--')">its SQL text cannot be rebuilt from the file</xsl:when>
        <xsl:when test="@Query_Type != 'Select'">
          <xsl:value-of select="concat('not a select query (', @Query_Type, ')')"/>
        </xsl:when>
        <xsl:when test="starts-with(translate(substring($sql, 1, 10), $lower, $upper), 'PARAMETERS')">a query with parameters is not a view</xsl:when>
      </xsl:choose>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="$why != ''">
        <xsl:text>-- Query </xsl:text>
        <xsl:call-template name="quote"><xsl:with-param name="name" select="@Name"/></xsl:call-template>
        <xsl:value-of select="concat(' left out: ', $why, '.', $nl)"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="view"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="VIEW" name="view">
    <xsl:variable name="sql" select="normalize-space(SQLSCRIPT)"/>
    <xsl:if test="$sql != ''">
      <xsl:if test="not(starts-with(translate(substring($sql, 1, 6), $upper, $lower), 'create'))">
        <xsl:text>CREATE VIEW </xsl:text>
        <xsl:call-template name="quote"><xsl:with-param name="name" select="@Name"/></xsl:call-template>
        <xsl:text> AS </xsl:text>
      </xsl:if>
      <xsl:call-template name="engine-text">
        <xsl:with-param name="s" select="SQLSCRIPT"/>
        <xsl:with-param name="program" select="true()"/>
      </xsl:call-template>
      <xsl:if test="substring($sql, string-length($sql)) != ';'">;</xsl:if>
      <xsl:value-of select="$nl"/>
    </xsl:if>
  </xsl:template>

  <xsl:template match="STOREDPROCEDURE">
    <xsl:variable name="sql" select="normalize-space(PROCEDURE_TEXT)"/>
    <xsl:if test="$sql != ''">
      <xsl:value-of select="PROCEDURE_TEXT"/>
      <xsl:if test="substring($sql, string-length($sql)) != ';'">;</xsl:if>
      <xsl:value-of select="$nl"/>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>
