// What keeps record from starting, told, and the session's one recorder:
// the marker record holds while it runs.
#ifndef RECORDERCLAIM_H
#define RECORDERCLAIM_H

#include "record/clock.h"

#include <string>

class Notifier;

// A line on standard error and the notification "Recording is off": started
// by the picker, nobody may read standard error. Returns the exit status, 1.
int cannotRecord(Notifier *notifier, const std::string &why);

// Takes the marker, waiting up to `waitSeconds` for another record of the
// session to end first (a picker restarted while its old recorder still
// finishes a take asks to), and says so on standard error once. False,
// told through cannotRecord, when the other one still runs.
bool claimRecorder(const Clock &clock, int waitSeconds, Notifier *notifier);

#endif // RECORDERCLAIM_H
