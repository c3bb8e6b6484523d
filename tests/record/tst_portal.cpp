// What record names when the desktop's portal is missing, and where it keeps
// the permission to share the screen.
#include "record/restoretoken.h"
#include "record/screencastportal.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(Portal, BackendPackageOfTheDesktop)
{
    const std::string any = "xdg-desktop-portal-gnome, -kde or -wlr, for your desktop";
    const std::pair<const char *, std::string> rows[] = {
        { "GNOME", "xdg-desktop-portal-gnome" },
        { "ubuntu:GNOME", "xdg-desktop-portal-gnome" }, // a list: any of them counts
        { "KDE", "xdg-desktop-portal-kde" },
        { "sway", "xdg-desktop-portal-wlr" },
        { "Hyprland", "xdg-desktop-portal-wlr" }, // names are not case-sensitive
        { "XFCE", any },
        { "", any },
        { "GNOMEish", any }, // whole names only
    };
    for (const auto &[desktop, package] : rows)
        EXPECT_EQ(portalBackendPackage(desktop), package) << desktop;
}

TEST(Portal, RestoreTokenInTheStateFolder)
{
    const std::pair<std::pair<const char *, const char *>, const char *> rows[] = {
        { { "/s", "/h" }, "/s/zorvi/screencast-token" },
        { { "", "/h" }, "/h/.local/state/zorvi/screencast-token" },
        { { "state", "/h" }, "/h/.local/state/zorvi/screencast-token" }, // relative: unset
        { { "", "" }, "" },
    };
    for (const auto &[environment, file] : rows)
        EXPECT_EQ(restoreTokenFile(environment.first, environment.second), file)
            << environment.first << " " << environment.second;
}

} // namespace
