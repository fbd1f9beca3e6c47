<?xml version="1.0" encoding="UTF-8"?>
<!-- Standard layout: the whole report on one page. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:include href="ReportCommon.xsl"/>
  <xsl:variable name="layout" select="'screen'"/>
  <xsl:variable name="whole" select="true()"/>
  <xsl:template match="/">
    <xsl:call-template name="whole-report"/>
  </xsl:template>
</xsl:stylesheet>
