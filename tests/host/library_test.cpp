// Shared libraries: the ".dll" to ".so" name mapping and the failures a module loader must
// report (loading itself is what every module and program test does).
#include <errno.h>
#include <unistd.h>

#include "host/host.h"
#include "zytest.h"

namespace {

// Runs the test body inside the world's game folder, as the launcher does.
class Library : public ZyTest {
 protected:
  void SetUp() override {
    ASSERT_NE(getcwd(saved_cwd, sizeof saved_cwd), nullptr);
    ASSERT_EQ(chdir(world.game().c_str()), 0);
  }
  void TearDown() override { EXPECT_EQ(chdir(saved_cwd), 0); }
  char saved_cwd[4096];
};

}  // namespace

TEST(LibraryName, OnlyATrailingDllOfAnyCaseBecomesSoAndANameThatDoesNotFitIsRefused) {
  const struct { const char *name; size_t size; const char *want; } cases[] = {
      {"prog.dll", 256, "prog.so"}, {"A.DLL", 256, "A.so"}, {"rmod_Soft.Dll", 256, "rmod_Soft.so"},
      {"/games/x.dll/y.DLL", 256, "/games/x.dll/y.so"}, {"x.dll.txt", 256, "x.dll.txt"}, {"dll", 256, "dll"},
      {"mods.dll/prog", 256, "mods.dll/prog"}, {"", 256, ""}, {nullptr, 256, ""},
      {"prog.dll", 8, "prog.so"}, {"prog.dll", 7, ""}, {"x.dll.txt", 9, ""}};  // a cut name would open another file
  for (auto &c : cases) {
    char buf[256];
    EXPECT_EQ(std::string(ZYH_LibraryFileName(c.name, buf, c.size)), c.want) << (c.name ? c.name : "(null)") << " " << c.size;
  }
}

TEST_F(Library, MissingBrokenAndSystemLibrariesAreRefusedWithTheReason) {
  zytest::WriteFile(world.game() + "/broken.so", "this is not an ELF file");
  // libc is on the system path of every process; a bare module name must not find it.
  const struct { const char *name; int error; } cases[] = {{"absent.dll", ENOENT}, {"broken.dll", ENOEXEC}, {"libc.so.6", ENOENT}};
  for (auto &c : cases) {
    EXPECT_EQ(ZYH_LoadLibrary(c.name), nullptr) << c.name;
    EXPECT_EQ(ZYH_LastError(), c.error) << c.name;
    EXPECT_STRNE(ZYH_LastErrorText(), "") << c.name;
  }
  EXPECT_EQ(ZYH_LoadLibrary(nullptr), nullptr);
  EXPECT_EQ(ZYH_LoadLibrary(""), nullptr);
}
