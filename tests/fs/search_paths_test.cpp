// search_paths_test.cpp — the ordered search path list.
#include "fs_fixture.h"

using SearchPathTest = FsTest;

static std::vector<std::string> Paths() {
  std::vector<std::string> out;
  for (int32_t i = 0; i < ZY_GetSearchPathCount(); i++) out.push_back(ZY_GetSearchPath(i));
  return out;
}

TEST_F(SearchPathTest, AddsAtFrontOrBackWithTrailingSlash) {
  ZY_AddSearchPath("res://", false);
  ZY_AddSearchPath("user://", true);
  ZY_AddSearchPath("res://data", false);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"user://", "res://", "res://data/"}));
  EXPECT_EQ(ZY_GetSearchPath(-1), nullptr);
  EXPECT_EQ(ZY_GetSearchPath(3), nullptr);
  EXPECT_TRUE(Logged("Adding search path 'res://data/'."));
  EXPECT_TRUE(Logged("Search path priority #3: 'res://data/'."));
  EXPECT_TRUE(Logged("Search path priority #1: 'user://'."));
}

TEST_F(SearchPathTest, SamePathTwiceKeepsOneAtTheSecondPosition) {
  ZY_AddSearchPath("res://a/", false);
  ZY_AddSearchPath("res://b/", false);
  ZY_AddSearchPath("res://c/", false);
  ZY_AddSearchPath("res://a", false);  // same path once normalised
  EXPECT_EQ(Paths(), (std::vector<std::string>{"res://b/", "res://c/", "res://a/"}));
  EXPECT_TRUE(Logged("Duplicate search path, removing the old one: 'res://a/'"));
  ZY_AddSearchPath("res://c/", true);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"res://c/", "res://b/", "res://a/"}));
  // Case matters: these are different folders on Linux.
  ZY_AddSearchPath("res://A/", false);
  EXPECT_EQ(ZY_GetSearchPathCount(), 4);
}

TEST_F(SearchPathTest, BackslashesAreNormalisedForAddAndRemove) {
  ZY_AddSearchPath("res://data\\sounds", false);
  EXPECT_EQ(Paths(), (std::vector<std::string>{"res://data/sounds/"}));
  ZY_RemoveSearchPath("res://data/sounds");
  EXPECT_EQ(ZY_GetSearchPathCount(), 0);
  ZY_AddSearchPath("res://x/", false);
  ZY_RemoveSearchPath("res:\\\\x\\");
  EXPECT_EQ(ZY_GetSearchPathCount(), 0);
}

TEST_F(SearchPathTest, RemoveIgnoresUnknownAndEmpty) {
  ZY_AddSearchPath("res://", false);
  ZY_RemoveSearchPath("");
  ZY_RemoveSearchPath(nullptr);
  ZY_RemoveSearchPath("res://other");
  EXPECT_EQ(Paths(), (std::vector<std::string>{"res://"}));
}

TEST_F(SearchPathTest, GrowsPastItsFirstCapacity) {
  for (int i = 0; i < 100; i++) ZY_AddSearchPath(("res://p" + std::to_string(i)).c_str(), false);
  ASSERT_EQ(ZY_GetSearchPathCount(), 100);
  EXPECT_STREQ(ZY_GetSearchPath(0), "res://p0/");
  EXPECT_STREQ(ZY_GetSearchPath(99), "res://p99/");
}

TEST_F(SearchPathTest, PathsWithoutPrefixOrClimbingOutAreRefused) {
  std::string err = StderrOf([] {
    ZY_AddSearchPath("data/", false);
    ZY_AddSearchPath(nullptr, false);
    ZY_AddSearchPath("res://../../", false);
    ZY_AddSearchPath("res://a/../..", true);
  });
  EXPECT_EQ(ZY_GetSearchPathCount(), 0);
  EXPECT_NE(err.find("zy->AddSearchPath ('data/'): path name needs to include file system target "
                     "prefix such as res:// or user://."),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("zy->AddSearchPath ('res://../../'): path name must not contain '..'"),
            std::string::npos)
      << err;
}
