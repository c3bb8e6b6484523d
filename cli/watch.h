// Following the key for changes until the user stops it.
#ifndef WATCH_H
#define WATCH_H

#include "settings/keywatch.h"

#include <functional>

// Calls refresh() once the watch is in place, so that no change between the
// first read and the watch is lost, then again after anything that may have
// changed a value, until SIGINT or SIGTERM. Returns the exit code: 0 when
// stopped by a signal, 1 (with a message on stderr) when the key cannot be
// watched or goes away.
int watchKey(const std::function<void()> &refresh);

// What the platforms' loops do when the watch wakes: refresh() when a value
// may have changed; the exit status when the key went, else -1 (go on).
int takeChange(KeyWatch &key, const std::function<void()> &refresh);

#endif // WATCH_H
