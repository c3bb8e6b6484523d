// A settings key of the test's own, laid out behind the store's back: a
// folder under a temporary XDG_CONFIG_HOME (with XDG_RUNTIME_DIR beside it),
// or a registry key behind a private HKEY_CURRENT_USER. Removed with it.
#ifndef SCRATCHKEY_H
#define SCRATCHKEY_H

#include <string>
#include <vector>

class ScratchKey
{
public:
    explicit ScratchKey(bool create = true);
    ~ScratchKey();
    bool exists() const;
    // Raw bytes: a file's content here, a value of that registry type there.
    void put(const char *name, const std::string &bytes, unsigned long type = 1);

#ifndef _WIN32
    std::string file(const char *name) const { return path + '/' + name; }
    std::string text(const char *name) const;
    std::vector<std::string> names() const; // sorted
    // The values written since the last call, in the order a reader watching
    // the folder sees them; the store's temporaries left out.
    std::vector<std::string> changes() const;
    std::string root, path;

private:
    int watch = -1;
#endif
};

#endif // SCRATCHKEY_H
