// Selection by identity path against the engine's own XPath: on generated documents the child
// index must return exactly the node that XPath returns first in document order.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "feedprobe/xml/performance_monitor.h"

namespace feedprobe {
namespace {

const std::vector<std::string> kElements = {"object", "counter", "x", "and"};
const std::vector<std::string> kAttributes = {"name", "class", "tag"};
const std::vector<std::string> kValues = {
    "a", "b", "O'Brien", "\"x\"", "a'b\"c", "C:\\temp\\x", "\\\\", "", "a b", "a]b/c)",
    "Gr\xC3\xB6\xC3\x9F" "e", "$quot;", " and ", "@name='a'"};

std::string Escaped(const std::string& value) {
  std::string text;
  for (char c : value) {
    switch (c) {
      case '"': text += "&quot;"; break;
      case '&': text += "&amp;"; break;
      case '<': text += "&lt;"; break;
      default: text += c;
    }
  }
  return text;
}

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[std::uniform_int_distribution<size_t>(0, items.size() - 1)(random_)];
  }
  bool Chance(int percent) { return std::uniform_int_distribution<int>(0, 99)(random_) < percent; }

  // Random trees with repeated names, extra and reordered attributes, attributes with a
  // namespace prefix and elements in a default namespace (which unprefixed steps never match).
  std::string Document() {
    std::string text = "<PerformanceMonitor xmlns:p=\"urn:p\">";
    Children(text, 0);
    return text + "</PerformanceMonitor>";
  }

  // Random queries in and around the identity path grammar.
  std::string Query() {
    std::string query = Chance(90) ? "/PerformanceMonitor" : "/" + Pick(kElements);
    int depth = std::uniform_int_distribution<int>(0, 3)(random_);
    for (int i = 0; i < depth; ++i) {
      query += "/" + Pick(kElements);
      int tests = std::uniform_int_distribution<int>(0, 3)(random_);
      for (int t = 0; t < tests; ++t) {
        query += t == 0 ? "[" : " and ";
        const std::string& value = Pick(kValues);
        char quote = value.find('"') != std::string::npos ? '\'' : '"';
        std::string test = "@" + Pick(kAttributes) + "=" + quote + value + quote;
        query += Chance(70) ? "(" + test + ")" : test;
      }
      if (tests > 0) query += "]";
    }
    if (Chance(5)) query += "/";
    if (Chance(5)) query.insert(query.size() / 2, " ");
    return query;
  }

 private:
  void Children(std::string& text, int depth) {
    int count = depth >= 3 ? 0 : std::uniform_int_distribution<int>(0, 4)(random_);
    for (int i = 0; i < count; ++i) {
      std::string element = Pick(kElements);
      text += "<" + element;
      if (Chance(5)) text += " xmlns=\"urn:d\"";
      std::vector<std::string> names = kAttributes;
      std::shuffle(names.begin(), names.end(), random_);
      for (const std::string& name : names) {
        if (Chance(60)) text += " " + name + "=\"" + Escaped(Pick(kValues)) + "\"";
      }
      if (Chance(10)) text += " p:name=\"" + Escaped(Pick(kValues)) + "\"";
      text += ">";
      Children(text, depth + 1);
      text += "</" + element + ">";
    }
  }

  std::mt19937 random_;
};

// Every query on the matcher and on XPath; returns how many the matcher answered itself.
int CompareAll(const XmlDocument& document, const std::vector<std::string>& queries) {
  XmlNode root = document.DocumentElement();
  int indexed = 0;
  for (const std::string& query : queries) {
    if (IsIndexedPath(query)) ++indexed;
    XmlNode expected = root.SelectSingleNode(query);
    XmlNode actual = SelectNodeByPath(query, root);
    EXPECT_TRUE(actual == expected) << query << "\n" << document.Xml();
  }
  return indexed;
}

TEST(IdentityPathSelection, MatchesXPathOnGeneratedDocuments) {
  int indexed = 0;
  for (unsigned seed = 1; seed <= 60; ++seed) {
    Generator generator(seed);
    XmlDocument document;
    std::string text = generator.Document();
    ASSERT_TRUE(document.LoadXml(text)) << text;
    std::vector<std::string> queries;
    for (const XmlNode& element : document.AsNode().GetElementsByTagName("*")) {
      queries.push_back(GetNodePaths(element).identity);
    }
    for (int i = 0; i < 40; ++i) queries.push_back(generator.Query());
    indexed += CompareAll(document, queries);

    // Changes through handles: the index must follow them.
    std::vector<XmlNode> elements = document.AsNode().GetElementsByTagName("*");
    for (size_t i = 1; i < elements.size(); i += 3) {
      XmlNode(elements[i]).SetAttribute(generator.Pick(kAttributes), generator.Pick(kValues));
      if (i % 2 == 0) XmlNode(elements[i]).RemoveAttribute(generator.Pick(kAttributes));
      CompareAll(document, queries);
    }
    if (elements.size() > 2) {
      elements[1].AppendChild(elements.back().Parent() == elements[1] ? elements[2]
                                                                       : elements.back());
      XmlNode added = document.CreateElement("counter");
      added.SetAttribute("name", "a");
      elements[0].AppendChild(added);
      if (XmlNode name = elements[0].GetAttributeNode("name")) name.SetValue("b");
      CompareAll(document, queries);
    }
  }
  EXPECT_GT(indexed, 1000);  // the grammar covers identity paths, so the matcher did the work
}

TEST(IdentityPathSelection, OutsideTheGrammarGoesToXPath) {
  for (const char* query : {"//counter", "/PerformanceMonitor/*", "/PerformanceMonitor/x[1]",
                            "/PerformanceMonitor/x[@name = 'a']", "/p:x", "PerformanceMonitor",
                            "/PerformanceMonitor/and", "/PerformanceMonitor/x[@name=\"a\"][@tag=\"b\"]",
                            "/PerformanceMonitor/x[@name=\"\x01\"]", "/"}) {
    EXPECT_FALSE(IsIndexedPath(query)) << query;
  }
  EXPECT_TRUE(IsIndexedPath("/PerformanceMonitor/x[(@name=\"a\") and @class='b']"));
}

}  // namespace
}  // namespace feedprobe
