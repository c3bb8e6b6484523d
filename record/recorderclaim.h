// The session's one recorder: the marker record holds while it runs.
#ifndef RECORDERCLAIM_H
#define RECORDERCLAIM_H

#include "record/clock.h"

// Takes the marker, waiting up to `waitSeconds` for another record of the
// session to end first (a picker restarted while its old recorder still
// finishes a take asks to), and says so on standard error once.
bool claimRecorder(const Clock &clock, int waitSeconds);

#endif // RECORDERCLAIM_H
