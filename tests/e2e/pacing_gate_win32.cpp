// The pacing gate of the setup's gated test build: every paced step waits
// here for one count of a named semaphore, which the test hands out with
// release-steps. The shipped program has no gate.
#include <windows.h>

namespace vestrana {
namespace {

// Made while the process starts, so it is there before the window opens and
// a test releases steps.
class PacingGate {
 public:
  PacingGate() : semaphore_(CreateSemaphoreW(nullptr, 0, 1000, L"Local\\vestrana-pacing-gate")) {}
  ~PacingGate() {
    if (semaphore_ != nullptr) CloseHandle(semaphore_);
  }
  PacingGate(const PacingGate&) = delete;
  PacingGate& operator=(const PacingGate&) = delete;

  void pass() const {
    if (semaphore_ != nullptr) WaitForSingleObject(semaphore_, INFINITE);
  }

 private:
  HANDLE semaphore_;
};

const PacingGate gate;

}  // namespace

void pass_pacing_gate() { gate.pass(); }

}  // namespace vestrana
