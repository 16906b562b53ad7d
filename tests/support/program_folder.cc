#include "support/program_folder.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace testing_support {

ProgramFolder::ProgramFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "feedprobe-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  std::filesystem::create_directories(root_ + "/bin");
  std::filesystem::create_directories(root_ + "/dat/monitors");
#ifdef FEEDPROBE_STAGE_DIR
  CopyFile(std::string(FEEDPROBE_STAGE_DIR) + "/dat/vk_mon_xml_msgs.e2",
           root_ + "/dat/vk_mon_xml_msgs.e2");
#endif
  setenv("FEEDPROBE_PROGRAM_DIR", bin().c_str(), 1);
}

ProgramFolder::~ProgramFolder() {
  unsetenv("FEEDPROBE_PROGRAM_DIR");
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

void ProgramFolder::Write(const std::string& relative_path, const std::string& content) const {
  std::filesystem::path path = std::filesystem::path(root_) / relative_path;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

void ProgramFolder::Remove(const std::string& relative_path) const {
  std::filesystem::remove(std::filesystem::path(root_) / relative_path);
}

void CopyFile(const std::string& from, const std::string& to) {
  // A new file under the name: a library still mapped from the old one stays intact.
  std::string temporary = to + ".partial";
  std::filesystem::copy_file(from, temporary, std::filesystem::copy_options::overwrite_existing);
  std::filesystem::rename(temporary, to);
}

}  // namespace testing_support
