// What the end-to-end tests need of the X session: the tools a person's
// hand and eyes would be, and the picker as a real process in its own key.
#ifndef XTOOLS_H
#define XTOOLS_H

#include <QMap>
#include <QPoint>
#include <QVector>
#include <QProcess>
#include <QRect>
#include <QScopedPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr);
void xdotool(const QString &arguments);
// A drag as a hand makes it along the path: small steps, each given time to
// arrive, and the button released at the end.
void drag(const QVector<QPoint> &path);
inline void drag(const QPoint &from, const QPoint &to)
{
    drag(QVector<QPoint>{from, to});
}
QRect geometryOf(const QString &windowId);

class Picker
{
public:
    Picker();
    ~Picker();

    // Starts the picker with these values stored; false when no window
    // came up at (100, 100).
    bool start(const QMap<QString, int> &values = {}, const QStringList &environment = {});
    int value(const char *name) const;
    // The picker's private folder: config/ holds the key, run/ the marker.
    QString root() const { return dir->path(); }
    QRect geometry() const { return geometryOf(windowId); }
    // Where the picker's widgets sit, asked of a twin laid out off screen:
    // the title bar for -1, else the title bar's layout item.
    static QRect twinGeometry(int titleItem);

    QProcess process;
    QString windowId;
    QProcessEnvironment environment;

private:
    QScopedPointer<QTemporaryDir> dir;
};

#endif // XTOOLS_H
