// The host's monitor properties: an XML text in which each property is an element
// <prop name="..."><value>...</value></prop>. Reads port, HTTPS choice and account from it.
#pragma once

#include <string>

#include "platform/xml/dom.h"

namespace feedprobe {

class PropertyDocument {
 public:
  // Creates the document; when the engine cannot, ErrorText() says so and loads fail.
  PropertyDocument();

  // Parses the properties text; "Error Loading XML." when it is not well-formed.
  bool Load(const std::string& xml);

  // The text of the `value` child of the first `prop` element with that name; "" when there is
  // no such property or it has no value. A name holding both kinds of quotation mark cannot be
  // written in the query and finds no property. False only before a successful load.
  bool GetProperty(const std::string& name, std::string& value);

  // `port` and `useHttps`; true only when both were read.
  bool GetConnectionProperties(std::string& port, std::string& use_https);
  // `account`.
  bool GetAccountProperty(std::string& account);

  const std::string& ErrorText() const { return error_; }

 private:
  platform::xml::XmlDocument document_;
  bool loaded_ = false;
  std::string error_;
};

}  // namespace feedprobe
