// What a program of the session finds around it: its environment and the
// folders it may make. Unix only.
#ifndef ENVIRONMENT_H
#define ENVIRONMENT_H

#include <string>

// The variable's value, or the empty string when it is not set.
std::string environment(const char *name);

// mkdir -p: the folders that are missing get `mode` (less the umask).
// False, with *error naming the folder and why, when one cannot be made.
bool makeFolders(const std::string &path, unsigned mode, std::string *error);

#endif // ENVIRONMENT_H
