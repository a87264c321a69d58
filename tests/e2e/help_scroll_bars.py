"""Prints the horizontal scroll bars that Qt Assistant shows, as AT-SPI sees them; exits 1
when there is one or no viewer. A scroll bar is horizontal when it is wider than
it is high."""
import sys

import pyatspi


def scroll_bars(accessible):
    try:
        if accessible.getRole() == pyatspi.ROLE_SCROLL_BAR:
            yield accessible
    except Exception:  # a widget that went away meanwhile
        return
    for i in range(accessible.childCount):
        yield from scroll_bars(accessible.getChildAtIndex(i))


viewers = [a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "assistant"]
if not viewers:
    sys.exit("no help viewer on the accessibility bus")
showing = [box for box in (bar.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                           for bar in scroll_bars(viewers[0])
                           if bar.getState().contains(pyatspi.STATE_SHOWING))
           if box.width > box.height]
for box in showing:
    print(f"horizontal scroll bar showing: {box.width}x{box.height}+{box.x}+{box.y}")
sys.exit(1 if showing else 0)
