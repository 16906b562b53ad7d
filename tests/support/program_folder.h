// A temporary installation for one test: <root>/bin/ is the host's program folder
// (FEEDPROBE_PROGRAM_DIR points at it), <root>/dat/ holds the catalogue and monitors/.
#pragma once

#include <string>

namespace testing_support {

class ProgramFolder {
 public:
  ProgramFolder();
  ~ProgramFolder();
  ProgramFolder(const ProgramFolder&) = delete;
  ProgramFolder& operator=(const ProgramFolder&) = delete;

  const std::string& root() const { return root_; }
  std::string bin() const { return root_ + "/bin/"; }
  std::string monitors() const { return root_ + "/dat/monitors/"; }

  // Writes a file under the root (folders are created).
  void Write(const std::string& relative_path, const std::string& content) const;
  void Remove(const std::string& relative_path) const;
  // Writes dat/monitors/<file_name>.
  void WriteMonitorConfig(const std::string& file_name, const std::string& content) const {
    Write("dat/monitors/" + file_name, content);
  }

 private:
  std::string root_;
};

// Copies a file byte for byte.
void CopyFile(const std::string& from, const std::string& to);

}  // namespace testing_support
