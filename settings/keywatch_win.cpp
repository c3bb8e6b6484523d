#include "settings/key.h"
#include "settings/keywatch.h"
#include "settings/registrykey.h"

#include <windows.h>

namespace {

const wchar_t parentName[] = L"SOFTWARE";

bool arm(void *key, HANDLE changed, DWORD filter)
{
    return RegNotifyChangeKeyValue(static_cast<HKEY>(key), FALSE, filter, changed, TRUE)
        == ERROR_SUCCESS;
}

void close(void **key)
{
    if (*key)
        RegCloseKey(static_cast<HKEY>(*key));
    *key = nullptr;
}

} // namespace

// Reset by drain() alone, so that the caller's wait leaves it signalled.
KeyWatch::KeyWatch() : changed(CreateEventW(nullptr, TRUE, FALSE, nullptr)) { }

KeyWatch::~KeyWatch()
{
    close(&key);
    close(&parent);
    if (changed)
        CloseHandle(changed);
}

void *KeyWatch::event() const
{
    return changed;
}

bool KeyWatch::watching()
{
    if (watched || !changed)
        return watched;
    for (auto [handle, name] : { std::pair(&key, keyName), std::pair(&parent, parentName) }) {
        HKEY opened = nullptr;
        if (!*handle
            && RegOpenKeyExW(HKEY_CURRENT_USER, name, 0, KEY_NOTIFY, &opened) == ERROR_SUCCESS)
            *handle = opened;
    }
    // A notification is one change, and asked for again by drain() before
    // the values are read again, so that none between the two is missed.
    // The key's own says nothing of its deletion: its parent's does.
    watched = key && parent && arm(key, changed, REG_NOTIFY_CHANGE_LAST_SET)
        && arm(parent, changed, REG_NOTIFY_CHANGE_NAME);
    return watched;
}

KeyWatch::Change KeyWatch::drain()
{
    if (!watched || WaitForSingleObject(changed, 0) != WAIT_OBJECT_0)
        return Change::None;
    ResetEvent(changed);
    watched = false;
    // A key made again under the same name is another key, opened anew.
    if (!keyExists()) {
        close(&key);
        return Change::KeyGone;
    }
    watching();
    return Change::ValueTouched;
}
