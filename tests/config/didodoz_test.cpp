// didodoz_test.cpp — Didodoz: loading data-array files once, the tree they give, the
// lookups, and the popups for files that are not what they should be.
#include <stdio.h>

#include <string>

#include "config/didodoz.h"
#include "config_support.h"

using cfgtest::Count;

namespace {

const char *kLevels =
    "<?xml version=\"1.0\"?>\n"
    "<data>\n"
    "  <array id=\"LEVELS\">\n"
    "    <node id=\"L1\" time=\"60\"/>\n"
    "    <node id=\"L2\">hard</node>\n"
    "  </array>\n"
    "  <array>\n"
    "    <node name=\"anonymous\"/>\n"
    "  </array>\n"
    "</data>\n";

// Writes a data file into the game folder and returns its native path (read with stdio,
// as before the engine interface table exists).
std::string Write(const zytest::TempWorld &world, const std::string &name,
                  const std::string &text) {
  std::string path = world.game() + "/" + name;
  zytest::WriteFile(path, text);
  return path;
}

std::string Pair(const ZyDidodozNode *node, int i) {
  return std::string(node->pairs[i].name) + "=" + node->pairs[i].value;
}

}  // namespace

TEST_F(ZyTest, DidodozBuildsArraysNodesAndPairsInDocumentOrder) {
  ZyDidodozFile *file = ZYI_DidodozGetFile(Write(world, "levels.xml", kLevels).c_str());
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(file->array_count, 2);

  ZyDidodozArray *levels = ZYI_DidodozFindArray(file, "LEVELS");
  ASSERT_EQ(levels, file->arrays[0]);
  ASSERT_EQ(ZYI_DidodozNodeCount(levels), 2);
  ZyDidodozNode *l1 = ZYI_DidodozNodeAt(levels, 0);
  ASSERT_EQ(l1->attribute_count, 2);
  EXPECT_EQ(Pair(l1, 0), "id=L1");
  EXPECT_EQ(Pair(l1, 1), "time=60");
  ZyDidodozNode *l2 = ZYI_DidodozFindNode(levels, "L2");
  ASSERT_EQ(l2, ZYI_DidodozNodeAt(levels, 1));
  ASSERT_EQ(l2->attribute_count, 2);
  EXPECT_EQ(Pair(l2, 0), "id=L2");
  EXPECT_EQ(Pair(l2, 1), "DATA=hard");

  EXPECT_STREQ(ZYI_DidodozGetNodeAttribute(levels, "L1", "time"), "60");
  EXPECT_STREQ(ZYI_DidodozGetNodeAttributeAt(levels, 1, "DATA"), "hard");
  EXPECT_EQ(ZYI_DidodozGetNodeAttribute(levels, "L1", "TIME"), nullptr);  // exact names
  EXPECT_EQ(ZYI_DidodozGetNodeAttribute(levels, "l1", "time"), nullptr);
  EXPECT_EQ(ZYI_DidodozGetNodeAttribute(levels, "L3", "time"), nullptr);
  EXPECT_EQ(ZYI_DidodozGetAttribute(l1, nullptr), nullptr);
  EXPECT_EQ(ZYI_DidodozFindNode(levels, nullptr), nullptr);

  // The array without an id is found with a null id, and only that way.
  ZyDidodozArray *anonymous = ZYI_DidodozFindArray(file, nullptr);
  ASSERT_EQ(anonymous, file->arrays[1]);
  EXPECT_STREQ(ZYI_DidodozGetNodeAttributeAt(anonymous, 0, "name"), "anonymous");
  EXPECT_EQ(ZYI_DidodozFindNode(anonymous, "anything"), nullptr);  // nodes without id
  EXPECT_EQ(ZYI_DidodozFindArray(file, "levels"), nullptr);
}

TEST_F(ZyTest, DidodozNodeAtRefusesIndicesOutsideTheArray) {
  ZyDidodozArray *levels =
      ZYI_DidodozFindArray(ZYI_DidodozGetFile(Write(world, "l.xml", kLevels).c_str()), "LEVELS");
  EXPECT_EQ(ZYI_DidodozNodeAt(levels, -1), nullptr);
  EXPECT_EQ(ZYI_DidodozNodeAt(levels, 2), nullptr);
  EXPECT_EQ(ZYI_DidodozGetNodeAttributeAt(levels, 2, "id"), nullptr);
  EXPECT_EQ(ZYI_DidodozNodeAt(nullptr, 0), nullptr);
  EXPECT_EQ(ZYI_DidodozNodeCount(nullptr), 0);
}

TEST_F(ZyTest, DidodozLoadsAFileOnceWhateverTheCaseOfItsName) {
  std::string path = Write(world, "once.xml", kLevels);
  ZyDidodozFile *first = ZYI_DidodozGetFile(path.c_str());
  // Changed on disk: a later request, in any case, must not read it again.
  zytest::WriteFile(path, "<?xml?><r><array id=\"OTHER\"></array></r>");
  std::string shouted = world.game() + "/ONCE.XML";
  EXPECT_EQ(ZYI_DidodozGetFile(shouted.c_str()), first);
  EXPECT_EQ(ZYI_DidodozGetFile(path.c_str()), first);
  EXPECT_NE(ZYI_DidodozFindArray(first, "LEVELS"), nullptr);
  EXPECT_EQ(zy::didodoz.file_count, 1);
  EXPECT_STREQ(first->name, path.c_str());
}

TEST_F(ZyTest, DidodozKeepsNodesWithTwoIdsAndNodesClosedRightAway) {
  ZyDidodozFile *file = ZYI_DidodozGetFile(
      Write(world, "ids.xml",
            "<?xml?><r><array id=\"A\">"
            "<node id=\"first\" ID=\"second\" v=\"1\"/>"
            "<node id=\"x\"></node>"
            "<node id=\"y\"><node id=\"z\"/></node>"
            "</array></r>")
          .c_str());
  ZyDidodozArray *a = ZYI_DidodozFindArray(file, "A");
  ASSERT_NE(a, nullptr);
  // An end tag right after a start tag ends the node and creates nothing.
  ASSERT_EQ(ZYI_DidodozNodeCount(a), 4);
  ZyDidodozNode *two = ZYI_DidodozNodeAt(a, 0);
  EXPECT_STREQ(two->id, "second");
  ASSERT_EQ(two->attribute_count, 3);
  EXPECT_EQ(Pair(two, 0), "id=first");
  EXPECT_EQ(Pair(two, 1), "ID=second");
  EXPECT_EQ(ZYI_DidodozFindNode(a, "first"), nullptr);
  ZyDidodozNode *x = ZYI_DidodozFindNode(a, "x");
  ASSERT_NE(x, nullptr);
  ASSERT_EQ(x->attribute_count, 1);
  EXPECT_EQ(Pair(x, 0), "id=x");
  // A node after a start tag is processed as the next element, not lost.
  EXPECT_NE(ZYI_DidodozFindNode(a, "y"), nullptr);
  EXPECT_NE(ZYI_DidodozFindNode(a, "z"), nullptr);
}

TEST_F(ZyTest, DidodozOpensArraysInAnyCaseButClosesOnlyOnExactEndTag) {
  std::string path = Write(world, "case.xml",
                           "<?xml?><r>"
                           "<ARRAY Id=\"A\"><node id=\"n1\"/></ARRAY><node id=\"n2\"/></array>"
                           "<node id=\"outside\"/><other/>"
                           "<Array id=\"B\"/><node id=\"n3\"/>"
                           "</r>");
  zytest::RunResult r = zytest::RunInChild([path] {
    cfgtest::UseProgramRecord(true);
    ZyDidodozFile *file = ZYI_DidodozGetFile(path.c_str());
    ZyDidodozArray *a = ZYI_DidodozFindArray(file, "A");
    printf("arrays=%d nodes=%d", file->array_count, ZYI_DidodozNodeCount(a));
    for (int i = 0; i < ZYI_DidodozNodeCount(a); i++) printf(" %s", ZYI_DidodozNodeAt(a, i)->id);
    printf("\n");
  });
  // </ARRAY> is an unexpected element inside the array (reported), n2 still belongs to
  // A; <node> outside an array and the empty-element <Array/> are skipped quietly.
  EXPECT_NE(r.out.find("arrays=1 nodes=2 n1 n2\n"), std::string::npos) << r.out << r.err;
  EXPECT_EQ(Count(r.err, "Didodoz: in '" + path +
                             "' is expecting to find two three types of elements inside root: "
                             "'array' and 'node'. 'ARRAY' is not one of them."),
            1)
      << r.err;
  EXPECT_EQ(Count(r.err, "Didodoz: in"), 1) << r.err;
}

TEST_F(ZyTest, DidodozReportsTextAndStrangeElementsInsideAnArray) {
  std::string path = Write(world, "strange.xml",
                           "<?xml?><r><array id=\"A\">loose text<item/><node id=\"kept\"/>"
                           "</array></r>");
  zytest::RunResult r = zytest::RunInChild([path] {
    cfgtest::UseProgramRecord(true);
    ZyDidodozArray *a = ZYI_DidodozFindArray(ZYI_DidodozGetFile(path.c_str()), "A");
    printf("nodes=%d\n", ZYI_DidodozNodeCount(a));
  });
  EXPECT_NE(r.out.find("nodes=1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("'DATA' is not one of them."), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("'item' is not one of them."), std::string::npos) << r.err;
}

TEST_F(ZyTest, DidodozLosesTheFirstArrayOfAFileWithoutDeclaration) {
  ZyDidodozFile *file = ZYI_DidodozGetFile(
      Write(world, "nodecl.xml",
            "<array id=\"FIRST\"><node id=\"a\"/></array><array id=\"SECOND\"></array>")
          .c_str());
  // The root start tag and the declaration are skipped unread, whatever they are.
  EXPECT_EQ(ZYI_DidodozFindArray(file, "FIRST"), nullptr);
  EXPECT_NE(ZYI_DidodozFindArray(file, "SECOND"), nullptr);
}

TEST_F(ZyTest, DidodozRefusesOtherFileTypesOnceAndForAll) {
  std::string path = Write(world, "data.txt", kLevels);
  zytest::RunResult r = zytest::RunInChild([path] {
    cfgtest::UseProgramRecord(true);
    ZyDidodozFile *a = ZYI_DidodozGetFile(path.c_str());
    ZyDidodozFile *b = ZYI_DidodozGetFile(path.c_str());
    printf("same=%d arrays=%d\n", a == b, a->array_count);
  });
  EXPECT_NE(r.out.find("same=1 arrays=0\n"), std::string::npos) << r.out;
  EXPECT_EQ(Count(r.err, "Unknown database file type '" + path + "'.\nSupported formats are: .xml"),
            1)
      << r.err;
}

TEST_F(ZyTest, DidodozKeepsAMissingFileEmptyWithoutSecondAttempt) {
  std::string path = world.game() + "/later.xml";
  zytest::RunResult r = zytest::RunInChild([path] {
    cfgtest::UseProgramRecord(true);
    ZyDidodozFile *a = ZYI_DidodozGetFile(path.c_str());
    zytest::WriteFile(path, kLevels);  // appears afterwards: not read
    ZyDidodozFile *b = ZYI_DidodozGetFile(path.c_str());
    printf("same=%d arrays=%d\n", a == b, b->array_count);
  });
  EXPECT_NE(r.out.find("same=1 arrays=0\n"), std::string::npos) << r.out;
  EXPECT_EQ(Count(r.err, "ZY_XML Array File '" + path + "' not found!"), 1) << r.err;
}

TEST_F(ZyTest, DidodozReportsATruncatedNodeAndKeepsWhatCameBefore) {
  std::string path = Write(world, "cut.xml",
                           "<?xml?><r><array id=\"A\"><node id=\"ok\"/><node id=\"cut\">\n");
  zytest::RunResult r = zytest::RunInChild([path] {
    cfgtest::UseProgramRecord(true);
    ZyDidodozArray *a = ZYI_DidodozFindArray(ZYI_DidodozGetFile(path.c_str()), "A");
    printf("nodes=%d\n", ZYI_DidodozNodeCount(a));
  });
  EXPECT_NE(r.out.find("nodes=2\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("Didodoz error parsing file '" + path + "' after node #2 with id 'cut'."),
            std::string::npos)
      << r.err;
}

TEST_F(ZyTest, DidodozReadsThroughTheEngineFilesOnceTheTableExists) {
  zytest::WriteFile(world.game() + "/prog.xml", kLevels);
  cfgtest::UseGameFolder(world.game());
  ZyDidodozFile *file = ZYI_DidodozGetFile("res://prog.xml");
  EXPECT_NE(ZYI_DidodozFindArray(file, "LEVELS"), nullptr);
  EXPECT_EQ(ZYI_DidodozGetFile("RES://PROG.XML"), file);
  EXPECT_EQ(ZYFS_OpenFileCount(), 0);  // the reader closed what it opened
  ZYI_DidodozFree();
  EXPECT_EQ(zy::didodoz.file_count, 0);
}

TEST_F(ZyTest, DidodozReportsOnlyTheFirstUnexpectedElementsOfAFile) {
  std::string text = "<?xml?><r><array id=\"A\">";
  for (int i = 0; i < 100; i++) text += "<e" + std::to_string(i) + "/>";
  text += "<node id=\"last\"/></array></r>";
  std::string path = Write(world, "noisy.xml", text);
  zytest::RunResult r = zytest::RunInChild([path] {
    cfgtest::UseProgramRecord(true);
    ZyDidodozArray *a = ZYI_DidodozFindArray(ZYI_DidodozGetFile(path.c_str()), "A");
    printf("last=%d\n", ZYI_DidodozFindNode(a, "last") != nullptr);
  });
  EXPECT_NE(r.out.find("last=1"), std::string::npos) << r.out;
  EXPECT_EQ(Count(r.err, "is not one of them."), 16) << r.err;
}
