// The fake stands in for Windows in the procedure tests; these pin down the
// Windows behaviour those tests rely on.
#include "fakes/fake_file_system.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

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
  for (const char* spelling :
       {R"(c:\users\me\appdata\local\VESTRANA\Uninstall.EXE)", R"(C:/Users//Me/AppData/Local/vestrana/uninstall.exe)",
        R"(C:\Users\ME~1\AppData\Local\vestrana\uninstall.exe)", R"(S:\Local\vestrana\uninstall.exe)",
        R"(C:\Users\Me\AppData\Local\other\..\vestrana\uninstall.exe)"}) {
    EXPECT_THAT(fs.final_path(spelling), Optional(canonical)) << spelling;
  }
  EXPECT_EQ(fs.final_path(R"(C:\Users\Me\AppData\Local\vestrana\missing.exe)"), std::nullopt);
}

// Names are found the way NTFS finds them: every letter upper-cased on its
// own, in any script, and nothing else merged.
TEST(FakeFileSystem, NamesMatchInAnyLetterCaseButNoOtherWay) {
  FakeFileSystem fs;
  fs.add_file("C:\\Users\\\xC3\x84rger\\\xD0\x96\xCE\xA9\xC5\xB8\xC4\xB9.txt", "x");  // Ärger\ЖΩŸĹ.txt
  for (const char* same : {"c:\\USERS\\\xC3\xA4RGER\\\xD0\xB6\xCF\x89\xC3\xBF\xC4\xBA.TXT",  // ärger\жωÿĺ
                           "C:/Users/\xC3\x84rger/\xD0\x96\xCE\xA9\xC5\xB8\xC4\xB9.txt"}) {
    EXPECT_EQ(fs.text(same), "x") << same;
  }
  fs.add_file("C:\\\xC3\x9F", "sharp s");  // ß
  for (const char* other : {"C:\\SS", "C:\\ss", "C:\\\xC3\x9F\\x", "C:\\\xE4rger"}) {
    EXPECT_FALSE(fs.exists(other)) << other;
  }
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
  // Windows, unlike Wine, keeps a read-only target with POSIX semantics too.
  EXPECT_EQ(code(fs.rename_by_handle(R"(C:\a\new.tmp)", R"(C:\a\readonly.exe)")), kErrorAccessDenied);
  EXPECT_TRUE(fs.clear_read_only(R"(C:\a\readonly.exe)"));
  EXPECT_EQ(fs.rename_replacing(R"(C:\a\new.tmp)", R"(C:\a\readonly.exe)"), std::nullopt);
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

// Deleting through a handle opened without following a link, as the
// Windows layer does it (FileDispositionInfoEx with POSIX semantics and
// ignore-read-only, or FileDispositionInfo after clearing read-only).
struct HandleCase {
  const char* what;
  std::function<void(FakeFileSystem&)> arrange;
  EntryKind kind;
  std::optional<uint32_t> refusal;  // nothing: removed
};

void PrintTo(const HandleCase& c, std::ostream* os) { *os << c.what; }

class FakeFileSystemHandles : public ::testing::TestWithParam<HandleCase> {};

TEST_P(FakeFileSystemHandles, RemoveLikeWindows) {
  const HandleCase& c = GetParam();
  FakeFileSystem fs;
  fs.add_file(R"(D:\target\inside.txt)", "inside");
  c.arrange(fs);
  const std::string path = R"(C:\a\entry)";
  std::unique_ptr<OpenEntry> entry = fs.open_entry(path, nullptr);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->kind(), c.kind);
  OsError error;
  bool removed = entry->remove(&error);
  EXPECT_EQ(removed, !c.refusal);
  if (c.refusal) {
    EXPECT_EQ(error.code, c.refusal);
  }
  EXPECT_EQ(fs.exists(path), !removed);
  EXPECT_EQ(fs.text(R"(D:\target\inside.txt)"), "inside");
}

INSTANTIATE_TEST_SUITE_P(
    FakeFileSystem, FakeFileSystemHandles,
    ::testing::Values(HandleCase{"read_only_file",
                                 [](FakeFileSystem& fs) { fs.add_file(R"(C:\a\entry)", "x", /*read_only=*/true); },
                                 EntryKind::File, std::nullopt},
                      HandleCase{"read_only_empty_folder",
                                 [](FakeFileSystem& fs) {
                                   fs.add_folder(R"(C:\a\entry)");
                                   fs.set_read_only(R"(C:\a\entry)");
                                 },
                                 EntryKind::Folder, std::nullopt},
                      HandleCase{"running_program",
                                 [](FakeFileSystem& fs) {
                                   fs.add_file(R"(C:\a\entry)", "x");
                                   fs.set_in_use(R"(C:\a\entry)");
                                 },
                                 EntryKind::File, kErrorAccessDenied},
                      HandleCase{"current_folder_of_a_process",
                                 [](FakeFileSystem& fs) {
                                   fs.add_folder(R"(C:\a\entry)");
                                   fs.set_in_use(R"(C:\a\entry)");
                                 },
                                 EntryKind::Folder, kErrorSharingViolation},
                      HandleCase{"folder_with_content", [](FakeFileSystem& fs) { fs.add_file(R"(C:\a\entry\x)", "x"); },
                                 EntryKind::Folder, kErrorDirNotEmpty},
                      HandleCase{"junction", [](FakeFileSystem& fs) { fs.add_link(R"(C:\a\entry)", R"(D:\target)"); },
                                 EntryKind::Link, std::nullopt},
                      HandleCase{"file_symbolic_link",
                                 [](FakeFileSystem& fs) {
                                   fs.add_link(R"(C:\a\entry)", R"(D:\target\inside.txt)", /*folder_link=*/false);
                                 },
                                 EntryKind::Link, std::nullopt}),
    [](const ::testing::TestParamInfo<HandleCase>& info) { return std::string(info.param.what); });

TEST(FakeFileSystem, AHandleStaysWithTheFolderItOpenedAndOpensOnlyInsideIt) {
  FakeFileSystem fs;
  fs.add_file(R"(C:\a\x.txt)", "x");
  fs.add_file(R"(C:\outside.txt)", "keep");
  std::unique_ptr<OpenEntry> folder = fs.open_entry(R"(C:\a)", nullptr);
  ASSERT_TRUE(folder);
  ASSERT_EQ(fs.rename_replacing(R"(C:\a)", R"(C:\b)"), std::nullopt);
  fs.add_folder(R"(C:\a)");  // a new folder under the old name
  std::vector<std::string> listed;
  fs.on_listed([&](const std::string& path) { listed.push_back(path); });
  auto entries = folder->list();
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].name, "x.txt");
  EXPECT_THAT(listed, ElementsAre(R"(C:\b)"));
  std::unique_ptr<OpenEntry> file = folder->open("X.TXT", nullptr);
  ASSERT_TRUE(file);
  EXPECT_THAT(file->final_path(), Optional(std::string(R"(C:\b\x.txt)")));
  EXPECT_TRUE(file->remove(nullptr));
  EXPECT_FALSE(fs.exists(R"(C:\b\x.txt)"));
  // One component, inside the folder: nothing else is reached through it.
  for (const char* name : {"..", R"(..\outside.txt)", "missing"}) {
    OsError error;
    EXPECT_FALSE(folder->open(name, &error)) << name;
    EXPECT_EQ(error.code, std::string_view(name) == "missing" ? 2u : 123u) << name;
  }
  EXPECT_TRUE(folder->remove(nullptr));
  EXPECT_THAT(fs.all_paths(), ElementsAre(R"(C:\a)", R"(C:\outside.txt)"));
}

}  // namespace
}  // namespace vestrana
