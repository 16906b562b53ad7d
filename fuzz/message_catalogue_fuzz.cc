// The catalogue file loader and the formatter: an arbitrary catalogue file, every message it
// may hold formatted with no, some and more arguments than it names.
#include "fuzz_support.h"
#include "platform/support/message_catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz_support::ScratchFile file(".e2");
  std::string path = file.path().substr(0, file.path().size() - 3);
  file.Write(data, size);
  platform::MessageCatalogue catalogue;
  catalogue.Init();
  catalogue.AddFile(path);
  for (int32_t number : {0, 1, -1, 12, -47596, -47597, 2147483647, -2147483647 - 1}) {
    (void)catalogue.Format(number, {});
    (void)catalogue.Format(number, {"text", 42});
    (void)catalogue.Format(number, {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", -1});
  }
  // The numbers the file itself names.
  std::string text = fuzz_support::Text(data, size);
  size_t start = 0;
  for (int lines = 0; start < text.size() && lines < 64; ++lines) {
    size_t end = text.find('\n', start);
    char* stop = nullptr;
    long number = std::strtol(text.c_str() + start, &stop, 10);
    (void)catalogue.Format(static_cast<int32_t>(number), {"x", 1});
    if (end == std::string::npos) break;
    start = end + 1;
  }
  catalogue.RemoveFile(path);
  catalogue.Destroy();
  return 0;
}
