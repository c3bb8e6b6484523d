// A balloon of the picker's own icon in the notification area, which stays
// as long as the picker runs.
#include "app/problemnotice.h"

#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>

void noticeProblem(const std::string &summary, const std::string &body)
{
    if (!qApp || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    static QSystemTrayIcon *icon = nullptr;
    if (!icon) {
        // The title bar's logo: the application has no icon of its own, and
        // a notification icon without a picture is never shown.
        icon = new QSystemTrayIcon(QIcon(QStringLiteral(":/Image/LOGO.png")), qApp);
        icon->setToolTip(QStringLiteral("Zorvi"));
        icon->show();
    }
    icon->showMessage(QString::fromStdString(summary), QString::fromStdString(body),
                      QSystemTrayIcon::Critical);
}
