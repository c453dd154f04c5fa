#!/usr/bin/python3
# Prints "x y width height" on the screen of the showing accessible object of
# the given role and name, as assistive technology reads it through AT-SPI.
# usage: accessible_extents.py ROLE NAME
import sys, time, gi  # noqa: E401
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402


def find(node, role, name):
    if (node.get_role_name(), node.get_name()) == (role, name) and \
            node.get_state_set().contains(Atspi.StateType.SHOWING):
        return node
    children = (node.get_child_at_index(i) for i in range(node.get_child_count()))
    return next(filter(None, (find(child, role, name) for child in children)), None)


for _ in range(300):
    try:
        found = find(Atspi.get_desktop(0), sys.argv[1], sys.argv[2])
    except GLib.Error:  # a program left while it was read
        found = None
    if found:
        extents = found.get_extents(Atspi.CoordType.SCREEN)
        print(extents.x, extents.y, extents.width, extents.height)
        sys.exit()
    time.sleep(0.1)
sys.exit(f"assistive technology found no {sys.argv[1]} named {sys.argv[2]!r}")
