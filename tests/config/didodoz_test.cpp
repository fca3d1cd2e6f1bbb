// didodoz_test.cpp — Didodoz: loading data-array files once, the tree they give, the
// lookups, and the popups for files that are not what they should be.
#include <stdio.h>

#include <string>
#include <vector>

#include "config/didodoz.h"
#include "config_support.h"

using cfgtest::Count;
using Didodoz = CfgTest;

namespace {

const char *kLevels =
    "<?xml version=\"1.0\"?>\n<data>\n  <array id=\"LEVELS\">\n    <node id=\"L1\" time=\"60\"/>\n"
    "    <node id=\"L2\">hard</node>\n  </array>\n  <array>\n    <node name=\"anonymous\"/>\n"
    "  </array>\n</data>\n";

// The tree of a file: "ARRAY: node(pairs) ... | ..." with "-" for a missing id.
std::string Tree(const ZyDidodozFile *file) {
  std::string out;
  for (int32_t a = 0; a < file->array_count; a++) {
    const ZyDidodozArray *array = file->arrays[a];
    out += std::string(a ? " | " : "") + (array->id ? array->id : "-") + ":";
    for (int32_t n = 0; n < array->node_count; n++) {
      const ZyDidodozNode *node = array->nodes[n];
      out += std::string(" ") + (node->id ? node->id : "-") + "(";
      for (int32_t i = 0; i < node->attribute_count; i++)
        out += std::string(i ? " " : "") + node->pairs[i].name + "=" + node->pairs[i].value;
      out += ")";
    }
  }
  return out;
}

}  // namespace

TEST_F(Didodoz, FilesGiveTheirTreeAndReportWhatDoesNotBelong) {
  std::string noisy = "<?xml?><r><array id=\"A\">";
  for (int i = 0; i < 100; i++) noisy += "<e" + std::to_string(i) + "/>";
  noisy += "<node id=\"last\"/></array></r>";
  const std::string unexpected = "is expecting to find two three types of elements inside root: "
                                 "'array' and 'node'. ";
  struct Case {
    std::string name, text, tree;
    std::vector<std::pair<std::string, int>> popups;
  } cases[] = {
      {"levels.xml", kLevels, "LEVELS: L1(id=L1 time=60) L2(id=L2 DATA=hard) | -: -(name=anonymous)", {}},
      // The last id of any case names a node; an end tag right after a start tag ends it; a
      // node after a start tag is the next element.
      {"ids.xml",
       "<?xml?><r><array id=\"A\"><node id=\"first\" ID=\"second\" v=\"1\"/><node id=\"x\"></node>"
       "<node id=\"y\"><node id=\"z\"/></node></array></r>",
       "A: second(id=first ID=second v=1) x(id=x) y(id=y) z(id=z)", {}},
      // Arrays open in any case but close only on </array>: </ARRAY> is reported and n2
      // still belongs to A; a node outside an array and <Array/> are skipped quietly.
      {"case.xml",
       "<?xml?><r><ARRAY Id=\"A\"><node id=\"n1\"/></ARRAY><node id=\"n2\"/></array>"
       "<node id=\"outside\"/><other/><Array id=\"B\"/><node id=\"n3\"/></r>",
       "A: n1(id=n1) n2(id=n2)",
       {{"Didodoz: in 'res://case.xml' " + unexpected + "'ARRAY' is not one of them.", 1},
        {"Didodoz: in", 1}}},
      {"strange.xml", "<?xml?><r><array id=\"A\">loose text<item/><node id=\"kept\"/></array></r>",
       "A: kept(id=kept)", {{"'DATA' is not one of them.", 1}, {"'item' is not one of them.", 1}}},
      {"noisy.xml", noisy, "A: last(id=last)", {{"is not one of them.", 16}}},
      // The first two records (declaration, root) are skipped unread, whatever they are.
      {"nodecl.xml", "<array id=\"FIRST\"><node id=\"a\"/></array><array id=\"SECOND\"></array>",
       "SECOND:", {}},
      {"cut.xml", "<?xml?><r><array id=\"A\"><node id=\"ok\"/><node id=\"cut\">\n",
       "A: ok(id=ok) cut(id=cut)",
       {{"Didodoz error parsing file 'res://cut.xml' after node #2 with id 'cut'.", 1}}},
      {"data.txt", kLevels, "",
       {{"Unknown database file type 'res://data.txt'.\nSupported formats are: .xml", 1}}},
      {"none.xml", "", "", {{"ZY_XML Array File 'res://none.xml' not found!", 1}}},
  };
  for (auto &c : cases) {
    if (!c.text.empty()) zytest::WriteFile(world.game() + "/" + c.name, c.text);
    std::string game = world.game(), name = "res://" + c.name;
    zytest::RunResult r = zytest::RunInChild([&] {
      cfgtest::UseProgramRecord(true);
      cfgtest::UseGameFolder(game);
      ZyDidodozFile *file = ZYI_DidodozGetFile(name.c_str());
      printf("%s%s", Tree(file).c_str(), ZYI_DidodozGetFile(("RES://" + c.name).c_str()) == file ? "" : " AGAIN");
    });
    EXPECT_EQ(r.out, c.tree) << c.name << "\n" << r.err;
    for (auto &p : c.popups) EXPECT_EQ(Count(r.err, p.first), p.second) << c.name << "\n" << r.err;
    if (c.popups.empty()) {
      EXPECT_EQ(r.err, "") << c.name;
    }
  }
}

TEST_F(Didodoz, LookupsAreExactAndFilesAreLoadedOnceUntilFreed) {
  std::string path = world.game() + "/levels.xml", later = world.game() + "/later.xml";
  zytest::WriteFile(path, kLevels);
  ZyDidodozFile *file = ZYI_DidodozGetFile(path.c_str());  // stdio: no engine table yet
  ZyDidodozFile *missing = ZYI_DidodozGetFile(later.c_str());
  ZyDidodozArray *levels = ZYI_DidodozFindArray(file, "LEVELS");
  EXPECT_STREQ(ZYI_DidodozGetNodeAttributeAt(levels, 1, "DATA"), "hard");
  EXPECT_EQ(ZYI_DidodozGetNodeAttribute(levels, "l1", "TIME"), nullptr);  // names are exact
  EXPECT_TRUE(!ZYI_DidodozNodeAt(levels, -1) && !ZYI_DidodozNodeAt(levels, 2));
  EXPECT_EQ(ZYI_DidodozFindArray(file, nullptr), file->arrays[1]);  // the one without id
  // Changed or created on disk: a later request, in any case, does not read again.
  zytest::WriteFile(path, "<?xml?><r><array id=\"OTHER\"></array></r>");
  zytest::WriteFile(later, kLevels);
  EXPECT_EQ(ZYI_DidodozGetFile((world.game() + "/LEVELS.XML").c_str()), file);
  EXPECT_EQ(ZYI_DidodozGetFile(later.c_str()), missing);
  EXPECT_EQ(missing->array_count, 0);
  // After a free, files are read again (here through the engine's files, closed again).
  ZYI_DidodozFree();
  EXPECT_EQ(zy::didodoz.file_count, 0);
  cfgtest::UseGameFolder(world.game());
  EXPECT_NE(ZYI_DidodozFindArray(ZYI_DidodozGetFile("res://levels.xml"), "OTHER"), nullptr);
  EXPECT_EQ(ZYFS_OpenFileCount(), 0);
}
