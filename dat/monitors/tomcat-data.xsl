<?xml version="1.0"?>
<!-- Metric data of Tomcat's manager status page: the same counters with their values. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="tomcat-status.xsl"/>
  <xsl:variable name="with-descriptions" select="false()"/>
  <xsl:variable name="with-values" select="true()"/>
</xsl:stylesheet>
