#include "feedprobe/xml/performance_monitor.h"

#include <gtest/gtest.h>

#include "xmlmonitorshared/replace_all.h"

namespace feedprobe {
namespace {

// Elements carry a `tag` attribute only so that the test can find them; paths ignore it.
constexpr char kCatalogue[] = R"(<?xml version="1.0"?>
<PerformanceMonitor>
  <object name="JVM" tag="jvm">
    <counter name="Heap" class="Memory" tag="heap"/>
    <counter name="O'Brien" tag="obrien"/>
    <counter name='"x"' tag="dq"/>
    <counter name="a'b&quot;c" tag="both"/>
    <counter name="a$quot;b" desc="say $quot;hi$quot;" tag="quot"/>
    <counter name="C:\temp\x" tag="backslash"/>
    <counter name="Described" desc="own text" tag="desc"/>
  </object>
  <object name="Other"><counter class="Memory" name="Heap" tag="classfirst"/></object>
  <object class="JVM" tag="classonly"><counter name="Threads" tag="threads"/></object>
  <group tag="bare"><item tag="item"/></group>
</PerformanceMonitor>
)";

constexpr char kDescriptions[] = R"(<descriptions>
  <counter name="Heap" class="Memory">Heap in use</counter>
  <object>Any component</object>
  <object class="JVM">The JVM class</object>
  <Heap name="Heap" class="Memory">Heap by name lookup</Heap>
  <Threads name="Threads">Thread count $quot;live$quot;</Threads>
  <special>From absolute lookup</special>
</descriptions>)";

XmlDocument Parse(const char* text) {
  XmlDocument document;
  EXPECT_TRUE(document.LoadXml(text)) << document.ParseError().reason;
  return document;
}

XmlNode Tagged(const XmlDocument& document, const std::string& tag) {
  XmlNode node = document.DocumentElement().SelectSingleNode("//*[@tag='" + tag + "']");
  EXPECT_TRUE(node) << tag;
  return node;
}

TEST(PerformanceMonitor, PathsAndDescriptionsTable) {
  XmlDocument catalogue = Parse(kCatalogue);
  XmlDocument descriptions = Parse(kDescriptions);
  // An identity path selects from the document root, whatever node of the document is given.
  XmlNode deep_context = Tagged(catalogue, "item");

  const char* const kJvm = R"(/PerformanceMonitor/object[(@name="JVM")])";
  struct Case {
    const char* tag;
    const char* identity;  // nullptr: not checked in this row
    const char* online;    // published display path
    const char* parent;
    bool selects_itself;   // the identity path selects the element again
    const char* lookup;    // nullptr: no description check
    bool show_name;
    const char* description;
  } cases[] = {
      {"heap",
       R"(/PerformanceMonitor/object[(@name="JVM")])"
       R"(/counter[(@name="Heap") and (@class="Memory")])",
       "/JVM/Heap", kJvm, true, "counter", false, "Heap in use"},
      {"heap", nullptr, nullptr, nullptr, true, "Heap", false, "Heap by name lookup"},
      {"heap", nullptr, nullptr, nullptr, true, "/descriptions/special", false,
       "From absolute lookup"},
      {"jvm", kJvm, "/JVM", "/PerformanceMonitor", true, "object", false, "Any component"},
      {"classfirst",
       R"(/PerformanceMonitor/object[(@name="Other")])"
       R"(/counter[(@class="Memory") and (@name="Heap")])",
       "/Other/Heap", R"(/PerformanceMonitor/object[(@name="Other")])", true, nullptr, false,
       nullptr},
      {"obrien", R"(/PerformanceMonitor/object[(@name="JVM")]/counter[(@name="O'Brien")])",
       "/JVM/O'Brien", kJvm, true, "counter", false, ""},
      {"obrien", nullptr, nullptr, nullptr, true, "counter", true, "O'Brien"},
      {"dq", R"(/PerformanceMonitor/object[(@name="JVM")]/counter[(@name='"x"')])",
       R"(/JVM/"x")", kJvm, true, nullptr, false, nullptr},
      // Both quotation marks: the path cannot be evaluated, so it selects nothing.
      {"both", R"(/PerformanceMonitor/object[(@name="JVM")]/counter[(@name="a'b"c")])",
       R"(/JVM/a'b"c)", kJvm, false, "counter", false, ""},
      {"classonly", R"(/PerformanceMonitor/object[(@class="JVM")])", "/JVM",
       "/PerformanceMonitor", true, "object", false, "The JVM class"},
      {"threads", R"(/PerformanceMonitor/object[(@class="JVM")]/counter[(@name="Threads")])",
       "/JVM/Threads", R"(/PerformanceMonitor/object[(@class="JVM")])", true, "Threads", false,
       R"(Thread count "live")"},
      {"bare", "/PerformanceMonitor/group", "/group", "/PerformanceMonitor", true, "group", false,
       ""},
      {"item", "/PerformanceMonitor/group/item", "/group/item", "/PerformanceMonitor/group", true,
       nullptr, false, nullptr},
      // desc wins over show-name and the description document.
      {"desc", nullptr, nullptr, nullptr, true, "counter", true, "own text"},
      // "$quot;" stays in paths and becomes a quotation mark in descriptions.
      {"quot", R"(/PerformanceMonitor/object[(@name="JVM")]/counter[(@name="a$quot;b")])",
       "/JVM/a$quot;b", kJvm, true, "counter", false, R"(say "hi")"},
      // XPath literals have no escapes: the backslashes match as they stand.
      {"backslash", R"(/PerformanceMonitor/object[(@name="JVM")]/counter[(@name="C:\temp\x")])",
       R"(/JVM/C:\temp\x)", kJvm, true, nullptr, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tag) + (c.lookup ? std::string(" lookup ") + c.lookup : ""));
    XmlNode node = Tagged(catalogue, c.tag);
    NodePaths paths = GetNodePaths(node);
    if (c.identity) {
      EXPECT_EQ(paths.identity, c.identity);
    }
    if (c.parent) {
      EXPECT_EQ(paths.parent, c.parent);
    }
    if (c.online) {
      EXPECT_EQ(BuildNodePath(node, kDisplayPath).substr(kDisplayPathPrefixLength), c.online);
    }
    XmlNode selected = SelectNodeByPath(paths.identity, deep_context);
    if (c.selects_itself) {
      EXPECT_TRUE(selected == node) << paths.identity;
    } else {
      EXPECT_FALSE(selected) << paths.identity;
    }
    if (c.lookup) {
      EXPECT_EQ(GetDescription(node, descriptions.DocumentElement(), c.show_name, c.lookup),
                c.description);
    }
  }

  // Without a description document only desc and the name remain.
  EXPECT_EQ(GetDescription(Tagged(catalogue, "heap"), XmlNode(), false, "counter"), "");
  EXPECT_EQ(GetDescription(Tagged(catalogue, "heap"), XmlNode(), true, "counter"), "Heap");
  EXPECT_FALSE(SelectNodeByPath("/PerformanceMonitor", XmlNode()));
  // The root element has no parent path; the document node gives none of the steps.
  EXPECT_EQ(GetNodePaths(catalogue.DocumentElement()).parent, "");
  EXPECT_EQ(BuildNodePath(catalogue.DocumentElement(), kIdentityPath), "/PerformanceMonitor");
}

TEST(PerformanceMonitor, AnnotateCountersWritesIdDisplayPathAndDescription) {
  XmlDocument list = Parse(R"(<PerformanceMonitor>
    <object name="JVM">
      <counter name="Heap" class="Memory" desc="old"/>
      <counter name="Heap" class="Memory" val="3"/>
      <counter class="Threads"/>
    </object></PerformanceMonitor>)");
  XmlDocument descriptions = Parse(kDescriptions);
  std::string error;
  ASSERT_TRUE(AnnotateCounters(list.DocumentElement(), descriptions.DocumentElement(), false,
                               error))
      << error;
  std::vector<XmlNode> counters = list.DocumentElement().GetElementsByTagName("counter");
  ASSERT_EQ(counters.size(), 3u);
  const std::string heap_id =
      R"(/PerformanceMonitor/object[(@name="JVM")]/counter[(@name="Heap") and (@class="Memory")])";
  EXPECT_EQ(counters[0].Xml(), "<counter name=\"Heap\" class=\"Memory\" desc=\"old\" id=\"" +
                                   ReplacedCopy(heap_id.c_str(), "\"", "&quot;") +
                                   "\" OnlinePresentationName=\"/JVM/Heap\"/>");
  // The lookup name is the counter's name: //Heap plus its predicate.
  EXPECT_EQ(counters[1].GetAttribute("desc"), "Heap by name lookup");
  EXPECT_EQ(counters[1].GetAttribute("id"), heap_id);
  EXPECT_EQ(counters[2].GetAttribute("OnlinePresentationName"), "/JVM/Threads");
  EXPECT_EQ(counters[2].GetAttribute("desc"), "");

  // Running again replaces the values in place.
  std::string first = list.Xml();
  ASSERT_TRUE(AnnotateCounters(list.AsNode(), descriptions.DocumentElement(), false, error));
  EXPECT_EQ(list.Xml(), first);

  XmlDocument empty =
      Parse("<?xml version=\"1.0\" ?><PerformanceMonitor>\r\n</PerformanceMonitor>\r\n");
  EXPECT_TRUE(AnnotateCounters(empty.DocumentElement(), XmlNode(), true, error));
  EXPECT_FALSE(AnnotateCounters(XmlNode(), XmlNode(), true, error));
  EXPECT_EQ(error, "Performance data could not be loaded");
}

TEST(PerformanceMonitor, AttributeHelpers) {
  XmlDocument document = Parse(R"(<counter a="" b="1" c="2"/>)");
  XmlNode counter = document.DocumentElement();
  XmlDocument factory;
  std::string error;
  EXPECT_EQ(GetAttributeValue(counter, "a"), "");  // present although empty
  EXPECT_EQ(GetAttributeValue(counter, "missing"), std::nullopt);
  EXPECT_TRUE(RemoveAttribute(counter, "missing"));
  EXPECT_TRUE(RemoveAttribute(counter, "a"));
  EXPECT_TRUE(SetAttribute("b", "x", counter, factory, error));
  EXPECT_TRUE(CreateAttribute("c", "y", counter, factory, error));
  EXPECT_EQ(counter.Xml(), R"(<counter b="x" c="y"/>)");  // replaced in place
  EXPECT_FALSE(CreateAttribute("not a name", "v", counter, factory, error));
  EXPECT_EQ(error, "Com action failure.");
  std::string value = "stale";
  EXPECT_TRUE(GetAttributeText(counter, "missing", value, error));
  EXPECT_EQ(value, "");
  EXPECT_FALSE(GetAttributeText(XmlNode(), "name", value, error));
}

TEST(PerformanceMonitor, ItemDisplayNameFallsBackToLastStep) {
  XmlDocument document = Parse(R"(<PerformanceMonitor>
    <object name="JVM"><counter name="Heap"/><counter class="C"/><counter name=""/></object>
  </PerformanceMonitor>)");
  XmlNode root = document.DocumentElement();
  struct Case {
    const char* path;
    const char* expected;
  } cases[] = {
      {R"(/PerformanceMonitor/object[(@name="JVM")]/counter[(@name="Heap")])", "Heap"},
      {R"(/PerformanceMonitor/object[(@name="JVM")]/counter[(@class="C")])",
       R"(counter[(@class="C")])"},
      {R"(/PerformanceMonitor/object[(@name="JVM")]/counter[(@name="")])",
       R"(counter[(@name="")])"},
      {"/PerformanceMonitor/missing", "missing"},
      {"no slash", "no slash"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(GetItemDisplayName(root, c.path), c.expected) << c.path;
  EXPECT_EQ(GetItemDisplayName(XmlNode(), "/a/b"), "b");
}

}  // namespace
}  // namespace feedprobe
