// Start-up and shut-down through the exported functions of staged plug-in copies.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/plugin_copy.h"
#include "support/program_folder.h"

using testing::HasSubstr;
using testing::StartsWith;
using testing_support::PluginCopy;
using testing_support::ProgramFolder;

namespace {

// The sampling rate a copy runs with: SetMonitorRate refuses 0 and hands the current rate back.
uint32_t CurrentRate(const PluginCopy& plugin) {
  uint32_t rate = 0;
  plugin.Get<decltype(::SetMonitorRate)>("SetMonitorRate")(&rate);
  return rate;
}

TEST(Lifecycle, MonitorTypeIsTheFileNameWithoutItsLastExtension) {
  ProgramFolder folder;
  folder.WriteMonitorConfig("alpha.beta.ini", "[alpha.beta]\nSamplingRate=4321\n");
  PluginCopy plugin(folder, "alpha.beta");
  int32_t loaded = 99;
  std::string text = "untouched";
  EXPECT_EQ(plugin.Init(&text, &loaded), 0);
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(CurrentRate(plugin), 4321u);
  plugin.Terminate();
}

TEST(Lifecycle, OwnFileWinsOverTheSharedFile) {
  ProgramFolder folder;
  folder.WriteMonitorConfig("alpha.ini", "[alpha]\nSamplingRate=4000\n");
  folder.WriteMonitorConfig("XMLMonitorShared.ini", "[alpha]\nSamplingRate=9000\n");
  PluginCopy plugin(folder, "alpha");
  ASSERT_EQ(plugin.Init(), 0);
  EXPECT_EQ(CurrentRate(plugin), 4000u);
  plugin.Terminate();
}

TEST(Lifecycle, SharedFileIsReadInTheMonitorTypesSection) {
  ProgramFolder folder;
  folder.WriteMonitorConfig("XMLMonitorShared.ini",
                            "[other]\nSamplingRate=7000\n[ALPHA]\nSamplingRate=9000\n");
  PluginCopy plugin(folder, "alpha");
  ASSERT_EQ(plugin.Init(), 0);
  EXPECT_EQ(CurrentRate(plugin), 9000u);
  plugin.Terminate();
}

TEST(Lifecycle, MissingConfigurationFails) {
  ProgramFolder folder;
  PluginCopy plugin(folder, "alpha");
  std::string text;
  int32_t loaded = 99;
  EXPECT_EQ(plugin.Init(&text, &loaded), 2);
  EXPECT_THAT(text, HasSubstr("No monitor configuration file"));
  EXPECT_THAT(text, HasSubstr("InitMonitor"));
  EXPECT_EQ(loaded, 99);
  plugin.Terminate();
  plugin.Terminate();
}

TEST(Lifecycle, MissingCatalogueGivesTheFixedText) {
  ProgramFolder folder;
  folder.WriteMonitorConfig("alpha.ini", "[alpha]\n");
  folder.Remove("dat/vk_mon_xml_msgs.e2");
  PluginCopy plugin(folder, "alpha");
  std::string text;
  EXPECT_EQ(plugin.Init(&text), 2);
  EXPECT_EQ(text, "Error can not open resource file " + folder.bin() + "../dat/vk_mon_xml_msgs.e2.");
}

TEST(Lifecycle, MonitorTypeLongerThan63CharactersIsRefused) {
  ProgramFolder folder;
  std::string type(64, 't');
  folder.WriteMonitorConfig(type + ".ini", "[" + type + "]\n");
  PluginCopy plugin(folder, type);
  std::string text;
  EXPECT_EQ(plugin.Init(&text), 2);
  EXPECT_THAT(text, HasSubstr(type));
  EXPECT_THAT(text, HasSubstr("longer than 63"));

  std::string fits(63, 'f');
  folder.WriteMonitorConfig(fits + ".ini", "[" + fits + "]\n");
  PluginCopy fitting(folder, fits);
  EXPECT_EQ(fitting.Init(), 0);
  fitting.Terminate();
}

TEST(Lifecycle, FailureTextRespectsTheBufferCapacity) {
  ProgramFolder folder;
  PluginCopy plugin(folder, "alpha");
  auto init = plugin.Get<decltype(::InitMonitor)>("InitMonitor");
  std::string full;
  ASSERT_EQ(plugin.Init(&full), 2);
  ASSERT_GT(full.size(), 16u);

  std::vector<char> buffer(32, 'x');
  EXPECT_EQ(init(0, 0, 0, 0, nullptr, buffer.data(), 0), 2);
  EXPECT_EQ(std::string(buffer.data(), buffer.size()), std::string(32, 'x'));

  EXPECT_EQ(init(0, 0, 0, 0, nullptr, buffer.data(), 1), 2);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'x');

  EXPECT_EQ(init(0, 0, 0, 0, nullptr, buffer.data(), 16), 2);
  EXPECT_EQ(std::string(buffer.data()), full.substr(0, 15));
  EXPECT_EQ(buffer[16], 'x');
}

TEST(Lifecycle, RepeatedStartAndStopDoNoHarm) {
  ProgramFolder folder;
  folder.WriteMonitorConfig("alpha.ini", "[alpha]\n");
  PluginCopy plugin(folder, "alpha");
  plugin.Terminate();
  ASSERT_EQ(plugin.Init(), 0);
  ASSERT_EQ(plugin.Init(), 0);
  plugin.Terminate();
  plugin.Terminate();
  ASSERT_EQ(plugin.Init(), 0);
  plugin.Terminate();
}

TEST(Lifecycle, TwoCopiesInOneProcessKeepTheirOwnState) {
  ProgramFolder folder;
  folder.WriteMonitorConfig("alpha.ini", "[alpha]\nSamplingRate=4000\n");
  folder.WriteMonitorConfig("beta.ini", "[beta]\nSamplingRate=6000\n");
  PluginCopy alpha(folder, "alpha");
  PluginCopy beta(folder, "beta");
  ASSERT_EQ(alpha.Init(), 0);
  ASSERT_EQ(beta.Init(), 0);
  EXPECT_EQ(CurrentRate(alpha), 4000u);
  EXPECT_EQ(CurrentRate(beta), 6000u);

  uint32_t raised = 8000;
  EXPECT_EQ(alpha.Get<decltype(::SetMonitorRate)>("SetMonitorRate")(&raised), -1);
  EXPECT_EQ(CurrentRate(alpha), 8000u);
  EXPECT_EQ(CurrentRate(beta), 6000u);
  alpha.Terminate();
  beta.Terminate();
}

TEST(Lifecycle, OnlyTheInterfaceIsExported) {
  ProgramFolder folder;
  PluginCopy plugin(folder, "alpha");
  void* handle = dlopen(plugin.path().c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr);
  EXPECT_NE(dlsym(handle, "InitMonitor"), nullptr);
  EXPECT_NE(dlsym(handle, "_ZTV16CVkBaseException"), nullptr);
  EXPECT_EQ(dlsym(handle, "_ZN9feedprobe5StateEv"), nullptr);
  dlclose(handle);
}

}  // namespace
