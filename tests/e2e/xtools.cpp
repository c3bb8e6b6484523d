#include "xtools.h"
#include "scrm.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLayout>
#include <QRegularExpression>
#include <QThread>
#include <QWidget>

#include <climits>

QString run(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

void xdotool(const QString &arguments)
{
    run(QStringLiteral("xdotool"), arguments.split(QLatin1Char(' ')));
}

void drag(const QVector<QPoint> &path)
{
    const QPoint from = path.first();
    QStringList arguments{QStringLiteral("mousemove"), QString::number(from.x()),
                          QString::number(from.y()), QStringLiteral("mousedown"),
                          QStringLiteral("1")};
    const int steps = 20;
    for (int leg = 1; leg < path.size(); ++leg) {
        for (int i = 1; i <= steps; ++i) {
            const QPoint p = path.at(leg - 1) + (path.at(leg) - path.at(leg - 1)) * i / steps;
            arguments << QStringLiteral("sleep") << QStringLiteral("0.01")
                      << QStringLiteral("mousemove") << QString::number(p.x())
                      << QString::number(p.y());
        }
    }
    arguments << QStringLiteral("sleep") << QStringLiteral("0.05") << QStringLiteral("mouseup")
              << QStringLiteral("1");
    run(QStringLiteral("xdotool"), arguments);
}

QRect geometryOf(const QString &windowId)
{
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), windowId});
    auto field = [&](const char *name) {
        const QRegularExpression re(QString::fromLatin1(name) + QStringLiteral(":\\s+(-?\\d+)"));
        return re.match(info).captured(1).toInt();
    };
    return QRect(field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                 field("Height"));
}

Picker::Picker()
    : dir(new QTemporaryDir)
{
    QDir(dir->path()).mkpath(QStringLiteral("config/screen-capture-rvk"));
    QDir(dir->path()).mkpath(QStringLiteral("run"));
    environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), dir->path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir->path() + QStringLiteral("/run"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
}

Picker::~Picker()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
}

bool Picker::start(const QMap<QString, int> &values, const QStringList &extraEnvironment)
{
    for (auto it = values.begin(); it != values.end(); ++it) {
        QFile file(dir->path() + QStringLiteral("/config/screen-capture-rvk/") + it.key());
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QByteArray::number(it.value()) + '\n');
    }
    QProcessEnvironment env = environment;
    for (const QString &assignment : extraEnvironment)
        env.insert(assignment.section(QLatin1Char('='), 0, 0),
                   assignment.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ZORVI), QStringList());
    if (!process.waitForStarted())
        return false;
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        windowId = run(QStringLiteral("xdotool"),
                       {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                        QStringLiteral("--pid"), QString::number(process.processId())});
        if (!windowId.isEmpty() && geometry().topLeft() == QPoint(100, 100))
            return true;
        QThread::msleep(20);
    }
    return false;
}

int Picker::value(const char *name) const
{
    QFile file(dir->path() + QStringLiteral("/config/screen-capture-rvk/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return INT_MIN;
    return file.readAll().trimmed().toInt();
}

QRect Picker::twinGeometry(int titleItem)
{
    QTemporaryDir twinDir;
    QDir(twinDir.path()).mkpath(QStringLiteral("screen-capture-rvk"));
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", twinDir.path().toLocal8Bit());
    QFile shown(twinDir.path() + QStringLiteral("/screen-capture-rvk/show_capture"));
    if (shown.open(QIODevice::WriteOnly))
        shown.write("1\n");
    shown.close();
    QRect geometry;
    {
        SCRM twin;
        twin.setAttribute(Qt::WA_DontShowOnScreen);
        twin.show();
        QWidget *titleBar = twin.layout()->itemAt(0)->widget();
        QWidget *widget = titleItem < 0 ? titleBar : titleBar->layout()->itemAt(titleItem)->widget();
        geometry = QRect(widget->mapTo(&twin, QPoint(0, 0)), widget->size());
    }
    qputenv("XDG_CONFIG_HOME", saved);
    return geometry;
}
