#include "platform/os/process.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace platform {
namespace {

TEST(SplitCommandLine, WindowsQuotingRules) {
  struct Case {
    const char* line;
    std::vector<std::string> arguments;
  } cases[] = {
      {"java -classpath a.jar Main", {"java", "-classpath", "a.jar", "Main"}},
      {"  spaced\t out  ", {"spaced", "out"}},
      {R"("C:\Program Files\java" -x)", {R"(C:\Program Files\java)", "-x"}},
      {R"(-classpath "a b;c" x)", {"-classpath", "a b;c", "x"}},
      {R"(a\\b c\d)", {R"(a\\b)", R"(c\d)"}},
      {R"(a\"b)", {R"(a"b)"}},
      {R"(a\\"b c" d)", {R"(a\b c)", "d"}},
      {R"(a\\\"b)", {R"(a\"b)"}},
      {R"("vendor ""x""")", {R"(vendor "x")"}},
      {R"("" empty)", {"", "empty"}},
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.arguments) << c.line;
}

TEST(Process, RunsWithoutAShellInTheWorkingFolder) {
  std::string dir = (std::filesystem::temp_directory_path() / "feedprobe-proc-XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  std::string error;
  // The ";" reaches the program as text: no shell sees it.
  auto process = Process::Start(R"(sh -c "pwd > out.txt; exit 3" ";touch" injected)", dir, &error);
  ASSERT_TRUE(process) << error;
  int code = -1;
  ASSERT_TRUE(process->Wait(10000, &code));
  EXPECT_EQ(code, 3);
  std::ifstream out(dir + "/out.txt");
  std::string pwd;
  std::getline(out, pwd);
  EXPECT_EQ(std::filesystem::canonical(pwd), std::filesystem::canonical(dir));
  EXPECT_FALSE(std::filesystem::exists(dir + "/injected"));
  std::filesystem::remove_all(dir);
}

TEST(Process, MissingProgramFailsAndLongRunnerCanBeKilled) {
  std::string error;
  EXPECT_FALSE(Process::Start("/nonexistent/feedprobe-java -version", "", &error));
  EXPECT_FALSE(error.empty());
  auto sleeper = Process::Start("sleep 30", "", &error);
  ASSERT_TRUE(sleeper);
  int code = 0;
  EXPECT_FALSE(sleeper->Wait(50, &code));
  sleeper->Kill();
  EXPECT_TRUE(sleeper->Wait(0, &code));
}

}  // namespace
}  // namespace platform
