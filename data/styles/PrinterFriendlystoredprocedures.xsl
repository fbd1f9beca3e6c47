<?xml version="1.0" encoding="UTF-8"?>
<!-- Printer-friendly layout: stored procedure pages. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="ReportCommon.xsl"/>
  <xsl:variable name="layout" select="'print'"/>
  <xsl:variable name="whole" select="false()"/>
  <xsl:template match="/">
    <xsl:call-template name="storedprocedures-pages"/>
  </xsl:template>
</xsl:stylesheet>
