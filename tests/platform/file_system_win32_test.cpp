// What only the Windows backend does: the system's reasons, attributes and the limit of a
// path (run under Wine on the build machine).
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace vexal {
namespace {

// A failure gives the system's reason, one line; for a file another program holds open
// without sharing it, as the game holds its archives, it says what to do.
TEST(Win32FileSystemTest, FailedCallsTellTheSystemsReason) {
  const test::TempDir dir;
  const auto fs = make_native_file_system();
  const std::string a = dir.str() + "\\a", b = dir.str() + "\\b";
  dir.write_file("a", "1");
  dir.write_file("b", "2");
  const std::string missing = fs->open_read(dir.str() + "\\missing").reason();
  const std::string exists = fs->move(a, b).reason();
  EXPECT_TRUE(!missing.empty() && !exists.empty() && missing != exists && !missing.ends_with("\n"));
  const HANDLE held = CreateFileA(a.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  for (const IoResult& result :
       {fs->open_read(a).result(), fs->remove(a), fs->move(a, dir.str() + "\\c")}) {
    EXPECT_TRUE(result.reason().ends_with(
        "; another program, such as the game, has the file open: close it and run again"))
        << result.reason();
  }
  CloseHandle(held);
}

// Listings leave out hidden and system files, and a replaced file keeps its attributes; a
// path takes fewer than 260 bytes.
TEST(Win32FileSystemTest, AttributesAndTheLimitOfAPath) {
  const test::TempDir dir;
  const auto fs = make_native_file_system();
  for (const char* name : {"A.PCX", "hidden.ini", "system.dat"}) {
    dir.write_file(name, "old");
  }
  const std::string hidden = dir.str() + "\\hidden.ini";
  SetFileAttributesA(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesA((dir.str() + "\\system.dat").c_str(), FILE_ATTRIBUTE_SYSTEM);
  EXPECT_TRUE(fs->replace_file(dir.str() + "\\HIDDEN.INI", "new"));
  EXPECT_EQ(dir.read_file("hidden.ini"), "new");
  EXPECT_NE(GetFileAttributesA(hidden.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  const auto entries = fs->list(dir.str() + "\\*", ListMode::files_only);
  ASSERT_TRUE(entries && entries->size() == 1);
  EXPECT_EQ(entries->front().name, "A.PCX");
  const std::string too_long = dir.str() + "\\" + std::string(259 - dir.str().size(), 'x');
  EXPECT_FALSE(fs->open_write(too_long));
  OpenedFile fits = fs->open_write(too_long.substr(0, 259));
  EXPECT_TRUE(fits && (*fits)->close());
}

}  // namespace
}  // namespace vexal
