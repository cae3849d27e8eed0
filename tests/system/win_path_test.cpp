#include "system/win_path.h"

#include <gtest/gtest.h>

namespace vestrana {
namespace {

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
           Case{"C:\\dots...\\spaces  \\x", "\\\\?\\C:\\dots\\spaces\\x"},
           Case{"C:\\", "\\\\?\\C:\\"},
           Case{"\\\\server\\share\\folder\\file", "\\\\?\\UNC\\server\\share\\folder\\file"},
           Case{"//server/share/folder", "\\\\?\\UNC\\server\\share\\folder"},
           Case{deep.c_str(), nullptr},
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
