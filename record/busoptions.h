// Building and reading the a{sv} dictionaries of D-Bus calls and answers
// with sd-bus: each returns what sd-bus returned, negative on failure.
#ifndef BUSOPTIONS_H
#define BUSOPTIONS_H

#include <cstdint>
#include <functional>
#include <string>

struct sd_bus_message;

// One "{sv}" entry of an a{sv} being built.
int appendOption(sd_bus_message *message, const char *key, char type, const void *value);
int appendString(sd_bus_message *message, const char *key, const std::string &value);

// Walks an a{sv}: `entry` reads the value of a key it wants (the message at
// the variant) and returns 1, or returns 0 to have it skipped.
int readOptions(sd_bus_message *message,
                const std::function<int(const std::string &, sd_bus_message *)> &entry);
// The variant at the message: a pair of int32, or a string; 1 when read.
int readPair(sd_bus_message *message, int32_t *first, int32_t *second);
int readString(sd_bus_message *message, std::string *text);

#endif // BUSOPTIONS_H
