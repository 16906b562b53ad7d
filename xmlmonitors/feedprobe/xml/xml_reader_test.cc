#include "feedprobe/xml/xml_reader.h"

#include <gtest/gtest.h>

namespace feedprobe {
namespace {

using platform::xml::XmlDocument;
using platform::xml::XmlNode;

TEST(XmlReader, ReadsNodeTextBelowTheRoot) {
  CXmlReader reader;
  ASSERT_TRUE(reader.LoadXml("<Request><LongMachineName>host.example.com</LongMachineName>"
                             "<Empty/></Request>"));
  XmlNode node;
  ASSERT_TRUE(CXmlReader::GetNode(reader.GetRoot(), reader, "./LongMachineName", node));
  std::string text;
  ASSERT_TRUE(CXmlReader::GetText(node, reader, text));
  EXPECT_EQ(text, "host.example.com");

  // Without a context node the query starts at the root; a node without text gives "".
  ASSERT_TRUE(CXmlReader::GetNode(XmlNode(), reader, "./Empty", node));
  text = "stale";
  EXPECT_TRUE(CXmlReader::GetText(node, reader, text));
  EXPECT_EQ(text, "");

  // Nothing selected, or a refused query: false, not an error; no node leaves the text alone.
  EXPECT_FALSE(CXmlReader::GetNode(XmlNode(), reader, "./Missing", node));
  EXPECT_FALSE(CXmlReader::GetNode(XmlNode(), reader, "][", node));
  EXPECT_EQ(reader.GetErrorCode(), 0);
  text = "kept";
  EXPECT_FALSE(CXmlReader::GetText(XmlNode(), reader, text));
  EXPECT_EQ(text, "kept");
}

TEST(XmlReader, ParseErrorCarriesTheParserCode) {
  const std::string broken = "<Request><open></Request>";
  XmlDocument reference;
  ASSERT_FALSE(reference.LoadXml(broken));

  CXmlReader reader;
  ASSERT_TRUE(reader.LoadXml("<Old/>"));
  EXPECT_FALSE(reader.LoadXml(broken));
  EXPECT_EQ(reader.GetErrorText(), "CXmlReader::Init Xml parse error code");
  EXPECT_EQ(reader.GetErrorTextSize(),
            static_cast<int32_t>(sizeof("CXmlReader::Init Xml parse error code")));
  EXPECT_NE(reader.GetErrorCode(), 0);
  EXPECT_EQ(reader.GetErrorCode(), reference.ParseError().code);
  // The root of the earlier document is gone with it.
  EXPECT_FALSE(reader.GetRoot());
}

TEST(XmlReader, MissingDocumentRootOrPath) {
  struct Case {
    const char* name;
    bool (*run)(CXmlReader&);
    const char* text;
    int32_t code;
  } cases[] = {
      {"GetNode before any load",
       [](CXmlReader& r) {
         XmlNode node;
         return CXmlReader::GetNode(XmlNode(), r, "/a", node);
       },
       "Xml reader not initiated.", -1},
      {"GetNode on a document without root",
       [](CXmlReader& r) {
         XmlNode node;
         return r.Create() && CXmlReader::GetNode(XmlNode(), r, "/a", node);
       },
       "CXmlReader::GetNode Bad parameter", -2},
      {"Load of an empty path", [](CXmlReader& r) { return r.Load(""); },
       "CXmlReader::Load Bad parameter", -2},
  };
  for (const Case& c : cases) {
    CXmlReader reader;
    EXPECT_FALSE(c.run(reader)) << c.name;
    EXPECT_EQ(reader.GetErrorText(), c.text) << c.name;
    EXPECT_EQ(reader.GetErrorCode(), c.code) << c.name;
  }
}

TEST(XmlReader, AttachAndLoadFile) {
  XmlDocument document;
  ASSERT_TRUE(document.LoadXml("<Root><A>x</A></Root>"));
  CXmlReader attached;
  ASSERT_TRUE(attached.Attach(document));
  EXPECT_TRUE(attached.GetRoot() == document.DocumentElement());

  // A file that cannot be read fails like a parse error, with the engine's code.
  CXmlReader reader;
  EXPECT_FALSE(reader.Load("/nonexistent/feedprobe-reader-test.xml"));
  EXPECT_EQ(reader.GetErrorText(), "CXmlReader::Init Xml parse error code");
  EXPECT_NE(reader.GetErrorCode(), 0);
}

}  // namespace
}  // namespace feedprobe
