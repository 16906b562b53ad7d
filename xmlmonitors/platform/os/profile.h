// Reader for initialisation files with the rules of Windows private-profile reading:
// case-insensitive section and key names, blanks around names and values and one pair of
// enclosing quotation marks stripped, ";" comment lines, a missing file, section or key
// gives the default, strings cut to the read size minus one, integers by leading number.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The key's value (or the default) cut to read_size - 1 bytes; a read size below 1 gives "".
std::string ReadProfileString(const std::string& file, const std::string& section,
                              const std::string& key, const char* default_value,
                              int32_t read_size);

// The number the key's value begins with (optional sign, decimal digits); a value that is
// not a number reads as 0; a missing or empty value gives the default.
int32_t ReadProfileInt(const std::string& file, const std::string& section,
                       const std::string& key, int32_t default_value);

}  // namespace platform
