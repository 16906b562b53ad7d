// Environment variables and process identity.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The variable's value, or none when it does not exist (an empty value exists).
std::optional<std::string> EnvironmentValue(const char* name);

// The name of this computer (its host name), at most 15 characters as hosts expect.
std::string ComputerName();

// Identifier of the current process.
uint32_t CurrentProcessId();

}  // namespace platform
