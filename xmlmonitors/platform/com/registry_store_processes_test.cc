// The registry store shared by processes: concurrent changes from two processes all land, and
// a process killed at any moment while writing leaves a complete store, the old or the new.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "platform/com/registry_store.h"
#include "support/program_folder.h"

namespace {

using platform::RegistryData;
using platform::RegistryStore;

// Runs body in a child process; the child's exit code is 0 when body returned true.
pid_t Fork(const std::function<bool()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  return pid;
}

int ExitCode(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string Key(int process, int i) {
  return "CLSID\\P" + std::to_string(process) + "\\K" + std::to_string(i);
}

TEST(RegistryStoreProcesses, TwoProcessesRegisteringAndUnregisteringAtOnce) {
  testing_support::ProgramFolder folder;
  RegistryStore store(folder.root() + "/registry");
  const int kChanges = 30;
  pid_t children[2];
  for (int process = 0; process < 2; ++process) {
    children[process] = Fork([&store, process] {
      for (int i = 0; i < kChanges; ++i) {
        // Register a key, and unregister every other one again.
        platform::HRESULT added = store.Update([&](RegistryData& data) {
          data.CreateKey(Key(process, i));
          data.SetString(Key(process, i), "", "value");
          return platform::S_OK;
        });
        if (platform::FAILED(added)) return false;
        if (i % 2 == 1 && platform::FAILED(store.Update([&](RegistryData& data) {
              data.DeleteKeyTree(Key(process, i));
              return platform::S_OK;
            })))
          return false;
      }
      return true;
    });
  }
  for (pid_t child : children) ASSERT_EQ(ExitCode(child), 0);
  RegistryData data = store.Read();
  for (int process = 0; process < 2; ++process)
    for (int i = 0; i < kChanges; ++i)
      EXPECT_EQ(data.KeyExists(Key(process, i)), i % 2 == 0) << Key(process, i);
}

TEST(RegistryStoreProcesses, KilledWriterLeavesACompleteStore) {
  testing_support::ProgramFolder folder;
  RegistryStore store(folder.root() + "/registry");
  // Each write carries a generation at its first and its last key with much between, so
  // that a partly written store shows as a missing or different last generation.
  const std::string filler(64 * 1024, 'x');
  auto write_generation = [&store, &filler](int generation) {
    return store.Update([&](RegistryData& data) {
      std::string text = std::to_string(generation);
      data.CreateKey("A\\First");
      data.SetString("A\\First", "generation", text);
      for (int i = 0; i < 16; ++i) {
        data.CreateKey("M\\Filler" + std::to_string(i));
        data.SetString("M\\Filler" + std::to_string(i), "", filler + text);
      }
      data.CreateKey("Z\\Last");
      data.SetString("Z\\Last", "generation", text);
      return platform::S_OK;
    });
  };
  ASSERT_TRUE(platform::SUCCEEDED(write_generation(0)));

  std::mt19937 random(20261211);
  int last_seen = 0;
  for (int round = 0; round < 20; ++round) {
    pid_t child = Fork([&] {
      for (int generation = 1;; ++generation)
        if (platform::FAILED(write_generation(last_seen * 1000 + generation))) return false;
    });
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    kill(child, SIGKILL);
    EXPECT_EQ(ExitCode(child), 128 + SIGKILL);

    RegistryData data = store.Read();
    auto first = data.GetValue("A\\First", "generation");
    auto last = data.GetValue("Z\\Last", "generation");
    ASSERT_TRUE(first && last) << "round " << round;
    ASSERT_EQ(first->text, last->text) << "round " << round;
    for (int i = 0; i < 16; ++i) {
      auto filler_value = data.GetValue("M\\Filler" + std::to_string(i), "");
      ASSERT_TRUE(filler_value) << "round " << round;
      EXPECT_EQ(filler_value->text, filler + first->text);
    }
    last_seen = std::atoi(first->text.c_str());
  }
  // The store still takes changes once its writers are gone.
  EXPECT_TRUE(platform::SUCCEEDED(write_generation(-1)));
  EXPECT_EQ(store.Read().GetValue("Z\\Last", "generation")->text, "-1");
}

}  // namespace
