// Where a take goes: a file of its own in the videos folder.
#ifndef TAKEFILE_H
#define TAKEFILE_H

#include <string>

// A name of this second that is not taken yet (takeFileName), created empty
// so that no other take can have it. False, with *error, when none can be.
bool reserveTakeFile(const std::string &folder, std::string *path, std::string *error);

#endif // TAKEFILE_H
