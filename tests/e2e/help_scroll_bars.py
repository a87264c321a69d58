"""Prints the horizontal scroll bars that Qt Assistant shows, as AT-SPI sees them; exits 1
when there is one. A scroll bar is horizontal when it is wider than it is high."""
import sys

import pyatspi


def scroll_bars(accessible):
    try:
        role = accessible.getRole()
    except Exception:  # a widget that went away meanwhile
        return
    if role == pyatspi.ROLE_SCROLL_BAR:
        yield accessible
    for i in range(accessible.childCount):
        yield from scroll_bars(accessible.getChildAtIndex(i))


def main():
    viewers = [a for a in pyatspi.Registry.getDesktop(0) if a and a.name == "assistant"]
    if not viewers:
        print("no help viewer on the accessibility bus")
        return 2
    showing = []
    for bar in scroll_bars(viewers[0]):
        if not bar.getState().contains(pyatspi.STATE_SHOWING):
            continue
        box = bar.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if box.width > box.height:
            showing.append(f"{box.width}x{box.height}+{box.x}+{box.y}")
    for bar in showing:
        print("horizontal scroll bar showing:", bar)
    return 1 if showing else 0


if __name__ == "__main__":
    sys.exit(main())
