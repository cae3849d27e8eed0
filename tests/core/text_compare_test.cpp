// Folder names compared as the removal compares them: a name that is not
// well-formed UTF-8 must never match a different name, or a folder that
// only looks like ours could be taken for it.
#include <gtest/gtest.h>

#include <string>

#include "system/win_path.h"

namespace vestrana {
namespace {

struct CompareCase {
  const char* a;
  const char* b;
  bool same;
};

TEST(SamePathFold, IllFormedBytesMatchOnlyThemselves) {
  const CompareCase cases[] = {
      {"C:\\a\xC3", "C:\\A\xC3", true},  // the same stray byte, ASCII case aside
      {"C:\\a\xC3", "C:\\a\xC3\x83", false},  // a stray lead byte is not U+00C3
      {"C:\\a\xC3", "C:\\a\xE3", false},  // nor does it fold like a letter
      {"C:\\a\xEF\xBF\xBD", "C:\\a\xFF", false},  // U+FFFD written out is not a bad byte
      {"C:\\a\xEF\xBF\xBD", "C:\\A\xEF\xBF\xBD", true},  // but it is itself
      {"C:\\\xC3\x89t\xC3\xA9", "C:\\\xC3\xA9T\xC3\x89", true},  // letters fold either way
      {"C:\\\xED\xA0\x80", "C:\\\xED\xA0\x81", false},  // encoded surrogates differ byte by byte
  };
  for (const CompareCase& c : cases) {
    EXPECT_EQ(same_path(c.a, c.b, true), c.same) << c.a << " vs " << c.b;
  }
}

}  // namespace
}  // namespace vestrana
