// The per-user store of the eight 32-bit values that the picker publishes.
//
// One declaration, one implementation per platform: the registry key
// HKEY_CURRENT_USER\SOFTWARE\screen-capture-rvk on Windows, the key folder
// ${XDG_CONFIG_HOME:-$HOME/.config}/screen-capture-rvk/ elsewhere.
//
// Every function returns 0 on success and -1 on failure. A read stores the
// default first and leaves it in place unless a well-formed DWORD was read.
// The store never creates its key: installing the program does.
#ifndef SETTINGS_H
#define SETTINGS_H

#include <cstdint>

int readSetting(const char *name, int32_t *value, int32_t defaultValue);
int writeSetting(const char *name, int32_t value);
// Opens the key once and sets first, then second.
int writeSettingPair(const char *firstName, int32_t firstValue,
                     const char *secondName, int32_t secondValue);

// Reads both values as one. On Linux, under the key's shared lock: never the
// first of one pair write with the second of another. The registry has no
// lock: the pair is read again until two rounds agree, which misses a writer
// that is pre-empted between its two sets for longer than those rounds take,
// so a half-written pair can still be read there. Returns 0 and sets both
// variables when both values are DWORDs; otherwise returns -1 and sets
// neither.
int readSettingPair(const char *firstName, int32_t *firstValue,
                    const char *secondName, int32_t *secondValue);

// The two pairs. The pair reads always return 0; missing values read as 0.
int readPosition(int32_t *x, int32_t *y);
int writePosition(int32_t x, int32_t y);
int readSize(int32_t *width, int32_t *height);
int writeSize(int32_t width, int32_t height);

#endif // SETTINGS_H
