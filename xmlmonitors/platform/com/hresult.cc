#include "platform/com/hresult.h"

#include <cstdio>

namespace platform {

std::string HresultText(HRESULT hr) {
  const char* text = "Unknown error";
  switch (static_cast<uint32_t>(hr)) {
    case 0: text = "The operation completed successfully"; break;
    case 1: text = "The operation completed with a false result"; break;
    case 0x80004001u: text = "Not implemented"; break;
    case 0x80004002u: text = "No such interface supported"; break;
    case 0x80004003u: text = "Invalid pointer"; break;
    case 0x80004005u: text = "Unspecified error"; break;
    case 0x8000FFFFu: text = "Catastrophic failure"; break;
    case 0x8007000Eu: text = "Not enough memory"; break;
    case 0x80070057u: text = "The parameter is incorrect"; break;
    case 0x80070005u: text = "Access is denied"; break;
    case 0x80040110u: text = "Class does not support aggregation"; break;
    case 0x80040111u: text = "Class factory cannot supply the requested class"; break;
    case 0x80040154u: text = "Class not registered"; break;
    case 0x80040151u: text = "Could not write to the registry"; break;
    case 0x800401F3u: text = "Invalid class string"; break;
    case 0x800401F8u: text = "The component library was not found"; break;
    case 0x800401F9u: text = "The component library has no class entry"; break;
    case 0x80020003u: text = "Member not found"; break;
    case 0x80020005u: text = "Type mismatch"; break;
    case 0x80020006u: text = "Unknown name"; break;
    case 0x8002000Eu: text = "Invalid number of parameters"; break;
    case 0x8002000Fu: text = "Parameter not optional"; break;
  }
  char code[16];
  std::snprintf(code, sizeof code, "0x%08X", static_cast<uint32_t>(hr));
  return std::string(text) + " (" + code + ")";
}

}  // namespace platform
