// The install and removal procedures on a machine whose calls take time:
// each step lasts its minimum or as long as its work, never both added up,
// and the app is closed before any of its files is touched.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "base/progress.h"
#include "fakes/fake_platform.h"
#include "fakes/test_archive.h"
#include "payload/install.h"
#include "payload/uninstall.h"
#include "system/registry_entries.h"
#include "system/webview2.h"
#include "ui/procedure_texts.h"
#include "ui/strings.h"

namespace vestrana {
namespace {

using namespace std::chrono_literals;
using std::chrono::nanoseconds;
using testing::FakeMachine;

struct Mark {
  Step step;
  Clock::TimePoint at;
  nanoseconds slept;  // all sleeps so far
};

// Watches the reports: a step runs from its first report to the first report
// of the next step (or the last report).
class PacedWork : public ::testing::Test {
 protected:
  const std::string dir = FakeMachine::kInstallDir;

  void SetUp() override {
    m.processes.own_path = "C:\\Users\\u\\Downloads\\vestrana-setup.exe";
    m.files.add_file(*m.processes.own_path, "SETUP PROGRAM");
    m.registry.put_string(kWebView2ClientKeys[2].root, kWebView2ClientKeys[2].path, "pv", "120.0.1.2");
    record->observe_reports([this](Step step, float) {
      nanoseconds slept{0};
      for (nanoseconds s : m.clock.sleeps()) slept += s;
      marks.push_back({step, m.clock.now(), slept});
    });
  }

  void install() {
    ASSERT_TRUE(install_app(m.platform, *record, {}, install_texts(table_for(language_for_langid(0x0409))),
                            testing::packed_app({{"WebView2Loader.dll", "L"}, {"vestrana.exe", "A"}})));
  }

  // For each step in order: it lasted its minimum when its work was shorter,
  // else exactly its work, with no sleep.
  void expect_paced(const std::vector<std::pair<Step, std::chrono::milliseconds>>& minimums) {
    size_t at = 0;
    for (auto [step, minimum] : minimums) {
      SCOPED_TRACE(static_cast<int>(step));
      ASSERT_LT(at, marks.size());
      ASSERT_EQ(marks[at].step, step);
      size_t end = at;
      while (end + 1 < marks.size() && marks[end + 1].step == step) ++end;
      const nanoseconds lasted = marks[end].at - marks[at].at;
      const nanoseconds slept = marks[end].slept - marks[at].slept;
      const nanoseconds work = lasted - slept;
      EXPECT_EQ(lasted, std::max<nanoseconds>(minimum, work));
      EXPECT_EQ(slept, work < minimum ? minimum - work : 0ns);
      at = end + 1;
    }
    EXPECT_EQ(at, marks.size());
  }

  // The position of the first call from `from` on that mentions `text`.
  size_t first_call(const std::string& text, size_t from) {
    const std::vector<std::string> calls = m.calls.lines();
    auto it = std::find_if(calls.begin() + static_cast<std::ptrdiff_t>(from), calls.end(),
                           [&](const std::string& c) { return c.find(text) != std::string::npos; });
    EXPECT_NE(it, calls.end()) << text;
    return static_cast<size_t>(it - calls.begin());
  }

  FakeMachine m;
  ProgressRef record = create_progress_record();
  std::vector<Mark> marks;
};

const std::vector<std::pair<Step, std::chrono::milliseconds>> kInstallSteps = {{Step::ClosingApp, 450ms},
                                                                               {Step::CopyingFiles, 1100ms},
                                                                               {Step::WebView2Setup, 350ms},
                                                                               {Step::Shortcuts, 450ms},
                                                                               {Step::Finishing, 400ms}};
const std::vector<std::pair<Step, std::chrono::milliseconds>> kRemovalSteps = {
    {Step::ClosingApp, 450ms}, {Step::Removing, 1100ms}, {Step::Finishing, 300ms}};

TEST_F(PacedWork, InstallStepsLastTheirMinimumOrTheirWork) {
  for (nanoseconds cost : {nanoseconds(3ms), nanoseconds(150ms)}) {
    SCOPED_TRACE(cost.count());
    marks.clear();
    m.calls.set_cost(cost);
    install();
    expect_paced(kInstallSteps);
  }
}

TEST_F(PacedWork, RemovalStepsLastTheirMinimumOrTheirWork) {
  install();
  for (nanoseconds cost : {nanoseconds(3ms), nanoseconds(150ms)}) {
    SCOPED_TRACE(cost.count());
    marks.clear();
    m.calls.set_cost(cost);
    (void)uninstall(m.platform, *record, dir, true, "");
    expect_paced(kRemovalSteps);
  }
}

TEST_F(PacedWork, TheAppIsClosedBeforeItsFilesAreReplacedOrDeleted) {
  install();
  for (bool removing : {false, true}) {
    SCOPED_TRACE(removing ? "removal" : "update");
    m.processes.add(5, "vestrana.exe", dir + "\\vestrana.exe");
    const size_t before = m.calls.lines().size();
    if (removing) {
      (void)uninstall(m.platform, *record, dir, false, "");
    } else {
      install();
    }
    const size_t closed = first_call("processes: terminate 5", before);
    const std::vector<std::string> calls = m.calls.lines();
    for (size_t i = before; i < closed; ++i) EXPECT_EQ(calls[i].find("files: "), std::string::npos) << calls[i];
    EXPECT_LT(closed, first_call("files: ", closed));
  }
}

}  // namespace
}  // namespace vestrana
