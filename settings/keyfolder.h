// Where the key folder is on Unix, for the tools that create or watch it.
#ifndef KEYFOLDER_H
#define KEYFOLDER_H

#include <string>

// ${XDG_CONFIG_HOME:-$HOME/.config}/screen-capture-rvk, a relative or empty
// XDG_CONFIG_HOME counting as unset; empty when there is no absolute home.
std::string keyFolderPath();

#endif // KEYFOLDER_H
