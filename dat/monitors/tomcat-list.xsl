<?xml version="1.0"?>
<!-- Metric list of Tomcat's manager status page: components and counters with descriptions. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="tomcat-status.xsl"/>
  <xsl:variable name="with-descriptions" select="true()"/>
  <xsl:variable name="with-values" select="false()"/>
</xsl:stylesheet>
