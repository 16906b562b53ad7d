#include "platform/support/message_catalogue.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace platform {
namespace {

class CatalogueTest : public testing::Test {
 protected:
  void SetUp() override {
    base_ = (std::filesystem::temp_directory_path() / "feedprobe-msgs-XXXXXX").string();
    int fd = mkstemp(base_.data());
    ASSERT_GE(fd, 0);
    close(fd);
    std::ofstream(base_ + ".e2") << "# comment\n"
                                    "-1 Host %1 port %2 says %3\n"
                                    "-2 %s %d %n 100%% done\\nnext\n"
                                    "-3 Cannot reach %1.%[ (%2)%]\n"
                                    "-4 Only %9 here\n";
    ASSERT_EQ(catalogue_.AddFile(base_), 0);
  }
  void TearDown() override {
    std::filesystem::remove(base_);
    std::filesystem::remove(base_ + ".e2");
  }
  std::string base_;
  MessageCatalogue catalogue_;
};

TEST_F(CatalogueTest, FormatsTypedArguments) {
  EXPECT_EQ(catalogue_.Format(-1, {"srv", 8080, nullptr}), "Host srv port 8080 says ");
  // printf directives in the file are plain text: they never read an argument.
  EXPECT_EQ(catalogue_.Format(-2, {"x", 1}), "%s %d %n 100% done\nnext");
  EXPECT_EQ(catalogue_.Format(-4, {"a"}), "Only  here");
}

TEST_F(CatalogueTest, OptionalGroupNeedsItsArguments) {
  EXPECT_EQ(catalogue_.Format(-3, {"srv:80", "connect"}), "Cannot reach srv:80. (connect)");
  EXPECT_EQ(catalogue_.Format(-3, {"srv:80"}), "Cannot reach srv:80.");
}

TEST_F(CatalogueTest, UnknownNumberStillCarriesNumberAndArguments) {
  EXPECT_EQ(catalogue_.Format(-99, {"srv", 42}), "Message -99: srv; 42");
  catalogue_.RemoveFile(base_);
  EXPECT_EQ(catalogue_.Format(-1, {}), "Message -1");
}

TEST(Catalogue, MissingFileFailsToRegister) {
  MessageCatalogue catalogue;
  EXPECT_NE(catalogue.AddFile("/nonexistent/feedprobe/msgs"), 0);
}

}  // namespace
}  // namespace platform
