#include "catalogue.h"

#include <cstdlib>

#include "errors.h"

namespace fphost {
namespace {

void AppendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Replaces the predefined and numeric character references of an attribute value.
std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    size_t end = text[i] == '&' ? text.find(';', i) : std::string::npos;
    if (end == std::string::npos) {
      out += text[i];
      continue;
    }
    std::string entity = text.substr(i + 1, end - i - 1);
    if (entity == "lt") out += '<';
    else if (entity == "gt") out += '>';
    else if (entity == "amp") out += '&';
    else if (entity == "quot") out += '"';
    else if (entity == "apos") out += '\'';
    else if (entity.size() > 1 && entity[0] == '#') {
      bool hex = entity[1] == 'x' || entity[1] == 'X';
      AppendUtf8(out, std::strtoul(entity.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10));
    } else {
      out += text.substr(i, end - i + 1);
    }
    i = end;
  }
  return out;
}

bool IsNameChar(char c) {
  return c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '=' && c != '>' && c != '/';
}

}  // namespace

std::vector<Counter> ParseCollection(const std::string& xml) {
  std::vector<Counter> counters;
  size_t at = 0;
  while ((at = xml.find('<', at)) != std::string::npos) {
    // Comments, processing instructions and character data hold no counters.
    if (xml.compare(at, 4, "<!--") == 0) {
      at = xml.find("-->", at);
      continue;
    }
    if (xml.compare(at, 9, "<![CDATA[") == 0) {
      at = xml.find("]]>", at);
      continue;
    }
    size_t name_end = at + 1;
    while (name_end < xml.size() && IsNameChar(xml[name_end])) ++name_end;
    bool is_counter = xml.compare(at + 1, name_end - at - 1, "counter") == 0;
    Counter counter;
    size_t i = name_end;
    // Attributes up to the end of the tag; quoted values may hold '>'.
    while (i < xml.size() && xml[i] != '>') {
      if (!IsNameChar(xml[i])) {
        ++i;
        continue;
      }
      size_t attribute_start = i;
      while (i < xml.size() && IsNameChar(xml[i])) ++i;
      std::string attribute = xml.substr(attribute_start, i - attribute_start);
      while (i < xml.size() && (xml[i] == ' ' || xml[i] == '=' || xml[i] == '\t')) ++i;
      if (i >= xml.size() || (xml[i] != '"' && xml[i] != '\'')) continue;
      char quote = xml[i];
      size_t value_end = xml.find(quote, i + 1);
      if (value_end == std::string::npos) return counters;
      std::string value = Unescape(xml.substr(i + 1, value_end - i - 1));
      i = value_end + 1;
      if (!is_counter) continue;
      if (attribute == "id") counter.id = value;
      else if (attribute == "OnlinePresentationName") counter.path = value;
      else if (attribute == "desc") counter.description = value;
    }
    if (is_counter && !counter.id.empty()) counters.push_back(std::move(counter));
    at = i;
  }
  return counters;
}

std::string Shown(const std::string& path) {
  std::string out;
  const std::string marker = "$quot;";
  for (size_t i = 0; i < path.size();) {
    if (path.compare(i, marker.size(), marker) == 0) {
      out += '"';
      i += marker.size();
    } else {
      out += path[i++];
    }
  }
  return out;
}

std::vector<Counter> LoadCollection(const Plugin& plugin, const Login& login,
                                    const std::string& host, std::string* xml) {
  HostLoginRecord record = LoginRecord(login, host);
  std::string properties = PropertiesText(login, host);
  PluginText output(plugin);
  FailureText failure;
  int32_t result = plugin.get_measurements_collection(
      &record, properties.empty() ? nullptr : properties.c_str(), output.out(), failure.text,
      failure.capacity());
  if (result != 0) {
    std::string text = failure.str();
    throw HostError(host + ": the counters cannot be read" +
                    (text.empty() ? std::string(".") : ": " + text));
  }
  std::string document = output.str();
  if (xml != nullptr) *xml = document;
  return ParseCollection(document);
}

}  // namespace fphost
