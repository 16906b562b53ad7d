#include "platform/xml/dom.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace platform::xml {
namespace {

namespace fs = std::filesystem;

// A folder of its own for one test, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "xmlengine-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Write(const std::string& name, const std::string& content) const {
    std::string file = path_ + "/" + name;
    std::ofstream(file, std::ios::binary) << content;
    return file;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

XmlDocument Parsed(const std::string& text) {
  XmlDocument doc;
  EXPECT_TRUE(doc.LoadXml(text)) << text << "\n" << doc.ParseError().reason;
  return doc;
}

std::vector<std::string> NamesOf(const std::vector<XmlNode>& nodes) {
  std::vector<std::string> names;
  for (const XmlNode& node : nodes) names.push_back(node.Name() + "=" + node.Value());
  return names;
}

// --- Loading --------------------------------------------------------------------------------

TEST(XmlLoad, BadTextFailsWithCodeReasonAndLine) {
  struct Case {
    const char* text;
    int32_t line;
  };
  const Case cases[] = {
      {"<a>\n<b>\n</a>", 3},                                                // mismatched tag
      {"<html><body>\n<p>Server error<br></p>\n</body></html>", 2},        // HTML page
      {"<PerformanceMonitor><object name=\"x\"", 1},                     // truncated
      {"Host not found", 1},                                              // no markup at all
      {"", 1},                                                            // empty
  };
  for (const Case& c : cases) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadXml("<old/>"));
    EXPECT_FALSE(doc.LoadXml(c.text)) << c.text;
    XmlParseError error = doc.ParseError();
    EXPECT_NE(error.code, 0) << c.text;
    EXPECT_FALSE(error.reason.empty()) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text << ": " << error.reason;
    EXPECT_FALSE(doc.DocumentElement()) << "a failed load leaves the document empty";
    ASSERT_TRUE(doc.LoadXml("<new/>"));
    EXPECT_EQ(doc.ParseError().code, 0);
  }
}

TEST(XmlLoad, MessagesNeverReachStandardError) {
  testing::internal::CaptureStderr();
  XmlDocument doc;
  EXPECT_FALSE(doc.LoadXml("<a><b></a>"));
  std::string error;
  EXPECT_FALSE(Parsed("<a/>").DocumentElement().SelectSingleNode("//[", &error));
  XmlDocument broken_stylesheet = Parsed(
      "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
      "<xsl:template match='/'><xsl:value-of select='(('/></xsl:template></xsl:stylesheet>");
  XmlDocument talking_stylesheet = Parsed(
      "<xsl:stylesheet version='1.0' xmlns:xsl='http://www.w3.org/1999/XSL/Transform'>"
      "<xsl:template match='/'><xsl:message>hello</xsl:message><r/></xsl:template>"
      "</xsl:stylesheet>");
  XmlDocument out;
  EXPECT_FALSE(Parsed("<a/>").TransformNodeToObject(broken_stylesheet.AsNode(), out, &error));
  EXPECT_TRUE(Parsed("<a/>").TransformNodeToObject(talking_stylesheet.AsNode(), out, &error));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(XmlLoad, EncodingOfBytesIsDetectedAndTextInMemoryIsAlreadyDecoded) {
  XmlDocument bytes;
  ASSERT_TRUE(bytes.LoadBytes("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><v>caf\xE9</v>"));
  EXPECT_EQ(bytes.DocumentElement().Text(), "caf\xC3\xA9");
  XmlDocument text;
  ASSERT_TRUE(text.LoadXml("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><v>caf\xC3\xA9</v>"));
  EXPECT_EQ(text.DocumentElement().Text(), "caf\xC3\xA9");
}

TEST(XmlLoad, LocalFilesByPathAndFileUrlOnly) {
  TempDir dir;
  std::string file = dir.Write("list name.xml", "<PerformanceMonitor/>");
  for (const std::string& location :
       {file, "file://" + file, "file://" + dir.path() + "/list%20name.xml"}) {
    XmlDocument doc;
    EXPECT_TRUE(doc.Load(location)) << location << ": " << doc.ParseError().reason;
    EXPECT_EQ(doc.DocumentElement().Name(), "PerformanceMonitor") << location;
  }
  for (const std::string& location :
       {dir.path() + "/missing.xml", std::string("http://127.0.0.1:9/list.xml"), dir.path()}) {
    XmlDocument doc;
    EXPECT_FALSE(doc.Load(location)) << location;
    EXPECT_NE(doc.ParseError().code, 0) << location;
  }
}

TEST(XmlLoad, ExternalResourcesAreNeverRead) {
  TempDir dir;
  std::string secret = dir.Write("secret.txt", "TOPSECRET");
  std::string dtd = dir.Write("secret.dtd", "<!ENTITY x \"TOPSECRET\">");
  const std::string documents[] = {
      "<!DOCTYPE r [<!ENTITY e SYSTEM \"file://" + secret + "\">]><r>&e;</r>",
      "<!DOCTYPE r [<!ENTITY e SYSTEM \"" + secret + "\">]><r a='1'>&e;</r>",
      "<!DOCTYPE r [<!ENTITY i \"inner\"><!ENTITY e SYSTEM \"" + secret +
          "\">]><r>&i;&e;</r>",
      "<!DOCTYPE r [<!ENTITY % p SYSTEM \"file://" + dtd + "\"> %p;]><r>&x;</r>",
      "<!DOCTYPE r SYSTEM \"file://" + dtd + "\"><r>&x;</r>",
      "<!DOCTYPE r [<!ENTITY % p \"<!ENTITY e SYSTEM 'file://" + secret +
          "'>\"> %p;]><r>&e;</r>",
  };
  for (const std::string& text : documents) {
    for (bool from_file : {false, true}) {
      XmlDocument doc;
      if (from_file) {
        doc.Load(dir.Write("doc.xml", text));
      } else {
        doc.LoadXml(text);
      }
      EXPECT_EQ(doc.Xml().find("TOPSECRET"), std::string::npos) << text;
      EXPECT_EQ(doc.AsNode().Text().find("TOPSECRET"), std::string::npos) << text;
    }
  }
}

TEST(XmlLoad, InternalEntitiesAreExpanded) {
  XmlDocument doc =
      Parsed("<!DOCTYPE r [<!ENTITY unit \"ms\">]><r><c u='&unit;'>10 &unit;</c></r>");
  XmlNode counter = doc.DocumentElement().SelectSingleNode("c[text()='10 ms']");
  ASSERT_TRUE(counter);
  EXPECT_EQ(counter.GetAttribute("u"), "ms");
}

TEST(XmlLoad, EntityBombIsRefusedOrBounded) {
  std::string bomb = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
  bomb += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">";
  for (int level = 2; level <= 9; ++level) {
    std::string previous = "&lol" + std::to_string(level - 1) + ";";
    bomb += "<!ENTITY lol" + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) bomb += previous;
    bomb += "\">";
  }
  bomb += "]><lolz>&lol9;</lolz>";
  for (bool from_bytes : {false, true}) {
    XmlDocument doc;
    bool loaded = from_bytes ? doc.LoadBytes(bomb) : doc.LoadXml(bomb);
    if (loaded) {
      EXPECT_LT(doc.AsNode().Text().size(), 10u * 1024 * 1024);
    } else {
      EXPECT_NE(doc.ParseError().code, 0);
    }
  }
}

// --- Nodes ----------------------------------------------------------------------------------

TEST(XmlNodes, SerialisationKeepsTheDocumentsDeclarationOnly) {
  struct Case {
    const char* text;
    const char* document_xml;
    const char* element_xml;
  };
  const Case cases[] = {
      {"<?xml version=\"1.0\" ?><PerformanceMonitor>\r\n</PerformanceMonitor>\r\n",
       "<?xml version=\"1.0\"?>\n<PerformanceMonitor/>\n", "<PerformanceMonitor/>"},
      {"<a x=\"1\"><b>t &amp; u</b></a>", "<a x=\"1\"><b>t &amp; u</b></a>\n",
       "<a x=\"1\"><b>t &amp; u</b></a>"},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?><a>\xC3\xA9</a>",
       "<?xml version=\"1.0\" standalone=\"yes\"?>\n<a>\xC3\xA9</a>\n", "<a>\xC3\xA9</a>"},
  };
  for (const Case& c : cases) {
    XmlDocument doc = Parsed(c.text);
    EXPECT_EQ(doc.Xml(), c.document_xml);
    EXPECT_EQ(doc.DocumentElement().Xml(), c.element_xml);
  }
  EXPECT_EQ(Parsed("<a x=\"1\"/>").DocumentElement().GetAttributeNode("x").Xml(), "x=\"1\"");
}

TEST(XmlNodes, AttributesStayInDocumentOrder) {
  XmlDocument doc = Parsed("<r><counter class=\"Memory\" name=\"Heap\" val=\"1\"/></r>");
  XmlNode counter = doc.DocumentElement().FirstChild();
  EXPECT_EQ(NamesOf(counter.Attributes()),
            (std::vector<std::string>{"class=Memory", "name=Heap", "val=1"}));

  // Changing a value keeps the place, a new attribute goes last, a removed one stays readable.
  EXPECT_TRUE(counter.SetAttribute("name", "Stack"));
  EXPECT_TRUE(counter.SetAttribute("enabled", "true"));
  XmlNode removed = counter.RemoveAttribute("val");
  ASSERT_TRUE(removed);
  EXPECT_EQ(removed.Value(), "1");
  EXPECT_FALSE(counter.RemoveAttribute("val"));
  EXPECT_EQ(NamesOf(counter.Attributes()),
            (std::vector<std::string>{"class=Memory", "name=Stack", "enabled=true"}));

  // An attribute made by another document is attached in the element's own document and
  // replaces the one of the same name in its place; values are literal text.
  XmlNode desc;
  {
    XmlDocument factory;
    XmlNode made = factory.CreateAttribute("class");
    ASSERT_TRUE(made);
    EXPECT_TRUE(made.SetValue("a<b & \"c\""));
    desc = counter.SetAttributeNode(made);
  }
  ASSERT_TRUE(desc);
  EXPECT_EQ(desc.Value(), "a<b & \"c\"");
  EXPECT_EQ(NamesOf(counter.Attributes()),
            (std::vector<std::string>{"class=a<b & \"c\"", "name=Stack", "enabled=true"}));
  EXPECT_EQ(counter.Xml(),
            "<counter class=\"a&lt;b &amp; &quot;c&quot;\" name=\"Stack\" enabled=\"true\"/>");

  XmlNode own = doc.CreateAttribute("id");
  own.SetValue("/r/counter");
  EXPECT_EQ(counter.SetAttributeNode(own), own);
  EXPECT_FALSE(doc.DocumentElement().SetAttributeNode(own)) << "already attached elsewhere";
  EXPECT_EQ(counter.GetAttribute("id"), "/r/counter");
  EXPECT_FALSE(counter.GetAttribute("missing"));
}

TEST(XmlNodes, ElementsByTagNameInDocumentOrderAndWhitespaceDropped) {
  XmlDocument doc = Parsed(
      "<PerformanceMonitor>\n  <object name=\"a\">\n    <counter name=\"1\"/>\n"
      "    <object name=\"b\"><counter name=\"2\"/></object>\n  </object>\n"
      "  <counter name=\"3\"/>\n  <keep xml:space=\"preserve\"> </keep>\n</PerformanceMonitor>");
  XmlNode root = doc.DocumentElement();
  std::vector<std::string> counters;
  for (const XmlNode& node : root.GetElementsByTagName("counter")) {
    counters.push_back(*node.GetAttribute("name"));
  }
  EXPECT_EQ(counters, (std::vector<std::string>{"1", "2", "3"}));
  std::vector<std::string> all;
  for (const XmlNode& node : root.GetElementsByTagName("*")) all.push_back(node.Name());
  EXPECT_EQ(all, (std::vector<std::string>{"object", "counter", "object", "counter", "counter",
                                           "keep"}));
  EXPECT_EQ(root.FirstChild().Name(), "object");
  EXPECT_EQ(root.ChildNodes().size(), 3u);
  EXPECT_EQ(root.SelectSingleNode("keep").Text(), " ");
  EXPECT_EQ(root.Parent().Name(), "#document");
  EXPECT_FALSE(root.Parent().Parent());
}

TEST(XmlNodes, NodesKeepTheirTreeAlive) {
  XmlNode counter;
  XmlNode attribute;
  {
    XmlDocument doc = Parsed("<r><counter name=\"Heap\"/></r>");
    counter = doc.DocumentElement().FirstChild();
    attribute = counter.GetAttributeNode("name");
    ASSERT_TRUE(doc.LoadXml("<other/>"));  // replaces the tree the nodes belong to
    EXPECT_EQ(doc.DocumentElement().Name(), "other");
  }
  EXPECT_EQ(counter.Name(), "counter");
  EXPECT_EQ(attribute.Value(), "Heap");
  EXPECT_EQ(counter.Parent().Xml(), "<r><counter name=\"Heap\"/></r>");
}

TEST(XmlNodes, BuildingADocument) {
  XmlDocument doc;
  XmlNode root = doc.AsNode().AppendChild(doc.CreateElement("PerformanceMonitor"));
  ASSERT_TRUE(root);
  EXPECT_EQ(doc.DocumentElement(), root);
  XmlNode object = root.AppendChild(doc.CreateElement("object"));
  object.SetAttribute("name", "JVM");
  EXPECT_FALSE(object.AppendChild(root)) << "an ancestor cannot become a child";
  EXPECT_FALSE(doc.AsNode().AppendChild(doc.CreateElement("second")));
  EXPECT_FALSE(doc.CreateElement("not a name"));
  XmlNode copied = object.AppendChild(Parsed("<counter name='Heap'/>").DocumentElement());
  ASSERT_TRUE(copied);
  EXPECT_EQ(doc.DocumentElement().SelectSingleNode("//counter[@name='Heap']"), copied);
  EXPECT_EQ(root.Xml(),
            "<PerformanceMonitor><object name=\"JVM\"><counter name=\"Heap\"/></object>"
            "</PerformanceMonitor>");
}

// --- XPath ----------------------------------------------------------------------------------

TEST(XmlXPath, SelectionFindsNothingOrIsRefused) {
  XmlDocument doc = Parsed(
      "<PerformanceMonitor><LongMachineName>srv.example</LongMachineName>"
      "<object name=\"JVM\"><counter name=\"Heap\" class=\"Memory\"/>"
      "<counter name=\"a\\b\" class='say \"hi\"'/></object></PerformanceMonitor>");
  struct Case {
    const char* query;
    const char* found;  // the selected node's name, or null
    bool refused;
  };
  const Case cases[] = {
      {"./LongMachineName", "LongMachineName", false},
      {"/PerformanceMonitor/object[(@name=\"JVM\")]/counter[(@name=\"Heap\") and "
       "(@class=\"Memory\")]",
       "counter", false},
      {"//counter/@class", "class", false},
      {"//counter[(@name=\"a\\b\")]", "counter", false},  // a backslash is just a character
      {"//counter[(@class='say \"hi\"')]", "counter", false},
      {"//counter[(@name=\"a\\\\b\")]", nullptr, false},
      {"//counter[@name='none']", nullptr, false},
      {"//counter[", nullptr, true},
      {"", nullptr, true},
      {"count(//counter)", nullptr, true},
      {"//x:counter", nullptr, true},
      {"//counter[(@name=\"Heap\") and (@class=\"Memory\"]", nullptr, true},
  };
  for (const Case& c : cases) {
    std::string error = "stale";
    XmlNode node = doc.DocumentElement().SelectSingleNode(c.query, &error);
    EXPECT_EQ(node ? node.Name() : std::string("none"), c.found ? c.found : "none") << c.query;
    EXPECT_EQ(!error.empty(), c.refused) << c.query << ": " << error;
  }
}

TEST(XmlXPath, SelectNodesInDocumentOrder) {
  XmlDocument doc = Parsed("<r><c n='1'/><o><c n='2'/></o><c n='3'/></r>");
  std::vector<std::string> names;
  for (const XmlNode& node : doc.AsNode().SelectNodes("//c/@n | //o/c/@n")) {
    names.push_back(node.Value());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"1", "2", "3"}));
}

// --- Transformation -------------------------------------------------------------------------

constexpr char kXslStart[] =
    "<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"";

constexpr char kSource[] =
    "<server><metric group=\"JVM\" id=\"Heap\" value=\"12.5\"/>"
    "<metric group=\"JVM\" id=\"Threads\" value=\"7\"/></server>";

// Normalises the source into the PerformanceMonitor shape.
const std::string kNormalise = std::string(kXslStart) +
    "><xsl:template match=\"/server\"><PerformanceMonitor><object name=\"JVM\">"
    "<xsl:for-each select=\"metric\"><counter name=\"{@id}\" val=\"{@value}\"/></xsl:for-each>"
    "</object></PerformanceMonitor></xsl:template></xsl:stylesheet>";

TEST(XmlTransform, TransformsIntoTheOutputDocument) {
  XmlDocument source = Parsed(kSource);
  XmlDocument stylesheet = Parsed(kNormalise);
  for (const XmlNode& stylesheet_node : {stylesheet.AsNode(), stylesheet.DocumentElement()}) {
    XmlDocument output;
    std::string error;
    ASSERT_TRUE(source.TransformNodeToObject(stylesheet_node, output, &error)) << error;
    EXPECT_EQ(output.Xml(),
              "<?xml version=\"1.0\"?>\n<PerformanceMonitor><object name=\"JVM\">"
              "<counter name=\"Heap\" val=\"12.5\"/><counter name=\"Threads\" val=\"7\"/>"
              "</object></PerformanceMonitor>\n");
  }
  EXPECT_EQ(source.DocumentElement().Xml(), Parsed(kSource).DocumentElement().Xml());

  // Transforming a document into itself replaces its content.
  ASSERT_TRUE(source.TransformNodeToObject(stylesheet.AsNode(), source));
  EXPECT_EQ(source.DocumentElement().Name(), "PerformanceMonitor");
}

TEST(XmlTransform, OutcomesOfUnusualStylesheets) {
  struct Case {
    std::string stylesheet;
    bool succeeds;
    const char* root;           // name of the output's root element, or null
    const char* error_contains; // part of the failure text
  };
  const Case cases[] = {
      // Applies to nothing: success without root element.
      {std::string(kXslStart) + "><xsl:template match=\"/nothing\"><x/></xsl:template>"
                                "<xsl:template match=\"text()\"/></xsl:stylesheet>",
       true, nullptr, ""},
      // A stylesheet that writes a stylesheet: the one way this engine yields that root.
      {std::string(kXslStart) + "><xsl:template match=\"/\"><xsl:element "
                                "name=\"xsl:stylesheet\" namespace=\"http://www.w3.org/1999/"
                                "XSL/Transform\"/></xsl:template></xsl:stylesheet>",
       true, "xsl:stylesheet", ""},
      // The working-draft XSL dialect is no XSLT 1.0: it does not compile.
      {"<xsl:stylesheet xmlns:xsl=\"http://www.w3.org/TR/WD-xsl\"><xsl:template match=\"/\">"
       "<r/></xsl:template></xsl:stylesheet>",
       false, nullptr, "compile"},
      // Result tree fragments converted the way stylesheets for the platform engine do it.
      {std::string(kXslStart) + " xmlns:msxsl=\"urn:schemas-microsoft-com:xslt\">"
                                "<xsl:template match=\"/\"><xsl:variable name=\"v\"><n>1</n>"
                                "</xsl:variable><r><xsl:value-of select=\"msxsl:node-set($v)/n\"/>"
                                "</r></xsl:template></xsl:stylesheet>",
       true, "r", ""},
      {std::string(kXslStart) + "><xsl:template match=\"/\"><xsl:message terminate=\"yes\">"
                                "giving up</xsl:message></xsl:template></xsl:stylesheet>",
       false, nullptr, "giving up"},
      {std::string(kXslStart) + "><xsl:template match=\"/\"><xsl:value-of select=\"((\"/>"
                                "</xsl:template></xsl:stylesheet>",
       false, nullptr, "compile"},
      {"<stylesheet><template/></stylesheet>", false, nullptr, "compile"},
      {std::string(kXslStart) + " xmlns:msxsl=\"urn:schemas-microsoft-com:xslt\">"
                                "<xsl:template match=\"/\"><r><xsl:value-of "
                                "select=\"msxsl:unknown(1)\"/></r></xsl:template>"
                                "</xsl:stylesheet>",
       false, nullptr, ""},
  };
  XmlDocument source = Parsed(kSource);
  for (const Case& c : cases) {
    XmlDocument stylesheet = Parsed(c.stylesheet);
    for (int attempt = 0; attempt < 2; ++attempt) {  // the second one uses the cached result
      XmlDocument output = Parsed("<previous/>");
      std::string error;
      EXPECT_EQ(source.TransformNodeToObject(stylesheet.AsNode(), output, &error), c.succeeds)
          << c.stylesheet << ": " << error;
      XmlNode root = output.DocumentElement();
      EXPECT_EQ(root ? root.Name() : std::string("none"), c.root ? c.root : "none")
          << c.stylesheet;
      EXPECT_NE(error.find(c.error_contains), std::string::npos) << c.stylesheet << ": " << error;
      EXPECT_EQ(error.empty(), c.succeeds) << c.stylesheet;
    }
  }
}

TEST(XmlTransform, StylesheetsCannotWriteFilesOrCreateFolders) {
  struct Case {
    const char* namespaces;
    const char* element;    // writes its content to the file named by the attribute
    const char* attribute;
  };
  const Case cases[] = {
      {"", "xsl:document", "href"},
      {" xmlns:exsl=\"http://exslt.org/common\" extension-element-prefixes=\"exsl\"",
       "exsl:document", "href"},
      {" xmlns:saxon=\"http://icl.com/saxon\" extension-element-prefixes=\"saxon\"",
       "saxon:output", "href"},
      {" xmlns:xt=\"http://www.jclark.com/xt\" extension-element-prefixes=\"xt\"",
       "xt:document", "href"},
      {" xmlns:redirect=\"http://xml.apache.org/xalan/redirect\" "
       "extension-element-prefixes=\"redirect\"",
       "redirect:write", "file"},
  };
  XmlDocument source = Parsed(kSource);
  std::string start = kXslStart;
  start.replace(start.find("1.0"), 3, "1.1");  // xsl:document is an XSLT 1.1 element
  for (const Case& c : cases) {
    for (const char* target : {"/written.xml", "/new/folder/written.xml"}) {
      for (const char* scheme : {"", "file://"}) {
        TempDir dir;
        std::string href = scheme + dir.path() + target;
        XmlDocument stylesheet = Parsed(
            start + c.namespaces + "><xsl:template match=\"/\"><" + c.element + " " +
            c.attribute + "=\"" + href + "\"><secret/></" + c.element +
            "><done/></xsl:template></xsl:stylesheet>");
        XmlDocument output;
        source.TransformNodeToObject(stylesheet.AsNode(), output);
        EXPECT_TRUE(fs::is_empty(dir.path())) << c.element << " " << href;
      }
    }
  }
}

// A listening socket on 127.0.0.1 that nobody answers; it tells whether anyone connected.
class Listener {
 public:
  Listener() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), size), 0);
    EXPECT_EQ(listen(fd_, 16), 0);
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
    url_ = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
  }
  ~Listener() { close(fd_); }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  const std::string& url() const { return url_; }
  // A connection made on loopback is complete before connect returns.
  bool Contacted() const {
    pollfd pending{fd_, POLLIN, 0};
    return poll(&pending, 1, 0) > 0;
  }

 private:
  int fd_;
  std::string url_;
};

TEST(XmlTransform, NothingReachesTheNetwork) {
  using Attempt = void (*)(const std::string& url);
  const Attempt attempts[] = {
      [](const std::string& url) {
        XmlDocument output;
        Parsed(kSource).TransformNodeToObject(
            Parsed(std::string(kXslStart) + "><xsl:import href=\"" + url + "a.xsl\"/>"
                   "<xsl:template match=\"/\"><r/></xsl:template></xsl:stylesheet>").AsNode(),
            output);
      },
      [](const std::string& url) {
        XmlDocument output;
        Parsed(kSource).TransformNodeToObject(
            Parsed(std::string(kXslStart) + "><xsl:include href=\"" + url + "b.xsl\"/>"
                   "<xsl:template match=\"/\"><r/></xsl:template></xsl:stylesheet>").AsNode(),
            output);
      },
      [](const std::string& url) {
        XmlDocument output;
        Parsed(kSource).TransformNodeToObject(
            Parsed(std::string(kXslStart) + "><xsl:template match=\"/\"><r><xsl:copy-of "
                   "select=\"document('" + url + "c.xml')\"/></r></xsl:template>"
                   "</xsl:stylesheet>").AsNode(),
            output);
      },
      [](const std::string& url) {
        XmlDocument doc;
        doc.LoadXml("<!DOCTYPE r SYSTEM \"" + url + "r.dtd\" [<!ENTITY e SYSTEM \"" + url +
                    "e.xml\">]><r>&e;</r>");
      },
      [](const std::string& url) { XmlDocument().Load(url + "list.xml"); },
  };
  for (size_t i = 0; i < std::size(attempts); ++i) {
    Listener listener;
    attempts[i](listener.url());
    EXPECT_FALSE(listener.Contacted()) << "attempt " << i;
  }
}

TEST(XmlTransform, OneStylesheetServesManyThreadsAtOnce) {
  XmlDocument stylesheet = Parsed(kNormalise);
  XmlNode stylesheet_node = stylesheet.AsNode();
  constexpr int kThreads = 4;
  constexpr int kRounds = 50;
  std::atomic<int> ready{0};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::string value = std::to_string(t);
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();  // first use compiles
      for (int round = 0; round < kRounds; ++round) {
        XmlDocument source;
        XmlDocument output;
        if (!source.LoadXml("<server><metric id=\"Heap\" value=\"" + value + "\"/></server>") ||
            !source.TransformNodeToObject(stylesheet_node, output) ||
            output.DocumentElement().SelectSingleNode("//counter/@val").Value() != value) {
          wrong.fetch_add(1);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(XmlChildPath, TreeVersionNamesOneTreeInOneState) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXml("<a><b name=\"x\"/></a>"));
  XmlNode b = document.DocumentElement().FirstChild();
  uint64_t loaded = b.TreeVersion();
  XmlAttributeTest test{"name", "x"};
  XmlPathStep steps[] = {{"a", {}}, {"b", {&test, 1}}};
  EXPECT_TRUE(b.SelectChildPath(steps) == b);  // reading changes nothing
  EXPECT_EQ(b.TreeVersion(), loaded);
  XmlDocument other;
  ASSERT_TRUE(other.LoadXml("<a><b name=\"x\"/></a>"));
  EXPECT_NE(other.AsNode().TreeVersion(), loaded);
  EXPECT_EQ(XmlNode().TreeVersion(), 0u);

  uint64_t last = loaded;
  auto changed = [&] {
    uint64_t now = b.TreeVersion();
    bool different = now != last;
    last = now;
    return different;
  };
  b.SetAttribute("enabled", "1");
  EXPECT_TRUE(changed());
  b.GetAttributeNode("name").SetValue("y");
  EXPECT_TRUE(changed());
  EXPECT_FALSE(b.SelectChildPath(steps));  // the index followed the new value
  b.RemoveAttribute("enabled");
  EXPECT_TRUE(changed());
  document.DocumentElement().AppendChild(document.CreateElement("b"));
  EXPECT_TRUE(changed());
}

TEST(XmlChildPath, ReadersOfOneDocumentBuildItsIndexAtOnce) {
  std::string text = "<a>";
  for (int i = 0; i < 2000; ++i) text += "<b name=\"n" + std::to_string(i) + "\"/>";
  XmlDocument document;
  ASSERT_TRUE(document.LoadXml(text + "</a>"));
  XmlNode root = document.DocumentElement();
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = t; i < 2000; i += 97) {
        std::string value = "n" + std::to_string(i);
        XmlAttributeTest test{"name", value};
        XmlPathStep steps[] = {{"a", {}}, {"b", {&test, 1}}};
        XmlNode found = root.SelectChildPath(steps);
        if (!found || found.GetAttribute("name") != value) wrong.fetch_add(1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace platform::xml
