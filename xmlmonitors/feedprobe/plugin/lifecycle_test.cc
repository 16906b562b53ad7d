// Start-up settings that no export shows: run against the unit test executable itself,
// whose file name is its monitor type.
#include "feedprobe/plugin/lifecycle.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "feedprobe/plugin/plugin_state.h"
#include "platform/os/paths.h"

namespace feedprobe {
namespace {

class StartupSettings : public testing::Test {
 protected:
  void SetUp() override {
    root_ = (std::filesystem::temp_directory_path() / "feedprobe-unit-XXXXXX").string();
    ASSERT_NE(mkdtemp(root_.data()), nullptr);
    std::filesystem::create_directories(root_ + "/bin");
    std::filesystem::create_directories(root_ + "/dat/monitors");
    std::ofstream(root_ + "/dat/vk_mon_xml_msgs.e2") << "-47598 missing %1\n";
    setenv("FEEDPROBE_PROGRAM_DIR", (root_ + "/bin").c_str(), 1);
    type_ = platform::FileNameOf(platform::ModulePath());
    State().debug_list_url.clear();
    State().debug_data_url.clear();
  }
  void TearDown() override {
    TerminateMonitor();
    unsetenv("FEEDPROBE_PROGRAM_DIR");
    std::filesystem::remove_all(root_);
  }
  void WriteConfig(const std::string& body) {
    std::ofstream(root_ + "/dat/monitors/" + type_ + ".ini") << "[" << type_ << "]\n" << body;
  }
  std::string root_, type_;
};

TEST_F(StartupSettings, DebugUrlsOnlyInDebugMode) {
  WriteConfig("DebugMode=0\nDebugListFile=/tmp/list.xml\nDebugDataFile=/tmp/data.xml\n");
  ASSERT_EQ(InitMonitor(nullptr, nullptr, 0), 0);
  EXPECT_FALSE(State().debug_mode);
  EXPECT_EQ(State().debug_list_url, "");
  EXPECT_EQ(State().debug_data_url, "");

  WriteConfig("DebugMode=1\nDebugListFile=/tmp/list.xml\nDebugDataFile=\n");
  ASSERT_EQ(InitMonitor(nullptr, nullptr, 0), 0);
  EXPECT_TRUE(State().debug_mode);
  EXPECT_EQ(State().debug_list_url, "file:///tmp/list.xml");
  EXPECT_EQ(State().debug_data_url, "");
}

TEST_F(StartupSettings, FlagsAndRate) {
  WriteConfig("QueryLoginInfo=1\nRefreshMetricList=yes\nShowNameWhenNoDescription=2\n");
  State().sampling_rate = 3000;
  ASSERT_EQ(InitMonitor(nullptr, nullptr, 0), 0);
  EXPECT_TRUE(State().query_login_info);
  EXPECT_FALSE(State().refresh_metric_list);  // a non-number reads as 0
  EXPECT_TRUE(State().show_name_when_no_description);
  EXPECT_EQ(State().sampling_rate.load(), 3000u);
  ASSERT_TRUE(State().registry);
  ASSERT_TRUE(State().saved_numeric_locale);
  TerminateMonitor();
  EXPECT_FALSE(State().registry);
  EXPECT_FALSE(State().saved_numeric_locale);
}

TEST_F(StartupSettings, NonNumericSamplingRateReadsAsZero) {
  WriteConfig("SamplingRate=fast\n");
  ASSERT_EQ(InitMonitor(nullptr, nullptr, 0), 0);
  EXPECT_EQ(State().sampling_rate.load(), 0u);
  State().sampling_rate = 3000;
}

TEST_F(StartupSettings, ExtensionEntryIsFoundInTheProgramFolder) {
  std::filesystem::copy_file(std::string(FEEDPROBE_TEST_FIXTURES_DIR) + "/test_extension.so",
                             root_ + "/bin/test_extension.so");
  WriteConfig("ExtensionDll=test_extension.so\n");
  ASSERT_EQ(InitMonitor(nullptr, nullptr, 0), 0);
  ASSERT_NE(State().start_pullhub, nullptr);
  int32_t port = 80;
  char text[2000] = {};
  setenv("FEEDPROBE_TEST_EXTENSION_PORT", "9001", 1);
  EXPECT_EQ(State().start_pullhub("localhost", &port, text), 1);
  unsetenv("FEEDPROBE_TEST_EXTENSION_PORT");
  EXPECT_EQ(port, 9001);
  ASSERT_TRUE(State().transport);
  TerminateMonitor();
  EXPECT_FALSE(State().transport);

  WriteConfig("ExtensionDll=missing-extension.so\n");
  State().start_pullhub = nullptr;
  ASSERT_EQ(InitMonitor(nullptr, nullptr, 0), 0);
  EXPECT_EQ(State().start_pullhub, nullptr);
}

}  // namespace
}  // namespace feedprobe
