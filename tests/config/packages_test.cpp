// packages_test.cpp — package lists: conditions, limits, and the search paths they add.
#include <string>
#include <vector>

#include "config/config_reader.h"
#include "config_support.h"

using Paths = std::vector<std::string>;

class Packages : public CfgTest {
 protected:
  void SetUp() override {
    CfgTest::SetUp();
    cfgtest::UseGameFolder(world.game());
    zy::core.current_parms.width = 1280;  // what "res>=1024x*" is compared with
  }
  static Paths Added() {  // every search path, highest priority first
    Paths paths;
    for (int32_t i = 0; i < ZY_GetSearchPathCount(); i++) paths.push_back(ZY_GetSearchPath(i));
    return paths;
  }
};

TEST_F(Packages, ConditionsCompareTheDisplaySizeAndFeatures) {
  // "resolution=" accepts either orientation; a single comparison character is taken as
  // inclusive; unknown keys and operators never hold.
  struct Case { const char *condition; int32_t w, h; bool holds; };
  zy::config.variant_features = strdup("HD,AUTOSCALE");
  for (Case c : {Case{"open", 1, 1, true}, {"res>=1024x*", 1280, 720, true}, {"res>=1024x*", 800, 600, false},
                 {"res<=800x600", 800, 600, true}, {"res<=800x600", 801, 600, false},
                 {"res<=800x600", 800, 601, false}, {"res==1280x720", 1280, 720, true},
                 {"res=1280x720", 720, 1280, false}, {"res=*x720", 5, 720, true},
                 {"resolution=1280x720", 720, 1280, true}, {"resolution=1280x720", 1280, 721, false},
                 {"res>1280x720", 1280, 720, true}, {"res<1280x720", 1280, 720, true},
                 {"weather=sunny", 1, 1, false}, {"res~1x1", 1, 1, false}, {"feature=HD", 0, 0, true},
                 {"feature=AUTO", 0, 0, false}})
    EXPECT_EQ((bool)ZYI_PackageConditionHolds(c.condition, c.w, c.h), c.holds)
        << c.condition << " at " << c.w << "x" << c.h;
}

TEST_F(Packages, UsedEntriesBecomeResourceSearchPathsInOrder) {
  ZyConfig &c = zy::config;
  c.app_packages = strdup(" data , @res>=1024x*:hd, @res>=2000x*:uhd, x, @open:always,@bad");
  c.addon_packages = strdup("addon");
  c.sfx_folder = strdup("data-sfx-WAV_22050_MONO");
  c.music_folder = strdup("data-music-OGG_44100");
  c.developer_packages = strdup("devtools");
  ZYI_AddPackageLists();
  EXPECT_EQ(Added(), (Paths{"res://data-music-OGG_44100/", "res://data-sfx-WAV_22050_MONO/",
                            "res://addon/", "res://always/", "res://hd/", "res://data/",
                            "res://devtools/"}));
}

TEST_F(Packages, ListsAndConditionsPastTheirLimitsAreIgnored) {
  // A list longer than 511 characters is ignored whole (one-character entries are skipped).
  std::string fits = "first,second";
  for (int i = 0; i < 249; i++) fits += ",x";
  ASSERT_EQ((fits += ",").size(), 511u);
  ZYI_AddPackageList((fits + "x").c_str(), true);
  EXPECT_EQ(ZY_GetSearchPathCount(), 0);
  ZYI_AddPackageList(fits.c_str(), true);
  EXPECT_EQ(ZY_GetSearchPathCount(), 2);
  // A condition of 63 characters is looked at, a longer one never holds.
  zy::config.app_features = strdup((std::string(55, 'F') + "," + std::string(56, 'F')).c_str());
  ZYI_AddPackageList(("@feature=" + std::string(55, 'F') + ":f55,@feature=" + std::string(56, 'F') +
                      ":f56").c_str(), true);
  EXPECT_EQ(Added(), (Paths{"res://f55/", "res://second/", "res://first/"}));  // 56: too long
}
