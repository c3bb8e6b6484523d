// Windows speaks UTF-16 where the recorder's names and messages are UTF-8.
#ifndef WIDENAME_H
#define WIDENAME_H

#include <string>

std::wstring wideName(const std::string &utf8);
std::string narrowName(const std::wstring &utf16);
// The system's text for an error code, without its line break.
std::string systemMessage(unsigned long code);

#endif // WIDENAME_H
