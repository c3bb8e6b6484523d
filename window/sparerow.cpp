#include "window/sparerow.h"

std::optional<int> SpareRow::flip(int height, bool buttonsDown)
{
    if (!due || flipping || buttonsDown)
        return std::nullopt;
    due = false;
    flipping = true;
    reached = false;
    waited = 0;
    asked = xHeight == height + 1 ? height : height + 1;
    return asked;
}

int SpareRow::configured(int x, int y, int reported, int height)
{
    if (placed && (x != atX || y != atY))
        due = true;
    placed = true;
    atX = x;
    atY = y;
    xHeight = reported;
    if (flipping && reported == asked) {
        reached = true;
        // Where the compositor holds the commits, the new size reaches it
        // when it lets them through.
        flipping = held;
    }
    return reported == height + 1 ? height : reported;
}

void SpareRow::commitsAllowed(bool allowed)
{
    held = !allowed;
    if (allowed && reached)
        flipping = false;
}

void SpareRow::tick()
{
    if (flipping && ++waited >= patience) {
        flipping = false;
        due = true;
    }
}
