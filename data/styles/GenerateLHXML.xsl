<?xml version="1.0" encoding="UTF-8"?>
<!--
  Turns a structure document (root DATABASE) into its connection entry for the project
  document: DATABASECONNECTION with the connection's attributes and an outline of its objects
  for the folder tree and the objects bar. The importer appends the connection options.

  Keys: Name|folder|connection, followed by the positions of the outline element below the
  connection. A "|" inside a name is written as "_" so that the key parts stay in place.
  RHXPath of an outline element is the path of its object in the structure document.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" encoding="UTF-8" indent="no"/>

  <!-- Place of the entry in the project document, the connection string and the user. -->
  <xsl:param name="Group" select="/DATABASE/DBOPTIONS/MOREINFO/DATABASE/@CurrentDatabaseGroup"/>
  <xsl:param name="Connection" select="/DATABASE/DBOPTIONS/MOREINFO/DATABASE/@CurrentDatabaseNumber"/>
  <xsl:param name="ConnectionString" select="/DATABASE/DBOPTIONS/CONNECTIONSTRING/@Value"/>
  <xsl:param name="CreatedBy" select="''"/>

  <xsl:variable name="gc" select="concat('|', $Group, '|', $Connection)"/>

  <xsl:template name="keyName">
    <xsl:param name="name"/>
    <xsl:value-of select="translate($name, '|', '_')"/>
  </xsl:template>

  <!-- Name of an object: its Name attribute, else the first attribute holding a name. -->
  <xsl:template name="objectName">
    <xsl:choose>
      <xsl:when test="@Name"><xsl:value-of select="@Name"/></xsl:when>
      <xsl:when test="@NAME"><xsl:value-of select="@NAME"/></xsl:when>
      <xsl:when test="@name"><xsl:value-of select="@name"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="@*[1]"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="outlineAttributes">
    <xsl:param name="name"/>
    <xsl:param name="positions"/>
    <xsl:param name="path"/>
    <xsl:param name="image"/>
    <xsl:attribute name="Name"><xsl:value-of select="$name"/></xsl:attribute>
    <xsl:attribute name="Key">
      <xsl:call-template name="keyName"><xsl:with-param name="name" select="$name"/></xsl:call-template>
      <xsl:value-of select="concat($gc, $positions)"/>
    </xsl:attribute>
    <xsl:attribute name="RHXPath"><xsl:value-of select="$path"/></xsl:attribute>
    <xsl:attribute name="Display">1</xsl:attribute>
    <xsl:attribute name="TreeImage"><xsl:value-of select="$image"/></xsl:attribute>
    <xsl:attribute name="ContextMenu">ID_OtherNode</xsl:attribute>
  </xsl:template>

  <xsl:template match="/">
    <xsl:apply-templates select="DATABASE"/>
  </xsl:template>

  <xsl:template match="DATABASE">
    <xsl:variable name="name">
      <xsl:choose>
        <xsl:when test="string(@DatabaseName) != ''"><xsl:value-of select="@DatabaseName"/></xsl:when>
        <xsl:when test="string(DBOPTIONS/MOREINFO/DATABASE/@Name) != ''">
          <xsl:value-of select="DBOPTIONS/MOREINFO/DATABASE/@Name"/>
        </xsl:when>
        <xsl:otherwise>Database</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <DATABASECONNECTION>
      <xsl:attribute name="Name"><xsl:value-of select="$name"/></xsl:attribute>
      <xsl:attribute name="Key">
        <xsl:call-template name="keyName"><xsl:with-param name="name" select="$name"/></xsl:call-template>
        <xsl:value-of select="$gc"/>
      </xsl:attribute>
      <xsl:attribute name="RHXPath">
        <xsl:value-of select="concat('DATABASESTRUCTURES/DATABASEGROUP[', $Group, ']/DATABASECONNECTION[', $Connection, ']')"/>
      </xsl:attribute>
      <xsl:attribute name="Display">1</xsl:attribute>
      <xsl:attribute name="TreeImage">DATABASECONNECTION_OPEN</xsl:attribute>
      <xsl:attribute name="ContextMenu">ID_DatabaseNode</xsl:attribute>
      <xsl:attribute name="ConnectionString"><xsl:value-of select="$ConnectionString"/></xsl:attribute>
      <xsl:attribute name="ServerType"><xsl:value-of select="DBOPTIONS/MOREINFO/SERVER/@DBEngineCaption"/></xsl:attribute>
      <xsl:attribute name="CreatedOn"><xsl:value-of select="REPORTOPTIONS/SUMMARY[last()]/@CreatedOn"/></xsl:attribute>
      <xsl:attribute name="CreatedBy"><xsl:value-of select="$CreatedBy"/></xsl:attribute>

      <TABLES Report="1">
        <xsl:call-template name="outlineAttributes">
          <xsl:with-param name="name" select="'Tables'"/>
          <xsl:with-param name="positions" select="'|1'"/>
          <xsl:with-param name="path" select="'DATABASE/TABLE'"/>
          <xsl:with-param name="image" select="'TABLES'"/>
        </xsl:call-template>
        <xsl:apply-templates select="TABLE"/>
      </TABLES>

      <VIEWS Report="1">
        <xsl:call-template name="outlineAttributes">
          <xsl:with-param name="name" select="'Views'"/>
          <xsl:with-param name="positions" select="'|2'"/>
          <xsl:with-param name="path" select="'DATABASE/VIEW'"/>
          <xsl:with-param name="image" select="'VIEWS'"/>
        </xsl:call-template>
        <xsl:for-each select="VIEW">
          <VIEW>
            <xsl:call-template name="outlineAttributes">
              <xsl:with-param name="name"><xsl:call-template name="objectName"/></xsl:with-param>
              <xsl:with-param name="positions" select="concat('|2|', position())"/>
              <xsl:with-param name="path" select="concat('DATABASE/VIEW[', position(), ']')"/>
              <xsl:with-param name="image" select="'VIEWS'"/>
            </xsl:call-template>
          </VIEW>
        </xsl:for-each>
      </VIEWS>

      <STOREDPROCEDURES Report="1">
        <xsl:call-template name="outlineAttributes">
          <xsl:with-param name="name" select="'Stored Procedures'"/>
          <xsl:with-param name="positions" select="'|3'"/>
          <xsl:with-param name="path" select="'DATABASE/STOREDPROCEDURE'"/>
          <xsl:with-param name="image" select="'STOREDPROCEDURES'"/>
        </xsl:call-template>
        <xsl:for-each select="STOREDPROCEDURE">
          <STOREDPROCEDURE>
            <xsl:call-template name="outlineAttributes">
              <xsl:with-param name="name"><xsl:call-template name="objectName"/></xsl:with-param>
              <xsl:with-param name="positions" select="concat('|3|', position())"/>
              <xsl:with-param name="path" select="concat('DATABASE/STOREDPROCEDURE[', position(), ']')"/>
              <xsl:with-param name="image" select="'STOREDPROCEDURES'"/>
            </xsl:call-template>
          </STOREDPROCEDURE>
        </xsl:for-each>
      </STOREDPROCEDURES>

      <RELATIONSHIPDIAGRAM Report="1">
        <xsl:call-template name="outlineAttributes">
          <xsl:with-param name="name" select="'Relationship Diagram'"/>
          <xsl:with-param name="positions" select="'|4'"/>
          <xsl:with-param name="path" select="'RELATIONSHIPDIAGRAM'"/>
          <xsl:with-param name="image" select="'DIAGRAM'"/>
        </xsl:call-template>
      </RELATIONSHIPDIAGRAM>

      <xsl:copy-of select="REPORTOPTIONS[1]"/>
    </DATABASECONNECTION>
  </xsl:template>

  <xsl:template match="TABLE">
    <xsl:variable name="t" select="position()"/>
    <xsl:variable name="tablePath" select="concat('DATABASE/TABLE[', $t, ']')"/>
    <xsl:variable name="tablePositions" select="concat('|1|', $t)"/>
    <!-- Groups below a table are numbered in the order they appear. -->
    <xsl:variable name="indexGroup" select="count(INDEX[1])"/>
    <xsl:variable name="triggerGroup" select="$indexGroup + count(TRIGGER[1])"/>
    <xsl:variable name="keyGroup" select="$triggerGroup + count(FOREIGNKEY[1])"/>
    <TABLE>
      <xsl:call-template name="outlineAttributes">
        <xsl:with-param name="name"><xsl:call-template name="objectName"/></xsl:with-param>
        <xsl:with-param name="positions" select="$tablePositions"/>
        <xsl:with-param name="path" select="$tablePath"/>
        <xsl:with-param name="image" select="'TABLES'"/>
      </xsl:call-template>
      <xsl:if test="INDEX">
        <INDEXES>
          <xsl:call-template name="outlineAttributes">
            <xsl:with-param name="name" select="'Indexes'"/>
            <xsl:with-param name="positions" select="concat($tablePositions, '|', $indexGroup)"/>
            <xsl:with-param name="path" select="concat($tablePath, '/INDEX')"/>
            <xsl:with-param name="image" select="'INDEXES'"/>
          </xsl:call-template>
          <xsl:for-each select="INDEX">
            <INDEX>
              <xsl:call-template name="outlineAttributes">
                <xsl:with-param name="name"><xsl:call-template name="objectName"/></xsl:with-param>
                <xsl:with-param name="positions" select="concat($tablePositions, '|', $indexGroup, '|', position())"/>
                <xsl:with-param name="path" select="concat($tablePath, '/INDEX[', position(), ']')"/>
                <xsl:with-param name="image" select="'INDEXES'"/>
              </xsl:call-template>
            </INDEX>
          </xsl:for-each>
        </INDEXES>
      </xsl:if>
      <xsl:if test="TRIGGER">
        <TRIGGERS>
          <xsl:call-template name="outlineAttributes">
            <xsl:with-param name="name" select="'Triggers'"/>
            <xsl:with-param name="positions" select="concat($tablePositions, '|', $triggerGroup)"/>
            <xsl:with-param name="path" select="concat($tablePath, '/TRIGGER')"/>
            <xsl:with-param name="image" select="'TRIGGERS'"/>
          </xsl:call-template>
          <xsl:for-each select="TRIGGER">
            <TRIGGER>
              <xsl:call-template name="outlineAttributes">
                <xsl:with-param name="name"><xsl:call-template name="objectName"/></xsl:with-param>
                <xsl:with-param name="positions" select="concat($tablePositions, '|', $triggerGroup, '|', position())"/>
                <xsl:with-param name="path" select="concat($tablePath, '/TRIGGER[', position(), ']')"/>
                <xsl:with-param name="image" select="'TRIGGERS'"/>
              </xsl:call-template>
            </TRIGGER>
          </xsl:for-each>
        </TRIGGERS>
      </xsl:if>
      <xsl:if test="FOREIGNKEY">
        <FOREIGNKEYS>
          <xsl:call-template name="outlineAttributes">
            <xsl:with-param name="name" select="'Foreign Keys'"/>
            <xsl:with-param name="positions" select="concat($tablePositions, '|', $keyGroup)"/>
            <xsl:with-param name="path" select="concat($tablePath, '/FOREIGNKEY')"/>
            <xsl:with-param name="image" select="'FOREIGNKEYS'"/>
          </xsl:call-template>
          <xsl:for-each select="FOREIGNKEY">
            <FOREIGNKEY>
              <xsl:call-template name="outlineAttributes">
                <xsl:with-param name="name"><xsl:call-template name="objectName"/></xsl:with-param>
                <xsl:with-param name="positions" select="concat($tablePositions, '|', $keyGroup, '|', position())"/>
                <xsl:with-param name="path" select="concat($tablePath, '/FOREIGNKEY[', position(), ']')"/>
                <xsl:with-param name="image" select="'FOREIGNKEYS'"/>
              </xsl:call-template>
            </FOREIGNKEY>
          </xsl:for-each>
        </FOREIGNKEYS>
      </xsl:if>
    </TABLE>
  </xsl:template>
</xsl:stylesheet>
