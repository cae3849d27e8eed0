#include "system/win_path.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vestrana {
namespace {

// A path is taken apart the way the file calls read it: either separator,
// doubled and trailing ones ignored, "." dropped, ".." kept for the caller.
TEST(SplitPath, FindsPrefixRootAndComponents) {
  struct Case {
    const char* path;
    const char* prefix;
    bool rooted;
    std::vector<std::string_view> components;
  };
  const Case cases[] = {
      {"C:\\a\\b", "C:", true, {"a", "b"}},
      {"c:/a//./b/", "c:", true, {"a", "b"}},
      {"C:a\\b", "C:", false, {"a", "b"}},
      {"C:", "C:", false, {}},
      {"\\a", "", true, {"a"}},
      {"a\\..\\b", "", false, {"a", "..", "b"}},
      {"", "", false, {}},
      {"\\\\server\\share\\x", "\\\\server\\share", true, {"x"}},
      {"//server/share", "//server/share", true, {}},
      {"\\\\?\\C:\\a", "\\\\?\\C:", true, {"a"}},
      {"\\\\?\\unc\\srv\\sh\\a", "\\\\?\\unc\\srv\\sh", true, {"a"}},
      {"\\\\.\\pipe\\x", "\\\\.\\pipe", true, {"x"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const PathParts parts = split_path(c.path);
    EXPECT_EQ(parts.prefix, c.prefix);
    EXPECT_EQ(parts.rooted, c.rooted);
    EXPECT_EQ(parts.components, c.components);
  }
}

// The caller's own spelling survives: the parent and the name are cut out of
// the path as written, and the temporary name keeps the folder untouched.
TEST(PathPieces, ParentNameAndTemporaryName) {
  struct Case {
    const char* path;
    std::optional<std::string> parent;
    const char* name;
    const char* temporary;
  };
  const Case cases[] = {
      {"C:\\a\\vestrana.exe", "C:\\a", "vestrana.exe", "C:\\a\\vestrana.new"},
      {"C:/a//b.dir/", "C:/a", "b.dir", "C:/a//b.new"},
      {"C:\\a", "C:\\", "a", "C:\\a.new"},
      {"C:a", "C:", "a", "C:a.new"},
      {"\\a", "\\", "a", "\\a.new"},
      {"a\\b", "a", "b", "a\\b.new"},
      {"x.y\\app", "x.y", "app", "x.y\\app.new"},
      {"a\\.hidden", "a", ".hidden", "a\\.hidden.new"},
      {"a\\x.tar.gz", "a", "x.tar.gz", "a\\x.tar.new"},
      // Already the temporary name: the writer has to notice the clash itself.
      {"a\\vestrana.new", "a", "vestrana.new", "a\\vestrana.new"},
      {"\\\\srv\\share\\f", "\\\\srv\\share\\", "f", "\\\\srv\\share\\f.new"},
      {"\\\\?\\C:\\v\\f.dll", "\\\\?\\C:\\v", "f.dll", "\\\\?\\C:\\v\\f.new"},
      {"a\\..", "a", "", "a\\...new"},
      {"C:\\", std::nullopt, "", "C:\\.new"},
      {"\\", std::nullopt, "", "\\.new"},
      {"name", std::nullopt, "name", "name.new"},
      {"", std::nullopt, "", ".new"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(parent_folder(c.path), c.parent);
    EXPECT_EQ(file_name(c.path), c.name);
    EXPECT_EQ(with_extension_new(c.path), c.temporary);
  }
}

TEST(JoinPath, AddsOneSeparatorWhereNeeded) {
  EXPECT_EQ(join_path("C:\\a", "b"), "C:\\a\\b");
  EXPECT_EQ(join_path("C:\\a\\", "b"), "C:\\a\\b");
  EXPECT_EQ(join_path("C:/a/", "b"), "C:/a/b");
  EXPECT_EQ(join_path("C:", "b"), "C:b");
  EXPECT_EQ(join_path("", "b"), "b");
}

// Windows compares file names letter by letter after upper-casing each one
// with the volume's case table: no two letters merge into one ("ß" is not
// "SS"), and a path that is only the start of another is a different path.
TEST(SamePath, ComparesComponentsWithTheFileNameCaseRule) {
  struct Case {
    const char* a;
    const char* b;
    bool ignoring_case;
    bool exactly;
  };
  const Case cases[] = {
      {"C:\\a\\b", "C:/a//b/", true, true},
      {"C:\\a\\.\\b", "C:\\a\\b", true, true},
      {"C:\\Vestrana\\App", "c:\\vestrana\\app", true, false},
      {"\\\\SRV\\Share\\A", "\\\\srv\\share\\a", true, false},
      {"C:\\Users\\\xC3\x84rger\\\xC3\xBF", "C:\\users\\\xC3\xA4rger\\\xC5\xB8", true, false},  // Ä ä, ÿ Ÿ
      {"C:\\\xC4\x80\xC4\xB9\xC5\xBD", "C:\\\xC4\x81\xC4\xBA\xC5\xBE", true, false},  // Ā ā, Ĺ ĺ, Ž ž
      {"C:\\\xCE\x91\xCE\xA9", "C:\\\xCE\xB1\xCF\x89", true, false},  // Α α, Ω ω
      {"C:\\\xD0\x96\xD0\x81\xD0\xAF", "C:\\\xD0\xB6\xD1\x91\xD1\x8F", true, false},  // Ж ж, Ё ё, Я я
      {"C:\\a\\b", "C:\\a", false, false},
      {"C:\\a", "C:\\a\\b", false, false},
      {"C:\\a\\bc", "C:\\a\\b", false, false},
      {"C:\\a\\b", "C:\\ab", false, false},
      {"C:\\a", "D:\\a", false, false},
      {"C:\\a", "C:a", false, false},
      {"\\\\srv\\share\\a", "\\\\srv\\other\\a", false, false},
      {"C:\\\xC3\x9F", "C:\\ss", false, false},  // ß
      {"C:\\\xC3\xA4", "C:\\a", false, false},  // ä
      {"C:\\\xC3\x97", "C:\\\xC3\xB7", false, false},  // × is no letter: not ÷
      {"C:\\\xE4", "C:\\\xC3\x84", false, false},  // a stray byte is not the letter it would fold to
      {"C:\\\xE4", "C:\\\xC4", false, false},
      {"C:\\\xE4", "C:\\\xE4", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " | " + c.b);
    EXPECT_EQ(same_path(c.a, c.b, true), c.ignoring_case);
    EXPECT_EQ(same_path(c.b, c.a, true), c.ignoring_case);
    EXPECT_EQ(same_path(c.a, c.b, false), c.exactly);
  }
}

TEST(LongPathForm, AbsolutePathsBecomeVerbatimAsTheSystemWouldHaveReadThem) {
  struct Case {
    const char* path;
    const char* expected;
  };
  const std::string deep = "C:\\Users\\u\\" + std::string(300, 'x') + "\\file.txt";
  for (const Case& c : {
           Case{"C:\\Users\\u\\AppData\\Local\\vestrana", "\\\\?\\C:\\Users\\u\\AppData\\Local\\vestrana"},
           Case{"c:/Users//u/./AppData/../Local/", "\\\\?\\c:\\Users\\u\\Local"},
           Case{"C:\\a\\..\\..\\b", "\\\\?\\C:\\b"},
           Case{"C:\\", "\\\\?\\C:\\"},
           Case{"\\\\server\\share\\folder\\file", "\\\\?\\UNC\\server\\share\\folder\\file"},
           Case{"//server/share/folder", "\\\\?\\UNC\\server\\share\\folder"},
           Case{deep.c_str(), nullptr},
           // Windows' own normalisation of trailing dots and spaces ("Naming
           // Files, Paths, and Namespaces"; "File path formats on Windows
           // systems"), which a verbatim path skips and long_path_form
           // therefore has to do itself.
           // The last component loses all of them.
           Case{"C:\\a\\file. . .", "\\\\?\\C:\\a\\file"},
           Case{"C:\\a\\name  ", "\\\\?\\C:\\a\\name"},
           // An inner component keeps its spaces and loses one dot only.
           Case{"C:\\spaces  \\x", "\\\\?\\C:\\spaces  \\x"},
           Case{"C:\\dot.\\x", "\\\\?\\C:\\dot\\x"},
           Case{"C:\\dots..\\x", "\\\\?\\C:\\dots.\\x"},
           // Three dots are a name, not a step up.
           Case{"C:\\a\\...\\x", "\\\\?\\C:\\a\\...\\x"},
           Case{"C:\\a\\....\\x", "\\\\?\\C:\\a\\....\\x"},
           // A trailing separator makes the last name an inner one.
           Case{"C:\\a\\name \\", "\\\\?\\C:\\a\\name "},
           Case{"C:\\a\\...\\", "\\\\?\\C:\\a\\..."},
           // As the last component, three dots are all trailing dots.
           Case{"C:\\a\\...", "\\\\?\\C:\\a"},
           Case{"\\\\server\\share\\dir.\\f ", "\\\\?\\UNC\\server\\share\\dir\\f"},
           // Left alone: relative, drive-relative, rooted without a drive,
           // already verbatim or a device.
           Case{"vestrana\\vestrana.exe", "vestrana\\vestrana.exe"},
           Case{"C:vestrana", "C:vestrana"},
           Case{"\\Windows", "\\Windows"},
           Case{"\\\\?\\C:\\a\\..\\b", "\\\\?\\C:\\a\\..\\b"},
           Case{"\\\\.\\pipe\\x", "\\\\.\\pipe\\x"},
           Case{"", ""},
       }) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(long_path_form(c.path), c.expected ? std::string(c.expected) : "\\\\?\\" + deep);
  }
}

}  // namespace
}  // namespace vestrana
