<?xml version="1.0" encoding="UTF-8"?>
<!-- Start page of the previews: the folders and connections of the project document.
     Each link names the key of a folder-tree node. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes"/>

  <xsl:template match="/">
    <html>
      <head>
        <title>Dalvane Database Structures</title>
        <style type="text/css">
          body { font-family: Verdana, Arial, sans-serif; font-size: 10pt; color: #1a1a1a; }
          h1 { font-size: 15pt; color: #1f3f6f; margin-bottom: 2px; }
          h2 { font-size: 12pt; color: #ffffff; background-color: #2a5db0; padding: 3px; margin-top: 14px; }
          p.created { color: #555555; font-size: 8pt; margin-top: 0px; }
          table { border-collapse: collapse; width: 100%; }
          th { background-color: #dfe7f5; text-align: left; padding: 3px; font-size: 9pt; }
          td { padding: 3px; border-bottom: 1px solid #d0d0d0; font-size: 9pt; }
          a { color: #1f3f6f; }
          p.empty { color: #555555; font-style: italic; }
        </style>
      </head>
      <body>
        <xsl:apply-templates select="DATABASESTRUCTURES"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template match="DATABASESTRUCTURES">
    <h1>Dalvane Database Structures</h1>
    <p class="created">
      <xsl:text>Project created on </xsl:text>
      <xsl:value-of select="@CreatedOn"/>
      <xsl:text> - </xsl:text>
      <xsl:value-of select="count(DATABASEGROUP)"/>
      <xsl:text> folder(s), </xsl:text>
      <xsl:value-of select="count(DATABASEGROUP/DATABASECONNECTION)"/>
      <xsl:text> database(s)</xsl:text>
    </p>
    <xsl:apply-templates select="DATABASEGROUP"/>
    <xsl:if test="not(DATABASEGROUP)">
      <p class="empty">The project has no folders yet.</p>
    </xsl:if>
  </xsl:template>

  <xsl:template match="DATABASEGROUP">
    <h2>
      <a href="{@Key}" style="color: #ffffff; text-decoration: none;">
        <xsl:value-of select="@Name"/>
      </a>
    </h2>
    <xsl:choose>
      <xsl:when test="DATABASECONNECTION">
        <table>
          <tr>
            <th>Database</th>
            <th>Engine</th>
            <th>Server</th>
            <th>Created on</th>
          </tr>
          <xsl:apply-templates select="DATABASECONNECTION"/>
        </table>
      </xsl:when>
      <xsl:otherwise>
        <p class="empty">No database has been added to this folder.</p>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="DATABASECONNECTION">
    <xsl:variable name="server" select="DBOPTIONS/MOREINFO/SERVER"/>
    <tr>
      <td><a href="{@Key}"><xsl:value-of select="@Name"/></a></td>
      <td>
        <xsl:choose>
          <xsl:when test="string($server/@DBEngineCaption)"><xsl:value-of select="$server/@DBEngineCaption"/></xsl:when>
          <xsl:otherwise><xsl:value-of select="$server/@DBEngineName"/></xsl:otherwise>
        </xsl:choose>
      </td>
      <td><xsl:value-of select="$server/@Name"/></td>
      <td><xsl:value-of select="@CreatedOn"/></td>
    </tr>
  </xsl:template>
</xsl:stylesheet>
