// The document loader against a real HTTP server through the HTTP transport.
#include "feedprobe/xml/xml_doc_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "feedprobe/plugin/error_reporting.h"
#include "feedprobe/transport/http_transport.h"
#include "platform/support/message_catalogue.h"
#include "support/program_folder.h"
#include "support/test_server.h"

namespace feedprobe {
namespace {

using platform::xml::XmlNode;
using testing::HasSubstr;
using testing_support::TestServer;

constexpr const char* kToMonitor = R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/status">
    <PerformanceMonitor>
      <xsl:for-each select="item"><counter name="{@name}" val="{@v}"/></xsl:for-each>
    </PerformanceMonitor>
  </xsl:template>
</xsl:stylesheet>)";

class LoaderTest : public testing::Test {
 protected:
  void SetUp() override {
    platform::ProcessCatalogue().AddFile(std::string(FEEDPROBE_STAGE_DIR) +
                                         "/dat/vk_mon_xml_msgs");
    ASSERT_EQ(CreateHttpTransport(nullptr, IID_IMonitorTransport, transport_.out_void()),
              platform::S_OK);
    transport_->initialize(0);
    server_.Reply("/status", 200, "<status><item name=\"heap\" v=\"12\"/></status>", "text/xml");
    server_.Post("/control", [](const httplib::Request& request, httplib::Response& response) {
      response.set_content(request.body.find("<counter") != std::string::npos ? "OK" : "NO",
                           "text/plain");
    });
  }
  void TearDown() override { transport_->shutdown(0); }

  // A loader for the test server.
  void Configure(CXmlDocLoader& loader, bool keep = true) {
    ASSERT_TRUE(loader.CreateParser());
    loader.SetTransport(transport_.get());
    loader.SetServer("127.0.0.1", server_.port(), 0);
    loader.SetKeepConnection(keep);
  }
  XmlNode Stylesheet(CXmlDocLoader& holder, const std::string& text) {
    folder_.Write("bin/sheet.xsl", text);
    std::string error;
    EXPECT_TRUE(loadXMLFromFile("sheet.xsl", holder, error, true)) << error;
    return holder.root_node();
  }

  testing_support::ProgramFolder folder_;
  platform::ComPtr<IMonitorTransport> transport_;
  TestServer server_;
};

TEST_F(LoaderTest, FetchesAndTransformsInPlace) {
  server_.Start();
  CXmlDocLoader sheet, loader;
  XmlNode stylesheet = Stylesheet(sheet, kToMonitor);
  Configure(loader);
  ASSERT_TRUE(loader.LoadDocument("/status", stylesheet, false)) << loader.error_text();
  EXPECT_EQ(loader.root_node().Name(), "PerformanceMonitor");
  EXPECT_EQ(loader.root_node().FirstChild().GetAttribute("val"), "12");
  EXPECT_EQ(loader.raw_text(), "<status><item name=\"heap\" v=\"12\"/></status>");

  // Posting a transformed copy leaves the loader's document as it is.
  std::string reply;
  ASSERT_TRUE(loader.Post("/control", stylesheet, &reply));
  EXPECT_EQ(reply, "NO");  // the monitor document has no <status> for the sheet to match
  ASSERT_TRUE(loader.Post("/control", XmlNode(), &reply));
  EXPECT_EQ(reply, "OK");
  EXPECT_EQ(loader.root_node().Name(), "PerformanceMonitor");
}

TEST_F(LoaderTest, AnswerThatIsNotXmlFailsWithASnippet) {
  std::string html = "<html><body><p>Error<br>" + std::string(300, 'e') + "</body></html>";
  std::string exact(256, 'a'), over(257, 'b');
  server_.Reply("/html", 200, html, "text/html")
      .Reply("/exact", 200, exact)
      .Reply("/over", 200, over)
      .Reply("/empty", 200, "");
  server_.Start();
  struct Case {
    const char* target;
    std::string snippet;
  } cases[] = {{"/html", html.substr(0, 253) + "..."},
               {"/exact", exact},
               {"/over", over.substr(0, 253) + "..."},
               {"/empty", ""}};
  CXmlDocLoader loader;
  Configure(loader);
  for (const Case& c : cases) {
    EXPECT_FALSE(loader.LoadDocument(c.target, XmlNode(), false)) << c.target;
    EXPECT_EQ(loader.error_kind(), kLoaderParseFailed);
    EXPECT_THAT(loader.error_text(), HasSubstr("127.0.0.1:" + std::to_string(server_.port())));
    EXPECT_THAT(loader.error_text(), HasSubstr("begins with: " + c.snippet));
  }
  EXPECT_GE(loader.error_line(), 0);
}

TEST_F(LoaderTest, KeepConnectionDecidesHowManyConnectionsAreOpened) {
  server_.Start();
  for (bool keep : {true, false}) {
    int before = server_.connections();
    {
      CXmlDocLoader loader;
      Configure(loader, keep);
      for (int i = 0; i < 3; ++i) ASSERT_TRUE(loader.LoadDocument("/status", XmlNode(), false));
      ASSERT_TRUE(loader.Post("/control", XmlNode(), nullptr));
    }
    EXPECT_EQ(server_.connections() - before, keep ? 1 : 4) << keep;
  }
}

TEST_F(LoaderTest, FailedConnectIsRecordedAndTheNextRequestTriesAgain) {
  server_.Reply("/missing", 404, "gone");
  server_.Start();
  CXmlDocLoader loader;
  Configure(loader);
  loader.SetServer("", server_.port(), 0);
  EXPECT_FALSE(loader.LoadDocument("/status", XmlNode(), false));
  EXPECT_EQ(loader.error_kind(), kLoaderConnectFailed);
  EXPECT_FALSE(loader.error_text().empty());

  loader.SetServer("127.0.0.1", server_.port(), 0);
  EXPECT_TRUE(loader.LoadDocument("/status", XmlNode(), false));
  EXPECT_FALSE(loader.LoadDocument("/missing", XmlNode(), false));
  EXPECT_EQ(loader.error_kind(), kLoaderTransferFailed);
  EXPECT_THAT(loader.error_text(), HasSubstr("404"));
}

TEST_F(LoaderTest, ConfiguredFilesMissingOrBroken) {
  CXmlDocLoader loader;
  std::string error;
  EXPECT_FALSE(loadXMLFromFile("../dat/monitors/none.xsl", loader, error, true));
  EXPECT_THAT(error, HasSubstr(folder_.bin() + "../dat/monitors/none.xsl"));
  EXPECT_THAT(error, HasSubstr("does not exist"));

  folder_.Write("bin/broken.xsl", "<xsl:stylesheet><unclosed></xsl:stylesheet>");
  error.clear();
  EXPECT_FALSE(loadXMLFromFile("broken.xsl", loader, error, true));
  EXPECT_THAT(error, HasSubstr("cannot be loaded"));
  EXPECT_THAT(error, HasSubstr("error kind 4"));

  error = "kept";
  EXPECT_FALSE(loadXMLFromFile("none.xml", loader, error, false));
  EXPECT_EQ(error, "kept");
  ASSERT_NE(loader.document(), nullptr);
  EXPECT_FALSE(loader.document()->DocumentElement());
}

TEST_F(LoaderTest, StylesheetResultsThatAreOdd) {
  std::string log = folder_.root() + "/debug.log";
  setenv("FEEDPROBE_DEBUG_OUTPUT", log.c_str(), 1);
  folder_.Write("script.txt", "");
  setenv("FEEDPROBE_UI", ("script:" + folder_.root() + "/script.txt").c_str(), 1);
  server_.Start();
  CXmlDocLoader nothing_sheet, stylesheet_sheet, loader;
  XmlNode applies_to_nothing = Stylesheet(nothing_sheet, R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/"/>
</xsl:stylesheet>)");
  XmlNode writes_a_stylesheet = Stylesheet(stylesheet_sheet, R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/"><xsl:element name="xsl:stylesheet"/></xsl:template>
</xsl:stylesheet>)");
  Configure(loader);
  // No root element in the result: the load reports false and records nothing.
  EXPECT_FALSE(loader.LoadDocument("/status", applies_to_nothing, false));
  EXPECT_EQ(loader.error_kind(), kLoaderNoError);
  // A stylesheet as result: the warning, and the load still succeeds.
  EXPECT_TRUE(loader.LoadDocument("/status", writes_a_stylesheet, false));
  unsetenv("FEEDPROBE_DEBUG_OUTPUT");
  unsetenv("FEEDPROBE_UI");
  std::stringstream text;
  text << std::ifstream(log).rdbuf();
  EXPECT_THAT(text.str(), HasSubstr("requiers MSXML version higher than 2.5."));
}

}  // namespace
}  // namespace feedprobe
