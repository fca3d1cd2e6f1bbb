// Shared libraries: the ".dll" to ".so" name mapping, loading a real module by the name a
// game writes, symbol lookup, and the failures a module loader must report.
#include <errno.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "host/host.h"
#include "zytest.h"

namespace {

std::string FileName(const char *name, size_t size = 256) {
  char buf[256];
  return ZYH_LibraryFileName(name, buf, size);
}

// Runs the test body inside the world's game folder, as the launcher does.
class LibraryTest : public ZyTest {
 protected:
  void SetUp() override {
    ASSERT_NE(getcwd(saved_cwd, sizeof saved_cwd), nullptr);
    ASSERT_EQ(chdir(world.game().c_str()), 0);
  }
  void TearDown() override { EXPECT_EQ(chdir(saved_cwd), 0); }
  char saved_cwd[4096];
};

}  // namespace

TEST(LibraryName, TrailingDllOfAnyCaseBecomesSo) {
  EXPECT_EQ(FileName("prog.dll"), "prog.so");
  EXPECT_EQ(FileName("A.DLL"), "A.so");
  EXPECT_EQ(FileName("rmod_Soft.Dll"), "rmod_Soft.so");
  EXPECT_EQ(FileName("mods/prog.dll"), "mods/prog.so");
  EXPECT_EQ(FileName("/games/x.dll/y.DLL"), "/games/x.dll/y.so");
}

TEST(LibraryName, OtherNamesAreUntouched) {
  EXPECT_EQ(FileName("x.dll.txt"), "x.dll.txt");
  EXPECT_EQ(FileName("prog.so"), "prog.so");
  EXPECT_EQ(FileName("dll"), "dll");
  EXPECT_EQ(FileName("mods.dll/prog"), "mods.dll/prog");
  EXPECT_EQ(FileName(""), "");
  EXPECT_EQ(FileName(nullptr), "");
}

TEST(LibraryName, ANameThatDoesNotFitIsNotTruncated) {
  // "prog.so" needs 8 bytes with its terminator; a cut name would open another file.
  EXPECT_EQ(FileName("prog.dll", 8), "prog.so");
  EXPECT_EQ(FileName("prog.dll", 7), "");
  EXPECT_EQ(FileName("x.dll.txt", 9), "");
}

TEST_F(LibraryTest, ModuleLoadsByItsDllNameAndItsSymbolsWork) {
  zytest::InstallModule("host_probe", world.game());
  void *lib = ZYH_LoadLibrary("host_probe.dll");
  ASSERT_NE(lib, nullptr) << ZYH_LastErrorText();

  auto combine = (int (*)(int, int))ZYH_GetSymbol(lib, "host_probe_combine");
  auto calls = (int *)ZYH_GetSymbol(lib, "host_probe_calls");
  ASSERT_NE(combine, nullptr);
  ASSERT_NE(calls, nullptr);
  EXPECT_EQ(combine(7, 42), 7042);
  EXPECT_EQ(*calls, 1);

  EXPECT_EQ(ZYH_GetSymbol(lib, "no_such_symbol"), nullptr);
  EXPECT_NE(strstr(ZYH_LastErrorText(), "no_such_symbol"), nullptr) << ZYH_LastErrorText();
  ZYH_FreeLibrary(lib);
  ZYH_FreeLibrary(nullptr);  // ignored
}

TEST_F(LibraryTest, ModuleInASubfolderLoadsThroughItsPath) {
  zytest::MakeDirs(world.game() + "/mods");
  zytest::InstallModule("host_probe", world.game() + "/mods");
  void *lib = ZYH_LoadLibrary("mods/HOST_PROBE.dll");
  // The stem keeps its case: the file on disk is lower case, so this one is missing...
  EXPECT_EQ(lib, nullptr);
  EXPECT_EQ(ZYH_LastError(), ENOENT);
  // ...and the right spelling with an upper-case suffix is found.
  lib = ZYH_LoadLibrary("mods/host_probe.DLL");
  ASSERT_NE(lib, nullptr) << ZYH_LastErrorText();
  EXPECT_NE(ZYH_GetSymbol(lib, "host_probe_combine"), nullptr);
  ZYH_FreeLibrary(lib);
}

TEST_F(LibraryTest, MissingAndBrokenModulesReportWhy) {
  EXPECT_EQ(ZYH_LoadLibrary("absent.dll"), nullptr);
  EXPECT_EQ(ZYH_LastError(), ENOENT);
  EXPECT_STRNE(ZYH_LastErrorText(), "");

  zytest::WriteFile(world.game() + "/broken.so", "this is not an ELF file");
  EXPECT_EQ(ZYH_LoadLibrary("broken.dll"), nullptr);
  EXPECT_EQ(ZYH_LastError(), ENOEXEC);
  EXPECT_STRNE(ZYH_LastErrorText(), "");

  EXPECT_EQ(ZYH_LoadLibrary(nullptr), nullptr);
  EXPECT_EQ(ZYH_LoadLibrary(""), nullptr);
}

TEST_F(LibraryTest, BareNamesNeverComeFromTheSystemLibraryPath) {
  // The C library is on the system path of every process; a module name must not find it.
  EXPECT_EQ(ZYH_LoadLibrary("libc.so.6"), nullptr);
  EXPECT_EQ(ZYH_LastError(), ENOENT);
}
