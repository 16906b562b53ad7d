#include "feedprobe/plugin/property_document.h"

#include "feedprobe/xml/performance_monitor.h"

namespace feedprobe {

using platform::xml::XmlNode;

PropertyDocument::PropertyDocument() {
  if (!document_.Created()) error_ = "The XML document for the properties could not be created.";
}

bool PropertyDocument::Load(const std::string& xml) {
  loaded_ = false;
  if (!document_.Created()) return false;
  if (!document_.LoadXml(xml)) {
    error_ = "Error Loading XML.";
    return false;
  }
  loaded_ = true;
  return true;
}

bool PropertyDocument::GetProperty(const std::string& name, std::string& value) {
  value.clear();
  XmlNode root = document_.DocumentElement();
  if (!loaded_ || !root) {
    error_ = "The properties are not loaded.";
    return false;
  }
  // XPath literals have no escapes: the quotation mark is one the name does not hold.
  if (name.find('\'') != std::string::npos && name.find('"') != std::string::npos) return true;
  const std::string quote(1, QuoteFor(name));
  std::string query = "//prop[@name=" + quote + name + quote + "]";
  XmlNode prop = root.SelectSingleNode(query);
  if (!prop) return true;
  if (XmlNode text = prop.SelectSingleNode("value")) value = text.Text();
  return true;
}

bool PropertyDocument::GetConnectionProperties(std::string& port, std::string& use_https) {
  bool port_read = GetProperty("port", port);
  bool use_https_read = GetProperty("useHttps", use_https);
  return port_read && use_https_read;
}

bool PropertyDocument::GetAccountProperty(std::string& account) {
  return GetProperty("account", account);
}

}  // namespace feedprobe
