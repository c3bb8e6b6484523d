// The real picker started on a key in a bad state: it must come up, follow
// a drag and keep running, whatever it finds, and leave alone what it cannot
// write.
#include "readonly.h"
#include "xtools.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class State {
    KeyAbsent,
    KeyIsAFile,
    KeyReadOnly,
    Fifo,
    Folder,
    HugeFile,
    LinkLoop,
    Text,
    OutOfRange,
    RelativeConfigHome,
    EmptyConfigHome,
    RuntimeDirUnset,
};

// What start_x is after the drag.
enum class Expect { Moved, Untouched, StillAFolder, NoKey };

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The /tmp marker is shared by every picker that runs without a runtime
// folder: a test must not take it from the user's.
bool fallbackMarkerIsHeld()
{
    const QByteArray path = "/tmp/SCRM-TAVRO-" + QByteArray::number(geteuid()) + ".lock";
    const int fd = open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0;
    close(fd);
    return held;
}

} // namespace

Q_DECLARE_METATYPE(State)
Q_DECLARE_METATYPE(Expect)

class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void keepsWorking_data();
    void keepsWorking();
};

void TestHostile::keepsWorking_data()
{
    QTest::addColumn<State>("state");
    QTest::addColumn<Expect>("expect");
    QTest::newRow("key absent") << State::KeyAbsent << Expect::NoKey;
    QTest::newRow("key is a file") << State::KeyIsAFile << Expect::NoKey;
    QTest::newRow("key read-only") << State::KeyReadOnly << Expect::Untouched;
    QTest::newRow("value is a FIFO") << State::Fifo << Expect::Moved;
    QTest::newRow("value is a folder") << State::Folder << Expect::StillAFolder;
    QTest::newRow("value is 1 GiB") << State::HugeFile << Expect::Moved;
    QTest::newRow("value is a link loop") << State::LinkLoop << Expect::Moved;
    QTest::newRow("value is text") << State::Text << Expect::Moved;
    QTest::newRow("value out of range") << State::OutOfRange << Expect::Moved;
    QTest::newRow("XDG_CONFIG_HOME relative") << State::RelativeConfigHome << Expect::Moved;
    QTest::newRow("XDG_CONFIG_HOME empty") << State::EmptyConfigHome << Expect::Moved;
    QTest::newRow("XDG_RUNTIME_DIR unset") << State::RuntimeDirUnset << Expect::Moved;
}

void TestHostile::keepsWorking()
{
    QFETCH(State, state);
    QFETCH(Expect, expect);
    Picker picker;
    QString key = picker.root() + QStringLiteral("/config/screen-capture-rvk");
    const QString startX = key + QStringLiteral("/start_x");
    const QByteArray keyFileContent = "        600\n";
    QStringList environment;
    bool readOnly = false;

    switch (state) {
    case State::KeyAbsent:
        QVERIFY(QDir(key).removeRecursively());
        break;
    case State::KeyIsAFile:
        QVERIFY(QDir(key).removeRecursively());
        QVERIFY(writeFile(key, keyFileContent));
        break;
    case State::KeyReadOnly:
        QVERIFY(writeFile(startX, "7\n"));
        readOnly = setReadOnly(startX.toStdString(), true) && setReadOnly(key.toStdString(), true);
        if (!readOnly)
            QSKIP("cannot make the key read-only here");
        break;
    case State::Fifo:
        QCOMPARE(mkfifo(QFile::encodeName(startX).constData(), 0600), 0);
        break;
    case State::Folder:
        QVERIFY(QDir(key).mkdir(QStringLiteral("start_x")));
        break;
    case State::HugeFile:
    {
        QFile huge(startX);
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(qint64(1) << 30)); // sparse: no disk is spent
        break;
    }
    case State::LinkLoop:
        QVERIFY(QFile::link(QStringLiteral("start_x"), startX));
        break;
    case State::Text:
        QVERIFY(writeFile(startX, "six hundred\n"));
        break;
    case State::OutOfRange:
        QVERIFY(writeFile(startX, "4294967296\n"));
        break;
    case State::RelativeConfigHome:
    case State::EmptyConfigHome:
        // Counted as unset: the key under $HOME/.config is used.
        key = picker.root() + QStringLiteral("/home/.config/screen-capture-rvk");
        QVERIFY(QDir().mkpath(key));
        environment << QStringLiteral("HOME=") + picker.root() + QStringLiteral("/home")
                    << (state == State::EmptyConfigHome ? QStringLiteral("XDG_CONFIG_HOME=")
                                                        : QStringLiteral("XDG_CONFIG_HOME=config"));
        break;
    case State::RuntimeDirUnset:
        if (fallbackMarkerIsHeld())
            QSKIP("a picker of this user runs without a runtime folder");
        picker.environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        break;
    }

    const bool started = picker.start({}, environment);
    const QPoint grab(680, 108);
    if (started)
        drag(grab, grab + QPoint(120, 80));
    const QPoint moved = started ? picker.geometry().topLeft() : QPoint();
    const bool running = picker.process.state() == QProcess::Running;
    if (readOnly) {
        QVERIFY(setReadOnly(key.toStdString(), false));
        QVERIFY(setReadOnly(startX.toStdString(), false));
    }
    QVERIFY(started);
    QCOMPARE(moved, QPoint(220, 180));
    QVERIFY(running);

    QFileInfo value(key + QStringLiteral("/start_x"));
    switch (expect) {
    case Expect::Moved: {
        QVERIFY(value.isFile() && !value.isSymLink());
        QFile file(value.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("        220\n"));
        break;
    }
    case Expect::Untouched: {
        QFile file(value.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("7\n"));
        QCOMPARE(QDir(key).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("start_x")});
        break;
    }
    case Expect::StillAFolder:
        QVERIFY(value.isDir());
        QVERIFY(QFileInfo(key + QStringLiteral("/start_y")).isFile());
        break;
    case Expect::NoKey: {
        QFileInfo keyInfo(key);
        if (state == State::KeyAbsent) {
            QVERIFY(!keyInfo.exists());
        } else {
            QFile file(key);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), keyFileContent);
        }
        break;
    }
    }
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
