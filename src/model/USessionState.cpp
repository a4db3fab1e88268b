#include "USessionState.h"

TSessionState Session;

void StartNewSession() {
  // Copied from an untouched instance: the state is too large for a
  // temporary on the stack.
  static const TSessionState fresh{};
  Session = fresh;
}
