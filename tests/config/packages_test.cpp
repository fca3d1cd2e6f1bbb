// packages_test.cpp — package lists: conditions, limits, and the search paths they add.
#include <string>
#include <vector>

#include "config/config_reader.h"
#include "config_support.h"

namespace {

class PackagesTest : public ZyTest {
 protected:
  void SetUp() override {
    cfgtest::UseProgramRecord(false);
    cfgtest::UseGameFolder(world.game());
    zy::core.current_parms.width = 1280;
    zy::core.current_parms.height = 720;
    first_ = ZY_GetSearchPathCount();
  }
  // Every search path, highest priority first.
  std::vector<std::string> Added() {
    std::vector<std::string> paths;
    for (int32_t i = 0; i < ZY_GetSearchPathCount(); i++) paths.push_back(ZY_GetSearchPath(i));
    return paths;
  }
  int32_t AddedCount() { return ZY_GetSearchPathCount() - first_; }
  int32_t first_ = 0;
};

bool Has(const std::vector<std::string> &paths, const std::string &path) {
  for (const std::string &p : paths)
    if (p == path) return true;
  return false;
}

}  // namespace

TEST_F(PackagesTest, ConditionsCompareTheDisplaySize) {
  // "resolution=" accepts either orientation; unknown keys and operators never hold.
  struct Case { const char *condition; int32_t w, h; bool holds; };
  for (Case c : {Case{"open", 1, 1, true}, Case{"res>=1024x*", 1280, 720, true},
                 Case{"res>=1024x*", 800, 600, false}, Case{"res<=800x600", 800, 600, true},
                 Case{"res<=800x600", 801, 600, false}, Case{"res==1280x720", 1280, 720, true},
                 Case{"res=1280x720", 1280, 720, true}, Case{"res=1280x720", 720, 1280, false},
                 Case{"res=*x720", 5, 720, true}, Case{"res==*x*", 5, 6, true},
                 Case{"resolution=1280x720", 720, 1280, true},
                 Case{"resolution=1280x720", 1280, 720, true},
                 Case{"resolution=1280x720", 1280, 721, false},
                 Case{"weather=sunny", 1280, 720, false}, Case{"res~1x1", 1, 1, false}})
    EXPECT_EQ((bool)ZYI_PackageConditionHolds(c.condition, c.w, c.h), c.holds)
        << c.condition << " at " << c.w << "x" << c.h;
}

TEST_F(PackagesTest, FeatureConditionsAskTheFeatureStrings) {
  char features[] = "HD,AUTOSCALE";
  zy::config.variant_features = features;
  EXPECT_TRUE(ZYI_PackageConditionHolds("feature=HD", 0, 0));
  EXPECT_FALSE(ZYI_PackageConditionHolds("feature=AUTO", 0, 0));
  zy::config.variant_features = nullptr;
}

TEST_F(ZyTest, PackageConditionWithASingleComparisonCharIsReportedAndTakenAsInclusive) {
  zytest::RunResult r = zytest::RunInChild([] {
    cfgtest::UseProgramRecord(true);
    printf("gt=%d lt=%d\n", ZYI_PackageConditionHolds("res>1280x720", 1280, 720),
           ZYI_PackageConditionHolds("res<1280x720", 1280, 720));
  });
  EXPECT_NE(r.out.find("gt=1 lt=1"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("prog.xml: res comparison needs to be ==, >=, or <=. 'res>1280x720' is not "
                       "supported."),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("'res<1280x720' is not supported."), std::string::npos) << r.err;
}

TEST_F(PackagesTest, AddsUsedEntriesAsResourceSearchPaths) {
  ZYI_AddPackageList(" data , @res>=1024x*:hd, @res>=2000x*:uhd, x, @open:always,@bad", true);
  std::vector<std::string> paths = Added();
  EXPECT_EQ(AddedCount(), 3);
  EXPECT_TRUE(Has(paths, "res://data/"));
  EXPECT_TRUE(Has(paths, "res://hd/"));
  EXPECT_TRUE(Has(paths, "res://always/"));
  EXPECT_FALSE(Has(paths, "res://uhd/"));
  // At the front: the last entry added has the highest priority.
  EXPECT_STREQ(ZY_GetSearchPath(0), "res://always/");
}

TEST_F(PackagesTest, HdPackageIsSkippedOnASmallDisplay) {
  zy::core.current_parms.width = 800;
  zy::core.current_parms.height = 600;
  ZYI_AddPackageList("@res>=1024x*:hd", true);
  EXPECT_EQ(AddedCount(), 0);
}

TEST_F(PackagesTest, UsesOnlyTheFirst32Entries) {
  std::string list;
  for (int i = 0; i < 40; i++) list += (i ? "," : "") + std::string("p") + std::to_string(i);
  ZYI_AddPackageList(list.c_str(), false);
  EXPECT_EQ(AddedCount(), 32);
  EXPECT_TRUE(Has(Added(), "res://p31/"));
  EXPECT_FALSE(Has(Added(), "res://p32/"));
}

TEST_F(PackagesTest, IgnoresAListLongerThan511Characters) {
  // Entries of one character are skipped but make the list long.
  std::string fits = "first,second";
  for (int i = 0; i < 249; i++) fits += ",x";
  fits += ",";
  ASSERT_EQ(fits.size(), 511u);
  ZYI_AddPackageList((fits + "x").c_str(), true);
  EXPECT_EQ(AddedCount(), 0);
  ZYI_AddPackageList(fits.c_str(), true);
  EXPECT_EQ(AddedCount(), 2);
}

TEST_F(PackagesTest, SkipsConditionsLongerThan63Characters) {
  std::string list = "@feature=" + std::string(60, 'F') + ":pkg";
  char features[128];
  snprintf(features, sizeof features, "%s", std::string(60, 'F').c_str());
  zy::config.app_features = features;
  ZYI_AddPackageList(list.c_str(), true);
  EXPECT_EQ(AddedCount(), 0);
  ZYI_AddPackageList(("@feature=" + std::string(54, 'F') + ":pkg").c_str(), true);
  EXPECT_EQ(AddedCount(), 0);  // a different feature name
  zy::config.app_features = nullptr;
}

TEST_F(PackagesTest, AddsTheFiveListsInOrder) {
  char app[] = "app", addon[] = "addon", sfx[] = "data-sfx-WAV_22050_MONO",
       music[] = "data-music-OGG_44100", dev[] = "devtools";
  ZyConfig &c = zy::config;
  c.app_packages = app;
  c.addon_packages = addon;
  c.sfx_folder = sfx;
  c.music_folder = music;
  c.developer_packages = dev;
  ZYI_AddPackageLists();
  int32_t n = ZY_GetSearchPathCount();
  ASSERT_EQ(AddedCount(), 5);
  EXPECT_STREQ(ZY_GetSearchPath(0), "res://data-music-OGG_44100/");
  EXPECT_STREQ(ZY_GetSearchPath(1), "res://data-sfx-WAV_22050_MONO/");
  EXPECT_STREQ(ZY_GetSearchPath(2), "res://addon/");
  EXPECT_STREQ(ZY_GetSearchPath(3), "res://app/");
  EXPECT_STREQ(ZY_GetSearchPath(n - 1), "res://devtools/");  // appended last
  memset(&c, 0, sizeof c);
}
