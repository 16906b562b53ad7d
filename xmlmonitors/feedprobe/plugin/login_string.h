// The login string and its scrambled form.
//
// The login string carries user name, password, port, HTTPS choice and optionally an account
// in attribute style: username="u" password="p" port="8080" useHttps="1" account="a".
// Values are inserted verbatim. On its way through the host it travels scrambled: lowercase
// hexadecimal of a 4-byte big-endian seed (the time of encoding) followed by the string's
// bytes, each passed through ScrambleByte under a state that starts at the seed.
#pragma once

#include <cstdint>
#include <string>

namespace feedprobe {

// Builds the four-field form, or the five-field form when account is given (even empty).
// Null texts count as empty.
std::string FormatUserData(const char* user, const char* password, const char* port,
                           const char* use_https, const char* account = nullptr);

// Splits a login string (also the two-field form of earlier releases). A text shorter than
// the empty two-field form fills nothing; a value whose key is missing, and every value after
// it, comes back empty, and the value before it runs to the end.
void ParseUserData(const char* text, std::string* user, std::string* password, std::string* port,
                   std::string* use_https, std::string* account);

// One byte through the scrambler; the same call with the same state sequence undoes it.
uint8_t ScrambleByte(uint8_t byte, uint32_t& state);

// The scrambled form in the shared heap (release with platform::SharedFree), or null when
// memory is short. length -1 takes the text up to its NUL; a null text codes as the seed
// alone, the empty text as the seed followed by "e".
char* EncodeLoginString(const char* text, int32_t length);
char* EncodeLoginStringAt(const char* text, int32_t length, uint32_t seconds);

// The login string of a scrambled form in the shared heap; anything that is not a complete
// scrambled form comes back as it is. Null for a null text or a bare seed.
char* DecodeLoginString(const char* text, int32_t* length);

}  // namespace feedprobe
