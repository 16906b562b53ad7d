<?xml version="1.0"?>
<!-- Activation request: the counters marked enabled in the metric list. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/PerformanceMonitor">
    <ActivationRequest>
      <xsl:for-each select=".//counter[@enabled='1']">
        <counter name="{@name}" parent="{../@name}"/>
      </xsl:for-each>
    </ActivationRequest>
  </xsl:template>
</xsl:stylesheet>
