#include "jobs/observer.h"

namespace picaxo {

IJobObserver& NoObserver() {
  static IJobObserver none;
  return none;
}

TWaitCursor::TWaitCursor(IJobObserver& observer, TWaitCursorMode mode)
    : observer_(mode == TWaitCursorMode::Show ? &observer : nullptr) {
  if (observer_) observer_->BeginWaitCursor();
}

TWaitCursor::~TWaitCursor() {
  if (observer_) observer_->EndWaitCursor();
}

}  // namespace picaxo
