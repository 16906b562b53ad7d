// Start-up of the transport, the configured documents and the extension, through the
// exported functions of staged copies.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/plugin_copy.h"
#include "support/program_folder.h"

using testing::HasSubstr;
using testing_support::PluginCopy;
using testing_support::ProgramFolder;

namespace {

constexpr const char* kStylesheet = R"(<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:template match="/"><PerformanceMonitor/></xsl:template>
</xsl:stylesheet>)";

class Startup : public testing::Test {
 protected:
  void SetUp() override {
    folder_.Write("dat/monitors/list.xsl", kStylesheet);
    folder_.Write("dat/monitors/data.xsl", kStylesheet);
    folder_.Write("dat/monitors/request.xsl", kStylesheet);
    folder_.Write("dat/monitors/broken.xsl", "<xsl:stylesheet><oops></xsl:stylesheet>");
  }
  // InitMonitor with the keys; the failure text goes to text.
  int32_t Init(const std::string& keys, std::string* text = nullptr, int32_t* loaded = nullptr) {
    folder_.WriteMonitorConfig("alpha.ini", "[alpha]\n" + keys);
    if (plugin_) plugin_->Terminate();
    plugin_.reset();  // a copy is replaced only after the old one is unloaded
    plugin_ = std::make_unique<PluginCopy>(folder_, "alpha");
    return plugin_->Init(text, loaded);
  }
  void TearDown() override {
    if (plugin_) plugin_->Terminate();
  }
  ProgramFolder folder_;
  std::unique_ptr<PluginCopy> plugin_;
};

TEST_F(Startup, LoadsAllFourDocumentsAndCreatesTheHttpTransport) {
  folder_.Write("dat/monitors/descriptions.xml", "<descriptions/>");
  int32_t loaded = 99;
  std::string text;
  EXPECT_EQ(Init("DescriptionFile=..\\dat\\monitors\\descriptions.xml\n"
                 "MetricListXSL=../dat/monitors/list.xsl\n"
                 "MetricDataXSL=../dat/monitors/data.xsl\n"
                 "MetricRequestXSL=../dat/monitors/request.xsl\n",
                 &text, &loaded),
            0)
      << text;
  EXPECT_EQ(loaded, 0);
}

TEST(ShippedConfiguration, ExampleStartsWithAllItsDocuments) {
  ProgramFolder folder;
  for (const char* file : {"example.ini", "example-identity.xsl", "example-request.xsl",
                           "example-descriptions.xml"})
    testing_support::CopyFile(std::string(FEEDPROBE_STAGE_DIR) + "/dat/monitors/" + file,
                              folder.monitors() + file);
  PluginCopy plugin(folder, "example");
  std::string text;
  int32_t loaded = 99;
  EXPECT_EQ(plugin.Init(&text, &loaded), 0) << text;
  EXPECT_EQ(loaded, 0);
  plugin.Terminate();
}

TEST_F(Startup, EmptyKeysAndAMissingDescriptionFileAreFine) {
  int32_t loaded = 99;
  EXPECT_EQ(Init("DescriptionFile=../dat/monitors/none.xml\nMetricListXSL=\n", nullptr, &loaded), 0);
  EXPECT_EQ(loaded, 0);
}

TEST_F(Startup, StylesheetFailuresNameTheirStep) {
  struct Case {
    const char* keys;
    const char* location;
    const char* failure;
  } cases[] = {
      {"MetricListXSL=../dat/monitors/none.xsl\n", "(loading metric list XSL)", "does not exist"},
      {"MetricListXSL=../dat/monitors/list.xsl\nMetricDataXSL=../dat/monitors/broken.xsl\n",
       "(InitMonitor)", "cannot be loaded"},
      {"MetricRequestXSL=../dat/monitors/none.xsl\n", "(loading metric control XSL)",
       "does not exist"},
  };
  for (const Case& c : cases) {
    std::string text;
    int32_t loaded = 99;
    EXPECT_EQ(Init(c.keys, &text, &loaded), 2) << c.keys;
    EXPECT_THAT(text, HasSubstr(c.location));
    EXPECT_THAT(text, HasSubstr(c.failure));
    EXPECT_EQ(loaded, 99);
  }
}

TEST_F(Startup, TransportThatIsNotAClassIdentifier) {
  std::string text;
  EXPECT_EQ(Init("TransportProviderUUID=not-a-class\n", &text), 2);
  EXPECT_THAT(text, HasSubstr("Generic Monitor"));
  EXPECT_THAT(text, HasSubstr("loading transport provider UUID"));
  // A well-formed identifier nobody registered fails the same way.
  setenv("FEEDPROBE_REGISTRY", (folder_.root() + "/registry").c_str(), 1);
  EXPECT_EQ(Init("TransportProviderUUID={11111111-2222-3333-4444-555555555555}\n", &text), 2);
  unsetenv("FEEDPROBE_REGISTRY");
}

TEST_F(Startup, ExtensionLibraryThatCannotBeLoadedIsSilent) {
  EXPECT_EQ(Init("ExtensionDll=no-such-extension.so\n"), 0);
  testing_support::CopyFile(std::string(FEEDPROBE_TEST_FIXTURES_DIR) + "/test_extension.so",
                            folder_.bin() + "test_extension.so");
  EXPECT_EQ(Init("ExtensionDll=test_extension.so\n"), 0);
}

TEST_F(Startup, SmallEntryPoints) {
  ASSERT_EQ(Init("SamplingRate=3000\n"), 0);
  auto set_rate = plugin_->Get<decltype(::SetMonitorRate)>("SetMonitorRate");
  struct Step {
    uint32_t proposed;
    int32_t result;
    uint32_t after;
  } steps[] = {{1000, 0, 3000}, {5000, -1, 5000}, {3000, 0, 5000}, {5000, -1, 5000}};
  for (const Step& step : steps) {
    uint32_t rate = step.proposed;
    EXPECT_EQ(set_rate(&rate), step.result) << step.proposed;
    EXPECT_EQ(rate, step.after);
  }
  auto free_text = plugin_->Get<decltype(::FreeMonitorStringAllocation)>("FreeMonitorStringAllocation");
  char* text = nullptr;
  free_text(&text);
  EXPECT_EQ(text, nullptr);
  plugin_->Get<decltype(::CancelAdd)>("CancelAdd")();
}

}  // namespace
