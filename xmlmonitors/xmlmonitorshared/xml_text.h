// Text placed into XML markup.
#pragma once

#include <string>

// The text with &, <, >, " and ' written as entities, safe in content and attribute values.
std::string EscapeXml(const std::string& text);
