#include "ui/window_handoff.h"

#include <gtest/gtest.h>

namespace vestrana {
namespace {

// Counts its own destruction, as the window's state would free its fonts,
// worker and pixmaps.
struct Counted {
  explicit Counted(int& freed) : freed_(freed) {}
  ~Counted() { ++freed_; }
  int& freed_;
};

// The window procedure's side, as the window host runs it.
Counted* on_nccreate(void* create_params) { return static_cast<WindowHandoff<Counted>*>(create_params)->take(); }
void on_ncdestroy(Counted* state) { delete state; }

TEST(WindowHandoff, TheStateIsFreedExactlyOnceHoweverTheCreationEnds) {
  struct Case {
    const char* what;
    bool reaches_nccreate;
    bool destroyed_during_creation;  // a failure after WM_NCCREATE
  };
  for (const Case& c :
       {Case{"class missing: no message at all", false, false}, Case{"refused after WM_NCCREATE", true, true},
        Case{"created, destroyed when the loop ends", true, false}}) {
    SCOPED_TRACE(c.what);
    int freed = 0;
    Counted* window_state = nullptr;
    {
      WindowHandoff<Counted> handoff(std::make_unique<Counted>(freed));
      if (c.reaches_nccreate) window_state = on_nccreate(&handoff);
      if (c.destroyed_during_creation) on_ncdestroy(window_state);
      EXPECT_EQ(handoff.taken(), c.reaches_nccreate);
    }
    if (c.reaches_nccreate && !c.destroyed_during_creation) {
      EXPECT_EQ(freed, 0) << "the window still uses its state";
      on_ncdestroy(window_state);
    }
    EXPECT_EQ(freed, 1);
  }
}

}  // namespace
}  // namespace vestrana
