// A balloon of the picker's own icon in the notification area, which stays
// as long as the picker runs.
#include "app/problemnotice.h"

#include <QApplication>
#include <QSystemTrayIcon>

void noticeProblem(const std::string &summary, const std::string &body)
{
    if (!qApp || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    static QSystemTrayIcon *icon = nullptr;
    if (!icon) {
        icon = new QSystemTrayIcon(QApplication::windowIcon(), qApp);
        icon->setToolTip(QStringLiteral("Zorvi"));
        icon->show();
    }
    icon->showMessage(QString::fromStdString(summary), QString::fromStdString(body),
                      QSystemTrayIcon::Critical);
}
