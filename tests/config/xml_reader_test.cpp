// xml_reader_test.cpp — ZY_XMLReader: records, the tokeniser's rules, reports and
// hostile documents.
#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>

#include <random>
#include <string>
#include <vector>

#include "config/xml_reader.h"
#include "config_support.h"

using cfgtest::Count;

namespace {

// A reader over an in-memory document; reports go to stdout (use_stdio).
struct Doc {
  ZY_XMLReader reader;
  explicit Doc(const std::string &text, const char *name = "test.xml") {
    opened = reader.OpenText(name, text.data(), (int32_t)text.size(), true);
  }
  ZY_XMLElement *Next() { return reader.ReadElement(); }
  bool opened = false;
};

std::string Attr(const ZY_XMLElement *e, const char *name) {
  for (int i = 0; i < e->attribute_count; i++)
    if (std::string(e->attribute_names[i]) == name) return e->attribute_values[i];
  return "<missing>";
}

// Reads every record of a document in a child and returns what it printed (reports).
zytest::RunResult ReportsOf(const std::string &text) {
  return zytest::RunInChild([text] {
    Doc doc(text, "doc.xml");
    if (!doc.opened) return;
    for (int guard = 0; guard <= (int)text.size() + 1 && !doc.reader.AtEnd(); guard++)
      doc.Next();
  });
}

}  // namespace

TEST(XmlReader, CollapsesWhiteSpaceInsideTags) {
  Doc doc("<a  x = \"1\"   y=\"2\" />\n");
  ASSERT_TRUE(doc.opened);
  ZY_XMLElement *e = doc.Next();
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->name, "a");
  ASSERT_EQ(e->attribute_count, 2);
  EXPECT_STREQ(e->attribute_names[0], "x");
  EXPECT_STREQ(e->attribute_values[0], "1");
  EXPECT_STREQ(e->attribute_names[1], "y");
  EXPECT_STREQ(e->attribute_values[1], "2");
  EXPECT_EQ(e->closing, 1);
  EXPECT_EQ(doc.Next(), nullptr);
  EXPECT_TRUE(doc.reader.AtEnd());
}

TEST(XmlReader, TellsStartEndAndEmptyElementTagsApart) {
  Doc doc("<a/>\n<a>\n</a>\r\n\t<b\n  c=\"d\"\n/>\n<e f='g'>x</e>");
  ZY_XMLElement *e = doc.Next();
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->name, "a");
  EXPECT_EQ(e->attribute_count, 0);
  EXPECT_EQ(e->closing, 1);
  EXPECT_EQ(e->end_tag, 0);
  e = doc.Next();
  EXPECT_STREQ(e->name, "a");
  EXPECT_EQ(e->closing, 0);
  e = doc.Next();
  EXPECT_STREQ(e->name, "a");
  EXPECT_EQ(e->closing, 1);
  EXPECT_EQ(e->end_tag, 1);
  e = doc.Next();  // line breaks inside a tag are white space too
  EXPECT_STREQ(e->name, "b");
  EXPECT_EQ(Attr(e, "c"), "d");
  EXPECT_EQ(e->closing, 1);
  e = doc.Next();  // single quotes are not quotes in this dialect
  EXPECT_STREQ(e->name, "e");
  EXPECT_EQ(Attr(e, "f"), "'g'");
}

TEST(XmlReader, UnescapesQuotedValuesAndKeepsTheirSpacesAndBrackets) {
  Doc doc("<a v=\"say \\\"hi\\\"\\tnow\" w=\"x > y  <z>\" s=\"back\\\\slash\\n\\r\\q!\\\"\"/>\n");
  ZY_XMLElement *e = doc.Next();
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->attribute_count, 3);
  EXPECT_EQ(Attr(e, "v"), "say \"hi\"\tnow");
  EXPECT_EQ(Attr(e, "w"), "x > y  <z>");
  // \\ is one backslash, \n and \r their characters, an unknown escape drops both.
  EXPECT_EQ(Attr(e, "s"), "back\\slash\n\r!\"");
}

TEST(XmlReader, ValuesWithoutQuotesEndAtSpaceOrTagEnd) {
  Doc doc("<a x=1 y=two/><b z=3>\n");
  ZY_XMLElement *e = doc.Next();
  EXPECT_EQ(Attr(e, "x"), "1");
  EXPECT_EQ(Attr(e, "y"), "two");
  EXPECT_EQ(e->closing, 1);
  e = doc.Next();
  EXPECT_EQ(Attr(e, "z"), "3");
  EXPECT_EQ(e->closing, 0);
}

TEST(XmlReader, TextRecordsKeepInnerWhiteSpaceAndSkipBlankRuns) {
  Doc doc("<r>\n  \t\n<a>  hello  </a>\n</r>");
  EXPECT_STREQ(doc.Next()->name, "r");
  EXPECT_STREQ(doc.Next()->name, "a");  // the blank run before <a> is no record
  ZY_XMLElement *e = doc.Next();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->name, nullptr);
  ASSERT_EQ(e->attribute_count, 1);
  EXPECT_STREQ(e->attribute_names[0], "DATA");
  EXPECT_STREQ(e->attribute_values[0], "  hello  ");
  EXPECT_STREQ(doc.Next()->name, "a");
  EXPECT_STREQ(doc.Next()->name, "r");
  EXPECT_EQ(doc.Next(), nullptr);
}

TEST(XmlReader, TextIsNotUnescapedAndQuotesProtectBrackets) {
  Doc doc("<a>x\\ty \"<b>\" z</a>");
  doc.Next();
  ZY_XMLElement *e = doc.Next();
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->attribute_values[0], "x\\ty \"<b>\" z");
}

TEST(XmlReader, SkipsCommentsWithDashesInside) {
  Doc doc("<!-- a -- b --><b/>\n<!---->\n<c x=\"1\" <!-- inside a tag --> y=\"2\"/>\n");
  ZY_XMLElement *e = doc.Next();
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->name, "b");
  e = doc.Next();
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e->name, "c");
  EXPECT_EQ(Attr(e, "x"), "1");
  EXPECT_EQ(Attr(e, "y"), "2");
}

TEST(XmlReader, DeclarationAndDoctypeComeBackAsElements) {
  Doc doc("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE x=\"y\">\n<data/>");
  ZY_XMLElement *e = doc.Next();
  EXPECT_STREQ(e->name, "?xml");
  EXPECT_EQ(Attr(e, "version"), "1.0");
  EXPECT_EQ(Attr(e, "encoding"), "UTF-8\"?");  // the last value keeps its quote and '?'
  EXPECT_STREQ(doc.Next()->name, "!DOCTYPE");
  EXPECT_STREQ(doc.Next()->name, "data");
}

TEST(XmlReader, EmptyAndBlankDocumentsOpenWithoutRecords) {
  for (const char *text : {"", " \t\r\n\n  "}) {
    Doc doc(text);
    EXPECT_TRUE(doc.opened) << "'" << text << "'";
    EXPECT_EQ(doc.Next(), nullptr);
    EXPECT_TRUE(doc.reader.AtEnd());
  }
}

TEST(XmlReader, RefusesNamelessOrMissingFiles) {
  ZY_XMLReader reader;
  EXPECT_FALSE(reader.Open(nullptr, true));
  EXPECT_FALSE(reader.Open("", true));
  EXPECT_FALSE(reader.Open("/nonexistent/zylem/none.xml", true));
  EXPECT_EQ(reader.ReadElement(), nullptr);
}

TEST_F(ZyTest, XmlReaderRefusesAByteOrderMarkWithTheFirstCharMessage) {
  std::string path = world.game() + "/bom.xml";
  zytest::WriteFile(path, "\xEF\xBB\xBF<a/>");
  zytest::RunResult r = zytest::RunInChild([path] {
    ZY_XMLReader reader;
    if (reader.Open(path.c_str(), true)) printf("OPENED\n");
    if (reader.ReadElement()) printf("RECORD\n");
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.find("OPENED"), std::string::npos);
  EXPECT_EQ(r.out.find("RECORD"), std::string::npos);
  EXPECT_NE(r.out.find("First non-whitespace char in XML document needs to be '<'. First char in '" +
                       path + "' is #-17 '\xEF'. Note: UTF8 BOM is not supported.\n"),
            std::string::npos)
      << r.out;
}

TEST_F(ZyTest, XmlReaderRefusesPlainText) {
  zytest::RunResult r = zytest::RunInChild([] {
    Doc doc("  hello <a/>", "plain.xml");
    printf("opened=%d\n", doc.opened);
  });
  EXPECT_NE(r.out.find("opened=0"), std::string::npos);
  EXPECT_NE(r.out.find("First char in 'plain.xml' is #104 'h'"), std::string::npos) << r.out;
}

TEST(XmlReader, ReportsStrayBracketsWithLineNumbersCountedFromZero) {
  zytest::RunResult r = ReportsOf("<a>\n\nx > y</a>\n<<b/>\n<>");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Parsing error (not expecting '>') around line 2 in ZY_XML 'doc.xml'. "
                       "Unexpected character '>' (3e) at:\n'> y</a>\n<<b/>\n<>'\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Parsing error (not expecting another '<') around line 3"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Parsing error (not expecting '<' yet) around line 4"), std::string::npos)
      << r.out;
}

TEST(XmlReader, ReportsANestedCommentOnceAndSkipsIt) {
  zytest::RunResult r = zytest::RunInChild([] {
    Doc doc("<!-- x <!-- y --><after/>", "doc.xml");
    ZY_XMLElement *e = doc.Next();
    printf("next=%s\n", e && e->name ? e->name : "(none)");
  });
  EXPECT_EQ(Count(r.out, "New comment block start within a comment block."), 1) << r.out;
  EXPECT_NE(r.out.find("next=after"), std::string::npos) << r.out;
}

TEST(XmlReader, AnUnterminatedCommentEndsTheRead) {
  zytest::RunResult r = zytest::RunInChild([] {
    Doc doc("<a/><!-- never closed <b/>", "doc.xml");
    doc.Next();
    bool record = doc.Next() != nullptr;
    printf("record=%d end=%d\n", record, doc.reader.AtEnd());
  });
  EXPECT_EQ(Count(r.out, "Comment block not ended properly."), 1) << r.out;
  EXPECT_NE(r.out.find("record=0 end=1"), std::string::npos) << r.out;
}

TEST(XmlReader, AnUnterminatedQuoteLosesTheRestWithoutReadingPastIt) {
  Doc doc("<a x=\"1/><b y=\"2\"/>\n<c/>");
  // The quote opened in <a swallows everything up to the quote in <b; the rest of <b
  // opens another run that never closes.
  for (int i = 0; i < 10 && !doc.reader.AtEnd(); i++) doc.Next();
  EXPECT_TRUE(doc.reader.AtEnd());
  EXPECT_EQ(doc.Next(), nullptr);
}

TEST(XmlReader, LogsAnAttributeWithoutEqualsSign) {
  zytest::RunResult r = zytest::RunInChild([] {
    Doc doc("<a x><b/>", "doc.xml");
    ZY_XMLElement *e = doc.Next();
    printf("first=%d\n", e != nullptr);
    e = doc.Next();
    printf("second=%s\n", e && e->name ? e->name : "(none)");
  });
  EXPECT_NE(r.out.find("ZY_XMLReader Parsing Error1 at 5/9\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("first=0"), std::string::npos);
  EXPECT_NE(r.out.find("second=b"), std::string::npos) << r.out;
}

TEST(XmlReader, LogsAValueCutShortByTheTokenLimit) {
  // The value's closing quote lies beyond the 4095 characters a token keeps.
  std::string text = "<a x=\"" + std::string(5000, 'v') + "\"/><b/>";
  zytest::RunResult r = zytest::RunInChild([text] {
    Doc doc(text, "doc.xml");
    ZY_XMLElement *e = doc.Next();
    printf("first=%d\n", e != nullptr);
    e = doc.Next();
    printf("second=%s\n", e && e->name ? e->name : "(none)");
  });
  EXPECT_NE(r.out.find("ZY_XMLReader Parsing Error2 at 5009/"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("second=b"), std::string::npos) << r.out;
}

TEST(XmlReader, StoresAtMost128AttributesAndReportsOnce) {
  std::string text = "<big";
  for (int i = 0; i < 200; i++) text += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
  text += "/><next/>";
  zytest::RunResult r = zytest::RunInChild([text] {
    Doc doc(text, "many.xml");
    ZY_XMLElement *e = doc.Next();
    if (!e) return;
    printf("count=%d closing=%d last=%s=%s\n", e->attribute_count, e->closing,
           e->attribute_names[127], e->attribute_values[127]);
    e = doc.Next();
    printf("next=%s\n", e && e->name ? e->name : "(none)");
  });
  EXPECT_NE(r.out.find("count=128 closing=1 last=a127=127"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("next=next"), std::string::npos) << r.out;
  EXPECT_EQ(Count(r.out, "Too many blocks (128 limit) in object 'big' in xml 'many.xml'.\n"), 1)
      << r.out;
}

TEST(XmlReader, CutsALongTextRunAtTheTokenLimitAndReportsItOnce) {
  std::string text = "<a>" + std::string(1 << 20, 't') + "</a><b/>";
  zytest::RunResult r = zytest::RunInChild([text] {
    Doc doc(text, "long.xml");
    doc.Next();
    ZY_XMLElement *e = doc.Next();
    if (!e) return;
    printf("text=%zu\n", strlen(e->attribute_values[0]));
    std::string then = doc.Next()->name;
    then += std::string(",") + doc.Next()->name;
    printf("then=%s\n", then.c_str());
  });
  EXPECT_NE(r.out.find("text=4095\n"), std::string::npos) << r.out.substr(0, 400);
  EXPECT_NE(r.out.find("then=a,b"), std::string::npos);
  EXPECT_EQ(Count(r.out, "Parsing error (buffer overrun) around line 0 in ZY_XML 'long.xml'."), 1);
}

TEST(XmlReader, ManyStrayCharactersGiveABoundedNumberOfReports) {
  std::string text = "<a>" + std::string(100000, '>') + "</a>";
  zytest::RunResult r = ReportsOf(text);
  EXPECT_EQ(r.status, 0);
  int reports = Count(r.out, "Parsing error (not expecting '>')");
  EXPECT_GT(reports, 0);
  EXPECT_LE(reports, 64);
  EXPECT_NE(r.out.find("the rest are not reported"), std::string::npos);
}

TEST(XmlReader, TokenBoundaryDropsTagBytesSilently) {
  std::string name(5000, 'n');
  Doc doc("<" + name + " a=\"1\"/><b/>");
  ZY_XMLElement *e = doc.Next();
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(strlen(e->name), 4094u);  // '<' plus 4094 name characters fill the token
  EXPECT_STREQ(doc.Next()->name, "b");
}

TEST(XmlReader, CanBeOpenedAgainAndClosed) {
  ZY_XMLReader reader;
  ASSERT_TRUE(reader.OpenText("one.xml", "<one/>", 6, true));
  EXPECT_STREQ(reader.ReadElement()->name, "one");
  ASSERT_TRUE(reader.OpenText("two.xml", "<two/><three/>", 14, true));
  EXPECT_STREQ(reader.FileName(), "two.xml");
  EXPECT_STREQ(reader.ReadElement()->name, "two");
  reader.Close();
  EXPECT_EQ(reader.ReadElement(), nullptr);
  EXPECT_TRUE(reader.AtEnd());
}

TEST(XmlReader, ReadsRandomDocumentsToTheEndWithoutFault) {
  // Documents made of the characters the tokeniser cares about, and of any byte. Runs in
  // a child because every document prints its reports.
  zytest::RunResult r = zytest::RunInChild([] {
    std::mt19937 rng(1234);
    const std::string alphabet = "<>/=\"\\ \t\n!-?ab";
    for (int round = 0; round < 400; round++) {
      std::string text = "<";
      int len = (int)(rng() % 600);
      for (int i = 0; i < len; i++)
        text += round % 2 ? alphabet[rng() % alphabet.size()] : (char)(rng() & 0xFF);
      ZY_XMLReader reader;
      if (!reader.OpenText("random.xml", text.data(), (int32_t)text.size(), true)) {
        fprintf(stderr, "FAIL open %d\n", round);
        continue;
      }
      int reads = 0;
      while (!reader.AtEnd() && reads <= len + 2) {
        ZY_XMLElement *e = reader.ReadElement();
        for (int i = 0; e && i < e->attribute_count; i++)
          if (e->attribute_count > ZY_XML_MAX_ATTRIBUTES ||
              strlen(e->attribute_values[i]) >= (size_t)ZY_XML_TOKEN_SIZE)
            fprintf(stderr, "FAIL record %d\n", round);
        reads++;
      }
      if (!reader.AtEnd()) fprintf(stderr, "FAIL end %d\n", round);
    }
  });
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err.find("FAIL"), std::string::npos) << r.err;
}

TEST(XmlReader, ReadsEveryFuzzSeedToTheEnd) {
  // The seeds of fuzz/corpus/xml_reader, read the way the fuzz target reads them.
  std::string folder = zytest::SourceDir() + "/fuzz/corpus/xml_reader";
  DIR *dir = opendir(folder.c_str());
  ASSERT_NE(dir, nullptr) << folder;
  int seeds = 0;
  while (dirent *entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::string text = zytest::ReadFile(folder + "/" + entry->d_name);
    zytest::RunResult r = zytest::RunInChild([text] {
      ZY_XMLReader reader;
      if (!reader.OpenText("seed.xml", text.data(), (int32_t)text.size(), true)) return;
      size_t reads = 0;
      while (!reader.AtEnd() && reads++ <= text.size() + 1) reader.ReadElement();
      if (!reader.AtEnd()) fprintf(stderr, "NOT AT END\n");
    });
    EXPECT_EQ(r.status, 0) << entry->d_name << "\n" << r.err;
    EXPECT_EQ(r.err.find("NOT AT END"), std::string::npos) << entry->d_name;
    seeds++;
  }
  closedir(dir);
  EXPECT_GE(seeds, 5);
}
