#include "system/remove_tree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/fake_clock.h"
#include "fakes/fake_file_system.h"

namespace vestrana {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const std::string kData = R"(C:\Users\me\AppData\Local\com.vestrana.desktop)";
const std::string kElsewhere = R"(C:\Users\me\Documents)";

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
  EXPECT_THAT(fs.all_paths(), Contains(StartsWith(kData)));
  std::vector<std::string> left;
  for (const std::string& path : fs.all_paths()) {
    if (path.starts_with(kData + "\\")) left.push_back(path.substr(kData.size() + 1));
  }
  EXPECT_THAT(left, ElementsAre(R"(EBWebView)", R"(EBWebView\Default)", R"(EBWebView\Default\LOCK)", "locked",
                                R"(locked\a.txt)"));
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
  std::vector<std::string> left;
  for (const std::string& path : fs.all_paths()) {
    if (path.starts_with(kData + "\\")) left.push_back(path.substr(kData.size() + 1));
  }
  EXPECT_THAT(left, ElementsAre("held-1", "held-2"));
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

// The interface's own link test, for implementations that do not have a
// cheaper one: the entry as its parent folder lists it.
TEST_F(RemoveTree, DefaultLinkTestAsksTheParentListing) {
  fs.add_link(kData + R"(\Folder Link)", kElsewhere);
  FileSystem& base = fs;
  EXPECT_TRUE(base.FileSystem::is_link(kData + R"(\folder link)"));
  EXPECT_FALSE(base.FileSystem::is_link(kData + R"(\EBWebView)"));
  EXPECT_FALSE(base.FileSystem::is_link(kData + R"(\settings.json)"));
  EXPECT_FALSE(base.FileSystem::is_link(kData + R"(\missing)"));
  EXPECT_FALSE(base.FileSystem::is_link(R"(C:\)"));
}

}  // namespace
}  // namespace vestrana
