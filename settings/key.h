// What readers and the installer need of the key beyond the store's own
// functions: where it is, creating it (the store never does), and telling
// an absent value from one of another type, which the store reports alike.
#ifndef KEY_H
#define KEY_H

#include <cstdint>
#include <string>

enum class KeyCreation { Created, Existed, Failed };

// The folder path, or the registry path on Windows; empty when there is
// nowhere to put it (no usable home directory).
std::string keyLocation();
bool keyExists();
// Creates the key, and on Unix any missing parent, private to the user.
KeyCreation createKey(std::string *error);
bool valueExists(const char *name);
// How long ago the value was last written, in nanoseconds (on Windows, any
// value of the key); -1 when it cannot tell.
int64_t valueWrittenAgo(const char *name);

#endif // KEY_H
