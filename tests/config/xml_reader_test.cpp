// xml_reader_test.cpp — ZY_XMLReader: records, the tokeniser's rules, reports and
// hostile documents (fuzz/xml_reader_fuzz.cpp reads random ones).
#include <stdio.h>

#include <string>

#include "config/xml_reader.h"
#include "config_support.h"

using cfgtest::Count;

namespace {

// A text with runs of ten or more equal characters written as c{N}.
std::string Squeeze(const std::string &s) {
  std::string out;
  for (size_t i = 0, j; i < s.size(); i = j) {
    for (j = i; j < s.size() && s[j] == s[i];) j++;
    out += j - i >= 10 ? std::string(1, s[i]) + "{" + std::to_string(j - i) + "}" : s.substr(i, j - i);
  }
  return out;
}

// The records a document reads as: <a x=[v]> start, <a/> empty-element, </a> end tag,
// 'text', 0 for a read without record; over four attributes: their count and the last.
std::string Records(ZY_XMLReader &reader, size_t limit) {
  std::string out;
  for (size_t reads = 0; !reader.AtEnd() && reads <= limit; reads++) {
    ZY_XMLElement *e = reader.ReadElement();
    if (!out.empty()) out += ' ';
    if (!e) {
      out += '0';
    } else if (!e->name) {
      out += "'" + std::string(e->attribute_values[0]) + "'";
    } else {
      out += std::string(e->end_tag ? "</" : "<") + e->name;
      int first = e->attribute_count > 4 ? e->attribute_count - 1 : 0;
      if (first) out += " #" + std::to_string(e->attribute_count);
      for (int i = first; i < e->attribute_count; i++)
        out += std::string(" ") + e->attribute_names[i] + "=[" + e->attribute_values[i] + "]";
      out += e->closing && !e->end_tag ? "/>" : ">";
    }
  }
  return Squeeze(out);
}

// Reads a document in a child: its records come back in err, its reports in out.
zytest::RunResult Read(const std::string &doc) {
  return zytest::RunInChild([doc] {
    ZY_XMLReader reader;
    bool opened = reader.OpenText("doc.xml", doc.data(), (int32_t)doc.size(), true);
    fprintf(stderr, "%s", opened ? Records(reader, doc.size() + 1).c_str() : "<not opened>");
  });
}

}  // namespace

TEST(XmlReader, DocumentsReadAsTheirRecords) {
  const char *cases[][2] = {
      {"<a  x = \"1\"   y=\"2\" />\n", "<a x=[1] y=[2]/> 0"},
      // Line breaks inside a tag are white space; single quotes are no quotes here.
      {"<a/>\n<a>\n</a>\r\n\t<b\n  c=\"d\"\n/>\n<e f='g'>x</e>", "<a/> <a> </a> <b c=[d]/> <e f=['g']> 'x' </e>"},
      // \" \t \n \r and \\ are unescaped, an unknown escape drops both characters.
      {"<a v=\"say \\\"hi\\\"\\tnow\" w=\"x > y  <z>\" s=\"b\\\\s\\n\\r\\q!\\\"\"/>\n",
       "<a v=[say \"hi\"\tnow] w=[x > y  <z>] s=[b\\s\n\r!\"]/> 0"},
      {"<a x=1 y=two/><b z=3>\n", "<a x=[1] y=[two]/> <b z=[3]> 0"},
      // Blank runs between tags are no records; text keeps its spaces and escapes.
      {"<r>\n  \t\n<a>  hello  </a>\n</r>", "<r> <a> '  hello  ' </a> </r>"},
      {"<a>x\\ty \"<b>\" z</a>", "<a> 'x\\ty \"<b>\" z' </a>"},
      {"<!-- a -- b --><b/>\n<!---->\n<c x=\"1\" <!-- in a tag --> y=\"2\"/>\n", "<b/> <c x=[1] y=[2]/> 0"},
      // The last value of a declaration keeps its quote and '?'.
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE x=\"y\">\n<data/>",
       "<?xml version=[1.0] encoding=[UTF-8\"?]> <!DOCTYPE x=[y]> <data/>"},
      {"", ""},
      {" \t\r\n\n  ", "0"},
      {"<a/><b x=\"1\"/>", "<a/> 0"},  // a tag with attributes the end cuts short is lost
      // An open quote swallows everything up to the next one; the rest never closes.
      {"<a x=\"1/><b y=\"2\"/>\n<c/>", "0"},
  };
  for (auto &c : cases) {
    zytest::RunResult r = Read(c[0]);
    EXPECT_EQ(r.status, 0) << c[0];
    EXPECT_EQ(r.err, c[1]) << c[0];
  }
}

TEST(XmlReader, FaultsAreReportedBoundedAndReadPast) {
  struct Case {
    std::string doc, records, report;
    int count;
  } cases[] = {
      {"<a>\n\nx > y</a>\n<<b/>\n<>", "<a> '\n\nx > y' </a> <<b/> 0",
       "Parsing error (not expecting '>') around line 2 in ZY_XML 'doc.xml'. Unexpected character "
       "'>' (3e) at:\n'> y</a>\n<<b/>\n<>'\n", 1},
      {"<a>\n\nx > y</a>\n<<b/>\n<>", "", "(not expecting another '<') around line 3", 1},
      {"<a>\n\nx > y</a>\n<<b/>\n<>", "", "(not expecting '<' yet) around line 4", 1},
      {"<!-- x <!-- y --><after/>", "<after/>", "New comment block start within a comment block.", 1},
      {"<a/><!-- never closed <b/>", "<a/> 0", "Comment block not ended properly.", 1},
      {"<a x><b/>", "0 <b/>", "ZY_XMLReader Parsing Error1 at 5/9\n", 1},
      // The value's closing quote lies beyond the 4095 characters a token keeps.
      {"<a x=\"" + std::string(5000, 'v') + "\"/><b/>", "0 <b/>", "ZY_XMLReader Parsing Error2 at 5009/", 1},
      {"<a>" + std::string(1 << 20, 't') + "</a><b/>", "<a> 't{4095}' </a> <b/>",
       "Parsing error (buffer overrun) around line 0 in ZY_XML 'doc.xml'.", 1},
      {"<" + std::string(5000, 'n') + " a=\"1\"/><b/>", "<n{4094}> <b/>", "", 0},  // cut silently
      {"<a>" + std::string(100000, '>') + "</a>", "", "Parsing error (not expecting '>')", 32},
      {"<a>" + std::string(100000, '>') + "</a>", "", "the rest are not reported", 1},
      {"\xEF\xBB\xBF<a/>", "<not opened>",
       "First non-whitespace char in XML document needs to be '<'. First char in 'doc.xml' is #-17 "
       "'\xEF'. Note: UTF8 BOM is not supported.\n", 1},
      {"  hello <a/>", "<not opened>", "First char in 'doc.xml' is #104 'h'", 1},
  };
  std::string many = "<big";
  for (int i = 0; i < 200; i++) many += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
  for (auto &c : cases) {
    zytest::RunResult r = Read(c.doc);
    EXPECT_EQ(r.status, 0) << c.report;
    if (!c.records.empty()) {
      EXPECT_EQ(r.err, c.records) << c.report;
    }
    EXPECT_EQ(c.report.empty() ? (int)r.out.size() : Count(r.out, c.report), c.count)
        << c.report << "\n" << r.out.substr(0, 600);
  }
  zytest::RunResult r = Read(many + "/><next/>");
  EXPECT_EQ(r.err, "<big #128 a127=[127]/> <next/>");
  EXPECT_EQ(Count(r.out, "Too many blocks (128 limit) in object 'big' in xml 'doc.xml'.\n"), 1) << r.out;
}

