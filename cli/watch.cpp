#include "cli/watch.h"
#include "settings/key.h"

#include <cstdio>

int takeChange(KeyWatch &key, const std::function<void()> &refresh)
{
    switch (key.drain()) {
    case KeyWatch::Change::KeyGone:
        std::fprintf(stderr, "zorvi-settings: the settings key %s went away\n",
                     keyLocation().c_str());
        return 1;
    case KeyWatch::Change::ValueTouched:
        refresh();
        break;
    case KeyWatch::Change::None:
        break;
    }
    return -1;
}
