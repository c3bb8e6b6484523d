// When an XWayland window takes or gives back a spare row. mutter (43) makes
// every commit of an XWayland window's pixels reset its input region to the
// whole window, and takes the input region from the X shapes again only at a
// shape change it reads or at a commit of a buffer of a new size; a commit
// after that, of any later drawing, lets clicks in the frame's interior no
// longer reach a Wayland window below. Every time the window has been drawn,
// its X window therefore grows or shrinks by one row at the bottom, which no
// shape shows and Qt is never told of: XWayland then commits a buffer of the
// other size after all that was drawn, and nothing is drawn after it. mutter
// holds the window's commits while it resizes it (its "allow commits"
// property): a flip is done once they flow again, so that two flips never
// fold into one commit of the old size.
//
// Plain bookkeeping, so that it can be checked without an X server.
#ifndef SPAREROW_H
#define SPAREROW_H

#include <optional>

class SpareRow
{
public:
    // Something was drawn into the window.
    void drawn() { due = true; }
    // The height to ask the X server for, when a flip is due now; while a
    // mouse button is down the window is being dragged or resized and draws
    // on, so the flip waits. `height` is the window's height as Qt knows it.
    std::optional<int> flip(int height, bool buttonsDown);
    // The X server reports the window's place and height: the height Qt is
    // to be told. XWayland commits the window's pixels anew when it moves.
    int configured(int x, int y, int xHeight, int height);
    // The compositor holds or lets through the window's commits.
    void commitsAllowed(bool allowed);
    // From the keep-on-top timer: a flip that no report ends within a
    // second is given up and done again.
    void tick();

private:
    static constexpr int patience = 20;
    bool due = false;
    bool flipping = false;
    bool reached = false;
    bool held = false;
    int asked = 0;
    int xHeight = -1;
    bool placed = false;
    int atX = 0;
    int atY = 0;
    int waited = 0;
};

#endif // SPAREROW_H
