// Each widget test gets its own settings key and runtime folder, so tests
// never see each other's values or the user's.
#ifndef WIDGETS_TESTKEY_H
#define WIDGETS_TESTKEY_H

#include "settings.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <climits>
#include <memory>

class TestKey
{
public:
    TestKey()
        : dir(new QTemporaryDir)
    {
        QDir(dir->path()).mkpath(QStringLiteral("config/screen-capture-rvk"));
        QDir(dir->path()).mkpath(QStringLiteral("run"));
        qputenv("XDG_CONFIG_HOME", (dir->path() + QStringLiteral("/config")).toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", (dir->path() + QStringLiteral("/run")).toLocal8Bit());
    }

    QString path() const { return dir->path() + QStringLiteral("/config/screen-capture-rvk"); }

    // INT_MIN stands for a value that is absent or not a DWORD.
    static int value(const char *name)
    {
        int v = INT_MIN;
        readSetting(name, &v, INT_MIN);
        return v;
    }

private:
    std::unique_ptr<QTemporaryDir> dir;
};

#endif // WIDGETS_TESTKEY_H
