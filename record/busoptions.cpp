#include "record/busoptions.h"

#include <systemd/sd-bus.h>

int appendOption(sd_bus_message *message, const char *key, char type, const void *value)
{
    const char contents[2] = { type, 0 };
    int r = sd_bus_message_open_container(message, 'e', "sv");
    if (r >= 0)
        r = sd_bus_message_append_basic(message, 's', key);
    if (r >= 0)
        r = sd_bus_message_open_container(message, 'v', contents);
    if (r >= 0)
        r = sd_bus_message_append_basic(message, type, value);
    if (r >= 0)
        r = sd_bus_message_close_container(message);
    if (r >= 0)
        r = sd_bus_message_close_container(message);
    return r;
}

int appendString(sd_bus_message *message, const char *key, const std::string &value)
{
    return appendOption(message, key, 's', value.c_str());
}

int readOptions(sd_bus_message *message,
                const std::function<int(const std::string &, sd_bus_message *)> &entry)
{
    int r = sd_bus_message_enter_container(message, 'a', "{sv}");
    if (r < 0)
        return r;
    while ((r = sd_bus_message_enter_container(message, 'e', "sv")) > 0) {
        const char *key = nullptr;
        r = sd_bus_message_read_basic(message, 's', &key);
        if (r < 0)
            return r;
        r = entry(key, message);
        if (r == 0)
            r = sd_bus_message_skip(message, "v");
        if (r < 0)
            return r;
        r = sd_bus_message_exit_container(message);
        if (r < 0)
            return r;
    }
    if (r < 0)
        return r;
    return sd_bus_message_exit_container(message);
}

int readPair(sd_bus_message *message, int32_t *first, int32_t *second)
{
    int r = sd_bus_message_enter_container(message, 'v', "(ii)");
    if (r >= 0)
        r = sd_bus_message_read(message, "(ii)", first, second);
    if (r >= 0)
        r = sd_bus_message_exit_container(message);
    return r < 0 ? r : 1;
}

int readString(sd_bus_message *message, std::string *text)
{
    const char *value = nullptr;
    const int r = sd_bus_message_read(message, "v", "s", &value);
    if (r >= 0)
        *text = value;
    return r < 0 ? r : 1;
}
