// The key's changes as something to wait on, so that a follower sleeps until
// a value may have changed instead of reading them all the time: inotify on
// the key folder, the registry's change notification on Windows.
#ifndef KEYWATCH_H
#define KEYWATCH_H

#ifndef _WIN32
#include "os/descriptor.h"
#endif

class KeyWatch
{
public:
    enum class Change { None, ValueTouched, KeyGone };

    KeyWatch();
    ~KeyWatch();
    KeyWatch(const KeyWatch &) = delete;
    KeyWatch &operator=(const KeyWatch &) = delete;

#ifdef _WIN32
    // An event, signalled when something happened to the key: then drain().
    void *event() const;
#else
    // Readable when something happened to the key: then drain().
    int descriptor() const;
#endif
    // Puts the watch on the key if it is not on yet; false while the key
    // cannot be watched (gone, or no inotify).
    bool watching();
    // Reads what happened: a value may have changed, or the key went (the
    // watch is off then, and watching() tries again).
    Change drain();

private:
#ifdef _WIN32
    void *key = nullptr; // HKEYs
    void *parent = nullptr;
    void *changed = nullptr; // HANDLE
#else
    Descriptor events;
#endif
    bool watched = false;
};

#endif // KEYWATCH_H
