#include <gtest/gtest.h>

#include <string>

#include "system/win_path.h"

namespace vestrana {
namespace {

// Windows' own normalisation of trailing dots and spaces ("Naming Files,
// Paths, and Namespaces"; "File path formats on Windows systems"), which a
// verbatim path skips and long_path_form therefore has to do itself.
TEST(LongPathFormTrailing, FollowsTheSystemsRulesForDotsAndSpaces) {
  struct Case {
    const char* path;
    const char* expected;
  };
  for (const Case& c : {
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
       }) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(long_path_form(c.path), std::string(c.expected));
  }
}

}  // namespace
}  // namespace vestrana
