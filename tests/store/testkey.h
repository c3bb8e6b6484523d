// The key as a test lays it out behind the store's back, in the backend's
// own terms: a folder of value files here, a registry key on Windows. The
// store never creates its key, so the tests create and remove it themselves.
#ifndef TESTKEY_H
#define TESTKEY_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TestKey
{
public:
    TestKey(); // an isolated, absent key
    ~TestKey(); // removes whatever the test left
    TestKey(const TestKey &) = delete;
    TestKey &operator=(const TestKey &) = delete;

    void create();
    bool exists() const;
    // A well-formed DWORD in the backend's native form.
    void putDword(const char *name, uint32_t value);
    // A value of another type, 4 bytes long where the backend has types.
    void putText(const char *name, const std::string &text);
    // The stored DWORD, or nothing when the value is absent or not a DWORD.
    std::optional<uint32_t> dword(const char *name) const;
    std::vector<std::string> names() const;

#ifndef _WIN32
    std::string path() const { return root + "/screen-capture-rvk"; }

private:
    std::string root;
#endif
};

#endif // TESTKEY_H
