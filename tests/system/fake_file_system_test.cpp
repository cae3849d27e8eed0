// The fake stands in for Windows in the procedure tests; these pin down the
// Windows behaviour those tests rely on.
#include "fakes/fake_file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vestrana {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;

std::span<const uint8_t> as_bytes(std::string_view s) {
  return std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TEST(FakeFileSystem, FinalPathGivesOneSpellingForEveryWayOfNamingAFile) {
  FakeFileSystem fs;
  fs.add_file(R"(C:\Users\Me\AppData\Local\vestrana\uninstall.exe)", "x");
  fs.add_alias(R"(C:\Users\ME~1)", R"(C:\Users\Me)");
  fs.add_alias(R"(S:\)", R"(C:\Users\Me\AppData)");
  const std::string canonical = R"(C:\Users\Me\AppData\Local\vestrana\uninstall.exe)";
  for (const char* spelling : {R"(c:\users\me\appdata\local\VESTRANA\Uninstall.EXE)",
                               R"(C:/Users//Me/AppData/Local/vestrana/uninstall.exe)",
                               R"(C:\Users\ME~1\AppData\Local\vestrana\uninstall.exe)",
                               R"(S:\Local\vestrana\uninstall.exe)",
                               R"(C:\Users\Me\AppData\Local\other\..\vestrana\uninstall.exe)"}) {
    EXPECT_THAT(fs.final_path(spelling), Optional(canonical)) << spelling;
  }
  EXPECT_EQ(fs.final_path(R"(C:\Users\Me\AppData\Local\vestrana\missing.exe)"), std::nullopt);
}

TEST(FakeFileSystem, RenamesLikeWindows) {
  FakeFileSystem fs;
  fs.add_file(R"(C:\a\new.tmp)", "new");
  fs.add_file(R"(C:\a\readonly.exe)", "old", /*read_only=*/true);
  fs.add_file(R"(C:\a\running.exe)", "old");
  fs.set_in_use(R"(C:\a\running.exe)");
  fs.add_file(R"(C:\a\full\x)", "");

  auto code = [](const std::optional<OsError>& e) { return e ? e->code : std::nullopt; };
  EXPECT_EQ(code(fs.rename_replacing(R"(C:\a\new.tmp)", R"(C:\a\readonly.exe)")), kErrorAccessDenied);
  EXPECT_EQ(code(fs.rename_replacing(R"(C:\a\new.tmp)", R"(C:\a\running.exe)")), kErrorAccessDenied);
  EXPECT_EQ(code(fs.rename_by_handle(R"(C:\a\new.tmp)", R"(C:\a\running.exe)")), kErrorAccessDenied);
  EXPECT_EQ(code(fs.rename_by_handle(R"(C:\a\new.tmp)", R"(C:\a\full)")), kErrorDirNotEmpty);
  EXPECT_EQ(code(fs.rename_replacing(R"(C:\a\missing)", R"(C:\a\b)")), 2u);
  EXPECT_EQ(code(fs.rename_replacing(R"(C:\a\new.tmp)", R"(C:\nowhere\b)")), 3u);
  EXPECT_EQ(fs.rename_by_handle(R"(C:\a\new.tmp)", R"(C:\a\readonly.exe)"), std::nullopt);
  EXPECT_EQ(fs.text(R"(C:\a\readonly.exe)"), "new");
  EXPECT_FALSE(fs.exists(R"(C:\a\new.tmp)"));
}

TEST(FakeFileSystem, FilesInUseOrReadOnlyResistDeletion) {
  FakeFileSystem fs;
  fs.add_file(R"(C:\a\running.exe)", "x");
  fs.set_in_use(R"(C:\a\running.exe)");
  fs.add_file(R"(C:\a\readonly.txt)", "x", /*read_only=*/true);
  EXPECT_FALSE(fs.delete_file(R"(C:\a\running.exe)"));
  EXPECT_FALSE(fs.delete_file(R"(C:\a\readonly.txt)"));
  EXPECT_EQ(fs.write_new_file(R"(C:\a\running.exe)", as_bytes("y"))->code, 32u);
  EXPECT_FALSE(fs.remove_folder(R"(C:\a)"));
  EXPECT_EQ(fs.text(R"(C:\a\running.exe)"), "x");
}

TEST(FakeFileSystem, LinksLeadToTheirTargetButAreRemovedThemselves) {
  FakeFileSystem fs;
  fs.add_file(R"(D:\target\inside.txt)", "inside");
  fs.add_link(R"(C:\a\junction)", R"(D:\target)");
  EXPECT_TRUE(fs.is_link(R"(C:\a\junction)"));
  EXPECT_TRUE(fs.is_folder(R"(C:\a\junction)"));
  EXPECT_EQ(fs.text(R"(C:\a\junction\inside.txt)"), "inside");
  auto entries = fs.list_folder(R"(C:\a)");
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_TRUE((*entries)[0].is_link && (*entries)[0].is_folder);
  EXPECT_FALSE(fs.delete_file(R"(C:\a\junction)"));
  EXPECT_TRUE(fs.remove_folder(R"(C:\a\junction)"));
  EXPECT_THAT(fs.all_paths(), ElementsAre(R"(C:\a)", R"(D:\target)", R"(D:\target\inside.txt)"));
}

}  // namespace
}  // namespace vestrana
