#include "system/remove_tree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <functional>

#include "fakes/fake_clock.h"
#include "fakes/fake_file_system.h"
#include "system/win_path.h"

namespace vestrana {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kData = R"(C:\Users\me\AppData\Local\com.vestrana.desktop)";
const std::string kElsewhere = R"(C:\Users\me\Documents)";

// A row's description as a test name: what is not a letter or digit becomes '_'.
template <typename Case>
std::string case_name(const ::testing::TestParamInfo<Case>& info) {
  std::string name;
  for (const char* c = info.param.what; *c; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

class RemoveTree : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.add_file(kData + R"(\settings.json)", "{}");
    fs.add_file(kData + R"(\EBWebView\Default\Cookies)", "c");
    fs.add_folder(kData + R"(\EBWebView\empty)");
    fs.add_file(kElsewhere + R"(\thesis.docx)", "precious");
    fs.add_file(kElsewhere + R"(\photos\cat.jpg)", "precious too");
    fs.add_file(R"(C:\Users\me\AppData\Local\com.vestrana.desktop.other\keep.txt)", "keep");
  }

  // Nothing outside the tree may change, and no link may ever be entered:
  // neither listed nor used as the folder of another path.
  void expect_outside_untouched(const std::vector<std::string>& links = {}) {
    EXPECT_EQ(fs.text(kElsewhere + R"(\thesis.docx)"), "precious");
    EXPECT_EQ(fs.text(kElsewhere + R"(\photos\cat.jpg)"), "precious too");
    EXPECT_EQ(fs.text(R"(C:\Users\me\AppData\Local\com.vestrana.desktop.other\keep.txt)"), "keep");
    for (const std::string& link : links) {
      EXPECT_THAT(fs.log(), Not(Contains("list " + link)));
      EXPECT_THAT(fs.log(), Not(Contains(HasSubstr(link + "\\"))));
    }
  }

  FakeFileSystem fs;
  FakeClock clock;
};

TEST_F(RemoveTree, RemovesTheWholeTree) {
  remove_tree(fs, clock, kData);
  EXPECT_FALSE(fs.exists(kData));
  expect_outside_untouched();
}

TEST_F(RemoveTree, RemovesLinksInsideWithoutEnteringThem) {
  const std::vector<std::string> links = {kData + R"(\folder link)", kData + R"(\EBWebView\photos link)",
                                          kData + R"(\file link)"};
  fs.add_link(links[0], kElsewhere);
  fs.add_link(links[1], kElsewhere + R"(\photos)");
  fs.add_link(links[2], kElsewhere + R"(\thesis.docx)", /*folder_link=*/false);
  remove_tree(fs, clock, kData);
  EXPECT_FALSE(fs.exists(kData));
  expect_outside_untouched(links);
}

TEST_F(RemoveTree, ATopFolderThatIsALinkIsRemovedAsALinkOnly) {
  const std::string link = R"(C:\Users\me\AppData\Roaming\com.vestrana.desktop)";
  fs.add_link(link, kElsewhere);
  remove_tree(fs, clock, link);
  EXPECT_FALSE(fs.exists(link));
  EXPECT_TRUE(fs.is_folder(R"(C:\Users\me\AppData\Roaming)"));
  expect_outside_untouched({link});
}

TEST_F(RemoveTree, WhatResistsStaysWithTheFoldersHoldingItAndTheRestGoes) {
  fs.add_file(kData + R"(\EBWebView\Default\LOCK)", "held");
  fs.set_in_use(kData + R"(\EBWebView\Default\LOCK)");
  fs.add_file(kData + R"(\locked\a.txt)", "a");
  fs.fail(FakeFileSystem::Op::ListFolder, kData + R"(\locked)", fake_os_error(5));
  remove_tree(fs, clock, kData);
  EXPECT_THAT(fs.paths_under(kData), ElementsAre(R"(EBWebView)", R"(EBWebView\Default)", R"(EBWebView\Default\LOCK)",
                                                 "locked", R"(locked\a.txt)"));
  expect_outside_untouched();
}

TEST_F(RemoveTree, PassingHoldsAreWaitedOutForTheWholeTreeAtMostOnce) {
  using namespace std::chrono_literals;
  fs.add_file(kData + R"(\a-scanned.db)", "x");
  fs.hold(kData + R"(\a-scanned.db)", clock, clock.now() + 1s);
  for (const char* name : {R"(\held-1)", R"(\held-2)"}) {
    fs.add_file(kData + name, "x");
    fs.hold(kData + name, clock, clock.now() + 60s);
  }
  Clock::TimePoint started = clock.now();
  remove_tree(fs, clock, kData);
  EXPECT_THAT(fs.paths_under(kData), ElementsAre("held-1", "held-2"));
  EXPECT_GE(clock.now() - started, kHoldRetryLimit);
  EXPECT_LT(clock.now() - started, kHoldRetryLimit + 2 * kHoldRetryPause);
}

TEST_F(RemoveTree, NamesThatCannotBeReadExactlyAreNeverAddressedByAnother) {
  // A lone surrogate (U+D800) in a file's and a folder's name: listed, they
  // read as U+FFFD, which names another entry: here a junction out.
  const std::string replaced = "cache\xEF\xBF\xBD";
  fs.add_file(kData + "\\notes\xED\xA0\x80.txt", "n");
  fs.add_file(kData + "\\cache\xED\xA0\x80\\blob", "b");
  fs.add_link(kData + "\\" + replaced, kElsewhere);
  remove_tree(fs, clock, kData);
  EXPECT_TRUE(fs.exists(kData + "\\notes\xED\xA0\x80.txt"));
  EXPECT_TRUE(fs.exists(kData + "\\cache\xED\xA0\x80\\blob"));
  EXPECT_FALSE(fs.exists(kData + "\\settings.json"));
  for (const std::string& line : fs.log()) EXPECT_THAT(line, Not(HasSubstr("notes\xEF\xBF\xBD")));
  expect_outside_untouched({kData + "\\" + replaced});
}

TEST_F(RemoveTree, AMissingFolderIsNoFault) {
  remove_tree(fs, clock, kData + R"(\not there)");
  remove_tree(fs, clock, R"(Q:\nothing)");
  EXPECT_TRUE(fs.exists(kData + R"(\settings.json)"));
}

TEST_F(RemoveTree, ReadOnlyEntriesGoWithoutTheirTargetsChanging) {
  fs.add_file(kData + R"(\Login Data)", "secret", /*read_only=*/true);
  fs.add_folder(kData + R"(\read-only empty)");
  fs.set_read_only(kData + R"(\read-only empty)");
  fs.add_file(kData + R"(\Local Storage\LOG)", "log", /*read_only=*/true);
  fs.set_read_only(kData + R"(\Local Storage)");
  fs.set_read_only(kElsewhere + R"(\thesis.docx)");
  fs.add_link(kData + R"(\read-only link)", kElsewhere + R"(\thesis.docx)", /*folder_link=*/false);
  remove_tree(fs, clock, kData);
  EXPECT_FALSE(fs.exists(kData));
  EXPECT_TRUE(fs.is_read_only(kElsewhere + R"(\thesis.docx)"));
  expect_outside_untouched();
}

// Another process swaps a folder for a junction after the walk has listed
// the folder holding it and before the walk goes into it; deleting by path
// would then delete what the junction points at.
struct SwapCase {
  const char* what;
  std::string listed;  // the folder whose listing is followed by the swap
  std::string swapped;  // the folder that becomes a junction to kElsewhere
  std::vector<std::string> left;  // under C:\Users\me\AppData\Local afterwards
};

void PrintTo(const SwapCase& c, std::ostream* os) { *os << c.what; }

class SwappedForALink : public RemoveTree, public ::testing::WithParamInterface<SwapCase> {};

TEST_P(SwappedForALink, DeletesTheLinkNotWhatItPointsAt) {
  const SwapCase& c = GetParam();
  const std::string local = R"(C:\Users\me\AppData\Local)";
  int swaps = 0;
  fs.on_listed([&](const std::string& folder) {
    if (swaps == 0 && same_path(folder, c.listed, true)) {
      ++swaps;
      fs.swap_for_link(c.swapped, local + R"(\moved aside)", kElsewhere);
    }
  });
  remove_tree(fs, clock, kData);
  ASSERT_EQ(swaps, 1);
  expect_outside_untouched();
  EXPECT_THAT(fs.log(), Not(Contains(HasSubstr(c.swapped + "\\"))));
  EXPECT_EQ(fs.paths_under(local), c.left);
}

INSTANTIATE_TEST_SUITE_P(
    RemoveTree, SwappedForALink,
    ::testing::Values(
        // The junction is deleted as a link; the real folder, now elsewhere, was never listed.
        SwapCase{"a folder inside",
                 kData,
                 kData + R"(\EBWebView)",
                 {"com.vestrana.desktop.other", R"(com.vestrana.desktop.other\keep.txt)", "moved aside",
                  R"(moved aside\Default)", R"(moved aside\Default\Cookies)", R"(moved aside\empty)"}},
        SwapCase{"a folder deeper down",
                 kData + R"(\EBWebView)",
                 kData + R"(\EBWebView\Default)",
                 {"com.vestrana.desktop.other", R"(com.vestrana.desktop.other\keep.txt)", "moved aside",
                  R"(moved aside\Cookies)"}},
        // The walk stays with the folder it opened, wherever that is now;
        // the junction put in its place is not part of it.
        SwapCase{"the folder being removed",
                 kData,
                 kData,
                 {"com.vestrana.desktop", "com.vestrana.desktop.other", R"(com.vestrana.desktop.other\keep.txt)"}}),
    case_name<SwapCase>);

// The other way round: what was listed as a link is never entered, even
// when a folder stands under its name by the time it is opened (under Wine
// a handle on a symbolic link says folder).
TEST_F(RemoveTree, WhatWasListedAsALinkIsNeverEntered) {
  const std::string link = kData + R"(\linked)";
  fs.add_link(link, kElsewhere);
  fs.on_listed([&](const std::string& folder) {
    if (!same_path(folder, kData, true) || !fs.is_link(link)) return;
    fs.remove_folder(link);
    fs.add_file(link + R"(\planted.txt)", "p");
  });
  remove_tree(fs, clock, kData);
  EXPECT_EQ(fs.text(link + R"(\planted.txt)"), "p");
  EXPECT_FALSE(fs.exists(kData + R"(\settings.json)"));
  expect_outside_untouched();
}

// Some named files of a folder, then the folder if it has become empty, as
// an install folder is removed.
struct NamedCase {
  const char* what;
  std::function<void(FakeFileSystem&, FakeClock&)> arrange;
  std::vector<std::string> left;  // under C:\Users\me\AppData\Local afterwards
  bool keep_uninstaller = false;  // keep says so for uninstall.exe
};

void PrintTo(const NamedCase& c, std::ostream* os) { *os << c.what; }

const std::string kLocal = R"(C:\Users\me\AppData\Local)";
const std::string kFolder = kLocal + R"(\vestrana)";
const std::string kOther = R"(C:\Program Files\Other)";
const std::vector<std::string> kNames = {"vestrana.exe", "WebView2Loader.dll", "uninstall.exe", "vestrana.new"};

class RemoveNamedEntries : public ::testing::TestWithParam<NamedCase> {};

TEST_P(RemoveNamedEntries, DeletesOnlyTheNamedFilesAndNeverThroughALink) {
  const NamedCase& c = GetParam();
  FakeFileSystem fs;
  FakeClock clock;
  for (const char* name : {"vestrana.exe", "WebView2Loader.dll", "uninstall.exe"}) {
    fs.add_file(kFolder + "\\" + name, "ours");
    fs.add_file(kOther + "\\" + name, "theirs");
  }
  c.arrange(fs, clock);
  HoldRetry retry(clock);
  remove_named_entries(fs, retry, kFolder, kNames, [&](OpenEntry& entry) {
    std::optional<std::string> path = entry.final_path();
    return c.keep_uninstaller && path && same_path(*path, kFolder + R"(\uninstall.exe)", true);
  });
  EXPECT_EQ(fs.paths_under(kLocal), c.left);
  for (const char* name : {"vestrana.exe", "WebView2Loader.dll", "uninstall.exe"}) {
    EXPECT_EQ(fs.text(kOther + "\\" + name), "theirs") << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    RemoveTree, RemoveNamedEntries,
    ::testing::Values(
        NamedCase{"only the named files", [](FakeFileSystem&, FakeClock&) {}, {}},
        NamedCase{"read-only, held for a moment, and a leftover",
                  [](FakeFileSystem& fs, FakeClock& clock) {
                    using namespace std::chrono_literals;
                    fs.set_read_only(kFolder + R"(\vestrana.exe)");
                    fs.hold(kFolder + R"(\uninstall.exe)", clock, clock.now() + 1s);
                    fs.add_file(kFolder + R"(\vestrana.new)", "half", /*read_only=*/true);
                  },
                  {}},
        NamedCase{"a file of the user's keeps the folder",
                  [](FakeFileSystem& fs, FakeClock&) { fs.add_file(kFolder + R"(\notes.txt)", "mine"); },
                  {"vestrana", R"(vestrana\notes.txt)"}},
        NamedCase{"the entry that keep names stays",
                  [](FakeFileSystem&, FakeClock&) {},
                  {"vestrana", R"(vestrana\uninstall.exe)"},
                  /*keep_uninstaller=*/true},
        NamedCase{"a folder of one of the names stays",
                  [](FakeFileSystem& fs, FakeClock&) { fs.add_file(kFolder + R"(\vestrana.new\x)", "x"); },
                  {"vestrana", R"(vestrana\vestrana.new)", R"(vestrana\vestrana.new\x)"}},
        NamedCase{"a named link goes as a link",
                  [](FakeFileSystem& fs, FakeClock&) {
                    fs.delete_file(kFolder + R"(\vestrana.exe)");
                    fs.add_link(kFolder + R"(\vestrana.exe)", kOther + R"(\vestrana.exe)", /*folder_link=*/false);
                  },
                  {}},
        NamedCase{"a folder that is a junction is removed as one",
                  [](FakeFileSystem& fs, FakeClock&) { fs.swap_for_link(kFolder, kLocal + R"(\old)", kOther); },
                  {"old", R"(old\uninstall.exe)", R"(old\vestrana.exe)", R"(old\WebView2Loader.dll)"}}),
    case_name<NamedCase>);

}  // namespace
}  // namespace vestrana
