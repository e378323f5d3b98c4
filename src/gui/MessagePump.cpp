#include "MessagePump.h"

#include <QCoreApplication>
#include <algorithm>

namespace {
int hintPause = DefaultHintPause;
}  // namespace

void ProcessMessages() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

int HintPause() { return hintPause; }

void SetHintPause(int milliseconds) { hintPause = std::max(0, milliseconds); }
