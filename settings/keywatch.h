// The key's changes as a descriptor to poll, so that a follower sleeps until
// a value may have changed instead of reading them all the time. Linux only
// (inotify on the key folder).
#ifndef KEYWATCH_H
#define KEYWATCH_H

#include "os/descriptor.h"

class KeyWatch
{
public:
    enum class Change { None, ValueTouched, KeyGone };

    KeyWatch();

    // Readable when something happened to the key: then drain().
    int descriptor() const { return events.get(); }
    // Puts the watch on the key if it is not on yet; false while the key
    // cannot be watched (gone, or no inotify).
    bool watching();
    // Reads what happened: a value may have changed, or the key went (the
    // watch is off then, and watching() tries again).
    Change drain();

private:
    Descriptor events;
    bool watched = false;
};

#endif // KEYWATCH_H
