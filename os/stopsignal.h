// The stop signals (SIGINT, SIGTERM) as a descriptor to poll beside others,
// so that no signal slips in between a check and the wait, and the default
// signals again for the children. Unix only: the commands that follow
// something until stopped share it.
#ifndef STOPSIGNAL_H
#define STOPSIGNAL_H

#include "os/descriptor.h"

// Blocks the stop signals and returns a signalfd readable once one came, or
// -1. A signal ignored at start (a background job of a script) stays ignored.
int stopSignalDescriptor();

// In a child between fork and exec (it calls only async-signal-safe
// functions): no signal blocked and none ignored, as a program started from
// a terminal expects, whatever its parent blocked or ignored for itself.
void restoreDefaultSignals();

#endif // STOPSIGNAL_H
