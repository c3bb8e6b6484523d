#include "testkey.h"
#include "valueformat.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

TestKey::TestKey()
{
    char templ[] = "/tmp/zorvi-store-XXXXXX";
    const char *dir = mkdtemp(templ);
    EXPECT_NE(dir, nullptr);
    root = dir ? dir : "/nonexistent";
    setenv("XDG_CONFIG_HOME", root.c_str(), 1);
}

TestKey::~TestKey()
{
    const std::string command = "rm -rf '" + root + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

void TestKey::create()
{
    ASSERT_EQ(mkdir(path().c_str(), 0700), 0);
}

bool TestKey::exists() const
{
    struct stat st;
    return lstat(path().c_str(), &st) == 0;
}

void TestKey::putDword(const char *name, uint32_t value)
{
    putText(name, std::to_string(value) + "\n");
}

void TestKey::putText(const char *name, const std::string &text)
{
    std::ofstream(path() + "/" + name, std::ios::binary | std::ios::trunc) << text;
}

std::optional<uint32_t> TestKey::dword(const char *name) const
{
    std::ifstream in(path() + "/" + name, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    const std::string content = text.str();
    int32_t value = 0;
    if (!parseValue(content.data(), content.size(), &value))
        return std::nullopt;
    return uint32_t(value);
}

std::vector<std::string> TestKey::names() const
{
    std::vector<std::string> result;
    if (DIR *dir = opendir(path().c_str())) {
        while (const dirent *entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                result.push_back(name);
        }
        closedir(dir);
    }
    return result;
}
