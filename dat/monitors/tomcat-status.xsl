<?xml version="1.0"?>
<!-- Turns the XML status page of Apache Tomcat's manager (/manager/status?XML=true) into a
     PerformanceMonitor document. tomcat-list.xsl and tomcat-data.xsl import it and choose
     whether counters carry descriptions (the metric list) or values (the metric data); both
     build the same components with the same names, so an identifier taken from the list selects
     the same counter in the data.

     Tomcat quotes its connector names inside the attribute (name="&quot;http-nio-8080&quot;").
     A quotation mark inside a name is written as "$quot;", the PerformanceMonitor way: identifiers
     then hold no quotation mark of their own, and descriptions and displayed paths show a real
     one again. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" indent="no"/>

  <!-- Overridden by the importing stylesheet. -->
  <xsl:variable name="with-descriptions" select="true()"/>
  <xsl:variable name="with-values" select="false()"/>

  <xsl:template match="/">
    <PerformanceMonitor>
      <xsl:apply-templates select="status/jvm"/>
      <xsl:if test="status/connector">
        <object class="Connectors">
          <xsl:apply-templates select="status/connector"/>
        </object>
      </xsl:if>
    </PerformanceMonitor>
  </xsl:template>

  <xsl:template match="jvm">
    <object class="JVM">
      <xsl:for-each select="memory">
        <object class="Memory">
          <xsl:call-template name="counter">
            <xsl:with-param name="name" select="'free'"/>
            <xsl:with-param name="value" select="@free"/>
            <xsl:with-param name="desc" select="'Free memory of the Java virtual machine, in bytes.'"/>
          </xsl:call-template>
          <xsl:call-template name="counter">
            <xsl:with-param name="name" select="'total'"/>
            <xsl:with-param name="value" select="@total"/>
            <xsl:with-param name="desc" select="'Memory the Java virtual machine holds, in bytes.'"/>
          </xsl:call-template>
          <xsl:call-template name="counter">
            <xsl:with-param name="name" select="'max'"/>
            <xsl:with-param name="value" select="@max"/>
            <xsl:with-param name="desc" select="'Most memory the Java virtual machine will try to use, in bytes.'"/>
          </xsl:call-template>
          <xsl:call-template name="counter">
            <xsl:with-param name="name" select="'used'"/>
            <xsl:with-param name="value" select="@total - @free"/>
            <xsl:with-param name="desc" select="'Memory in use (total minus free), in bytes.'"/>
          </xsl:call-template>
        </object>
      </xsl:for-each>
      <xsl:if test="memorypool">
        <object class="MemoryPools">
          <xsl:apply-templates select="memorypool"/>
        </object>
      </xsl:if>
    </object>
  </xsl:template>

  <xsl:template match="memorypool">
    <xsl:variable name="pool">
      <xsl:call-template name="escape-quotes"><xsl:with-param name="text" select="@name"/></xsl:call-template>
    </xsl:variable>
    <xsl:variable name="of" select="concat(' of the memory pool ', $pool, ' (', @type, '), in bytes.')"/>
    <object name="{$pool}" class="MemoryPool">
      <xsl:call-template name="counter">
        <xsl:with-param name="name" select="'usageInit'"/>
        <xsl:with-param name="value" select="@usageInit"/>
        <xsl:with-param name="desc" select="concat('Initial size', $of)"/>
      </xsl:call-template>
      <xsl:call-template name="counter">
        <xsl:with-param name="name" select="'usageCommitted'"/>
        <xsl:with-param name="value" select="@usageCommitted"/>
        <xsl:with-param name="desc" select="concat('Committed memory', $of)"/>
      </xsl:call-template>
      <xsl:call-template name="counter">
        <xsl:with-param name="name" select="'usageMax'"/>
        <xsl:with-param name="value" select="@usageMax"/>
        <xsl:with-param name="desc" select="concat('Largest size', $of)"/>
      </xsl:call-template>
      <xsl:call-template name="counter">
        <xsl:with-param name="name" select="'usageUsed'"/>
        <xsl:with-param name="value" select="@usageUsed"/>
        <xsl:with-param name="desc" select="concat('Memory in use', $of)"/>
      </xsl:call-template>
    </object>
  </xsl:template>

  <xsl:template match="connector">
    <xsl:variable name="connector">
      <xsl:call-template name="escape-quotes"><xsl:with-param name="text" select="@name"/></xsl:call-template>
    </xsl:variable>
    <xsl:variable name="of" select="concat(' (connector ', $connector, ').')"/>
    <object name="{$connector}" class="Connector">
      <xsl:for-each select="threadInfo">
        <xsl:call-template name="counter">
          <xsl:with-param name="name" select="'maxThreads'"/>
          <xsl:with-param name="value" select="@maxThreads"/>
          <xsl:with-param name="desc" select="concat('Most request threads', $of)"/>
        </xsl:call-template>
        <xsl:call-template name="counter">
          <xsl:with-param name="name" select="'currentThreadCount'"/>
          <xsl:with-param name="value" select="@currentThreadCount"/>
          <xsl:with-param name="desc" select="concat('Request threads', $of)"/>
        </xsl:call-template>
        <xsl:call-template name="counter">
          <xsl:with-param name="name" select="'currentThreadsBusy'"/>
          <xsl:with-param name="value" select="@currentThreadsBusy"/>
          <xsl:with-param name="desc" select="concat('Busy request threads', $of)"/>
        </xsl:call-template>
      </xsl:for-each>
      <xsl:for-each select="requestInfo">
        <xsl:call-template name="counter">
          <xsl:with-param name="name" select="'requestCount'"/>
          <xsl:with-param name="value" select="@requestCount"/>
          <xsl:with-param name="desc" select="concat('Requests served', $of)"/>
        </xsl:call-template>
        <xsl:call-template name="counter">
          <xsl:with-param name="name" select="'errorCount'"/>
          <xsl:with-param name="value" select="@errorCount"/>
          <xsl:with-param name="desc" select="concat('Requests answered with an error', $of)"/>
        </xsl:call-template>
        <xsl:call-template name="counter">
          <xsl:with-param name="name" select="'processingTime'"/>
          <xsl:with-param name="value" select="@processingTime"/>
          <xsl:with-param name="desc" select="concat('Total processing time in milliseconds', $of)"/>
        </xsl:call-template>
        <xsl:call-template name="counter">
          <xsl:with-param name="name" select="'maxTime'"/>
          <xsl:with-param name="value" select="@maxTime"/>
          <xsl:with-param name="desc" select="concat('Longest processing time of a request in milliseconds', $of)"/>
        </xsl:call-template>
        <xsl:call-template name="counter">
          <xsl:with-param name="name" select="'bytesReceived'"/>
          <xsl:with-param name="value" select="@bytesReceived"/>
          <xsl:with-param name="desc" select="concat('Bytes received', $of)"/>
        </xsl:call-template>
        <xsl:call-template name="counter">
          <xsl:with-param name="name" select="'bytesSent'"/>
          <xsl:with-param name="value" select="@bytesSent"/>
          <xsl:with-param name="desc" select="concat('Bytes sent', $of)"/>
        </xsl:call-template>
      </xsl:for-each>
    </object>
  </xsl:template>

  <!-- One counter; its description or its value as the importing stylesheet chooses. -->
  <xsl:template name="counter">
    <xsl:param name="name"/>
    <xsl:param name="value"/>
    <xsl:param name="desc"/>
    <counter name="{$name}">
      <xsl:if test="$with-descriptions"><xsl:attribute name="desc"><xsl:value-of select="$desc"/></xsl:attribute></xsl:if>
      <xsl:if test="$with-values"><xsl:attribute name="val"><xsl:value-of select="$value"/></xsl:attribute></xsl:if>
    </counter>
  </xsl:template>

  <!-- The text with every quotation mark written as $quot;. -->
  <xsl:template name="escape-quotes">
    <xsl:param name="text"/>
    <xsl:choose>
      <xsl:when test="contains($text, '&quot;')">
        <xsl:value-of select="substring-before($text, '&quot;')"/>
        <xsl:text>$quot;</xsl:text>
        <xsl:call-template name="escape-quotes">
          <xsl:with-param name="text" select="substring-after($text, '&quot;')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$text"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>
</xsl:stylesheet>
