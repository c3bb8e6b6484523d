// The screen-cast portal's restore token, kept between takes and between
// runs, so that the user is asked which monitors to share only once.
#ifndef RESTORETOKEN_H
#define RESTORETOKEN_H

#include <string>

// Where the restore token is kept: $XDG_STATE_HOME/zorvi/screencast-token, an
// absolute XDG_STATE_HOME, else ~/.local/state/…; empty with neither.
std::string restoreTokenFile(const std::string &stateHome, const std::string &home);

// The token kept in the file; empty when there is none.
std::string readRestoreToken(const std::string &file);
// False, with *error, when it could not be kept.
bool keepRestoreToken(const std::string &file, const std::string &token, std::string *error);

#endif // RESTORETOKEN_H
