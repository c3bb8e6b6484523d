// What keeps the picker or its recorder from doing its job, told where a
// user who started the picker from the desktop's menu sees it: on Linux an
// urgent notification, on Windows a balloon of the picker's icon in the
// notification area, beside the line on standard error for a terminal.
#ifndef PROBLEMNOTICE_H
#define PROBLEMNOTICE_H

#include <string>

// Sent before it returns, so that the process may end right after.
void noticeProblem(const std::string &summary, const std::string &body);

#endif // PROBLEMNOTICE_H
