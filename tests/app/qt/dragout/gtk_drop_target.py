#!/usr/bin/python3
"""A GTK 3 window that takes one drop, as a mail composer or a file manager
does, asking for every format the drag offers, and reports what it received
as one JSON line on standard output: the size of each format's data, the
URIs of text/uri-list, and for each file URI whether the file could be read
at the moment of the drop and its bytes (hex). Exits after the drop, or
after 60 s without one."""
import json
import sys
from urllib.parse import unquote, urlparse

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gdk, Gtk  # noqa: E402

x, y = int(sys.argv[1]), int(sys.argv[2])
window = Gtk.Window(title="drop-target-gtk")
window.set_default_size(300, 300)
window.move(x, y)
# No default handling: the drop asks for each offered format itself.
window.drag_dest_set(0, [], Gdk.DragAction.COPY)
pending = []
report = {"uris": [], "files": [], "offered": {}}


def motion(_widget, context, _x, _y, time):
    Gdk.drag_status(context, Gdk.DragAction.COPY, time)
    return True


def drop(widget, context, _x, _y, time):
    pending[:] = [target.name() for target in context.list_targets()]
    for name in list(pending):
        widget.drag_get_data(context, Gdk.Atom.intern(name, False), time)
    return True


def received(_widget, context, _x, _y, data, _info, time):
    name = data.get_target().name()
    report["offered"][name] = len(data.get_data() or b"")
    if name == "text/uri-list":
        report["uris"] = data.get_uris() or []
        for uri in report["uris"]:
            path = unquote(urlparse(uri).path)
            try:
                with open(path, "rb") as f:
                    report["files"].append({"path": path, "bytes": f.read().hex()})
            except OSError as e:
                report["files"].append({"path": path, "error": str(e)})
    if name in pending:
        pending.remove(name)
    if not pending:
        Gtk.drag_finish(context, True, False, time)
        print(json.dumps(report), flush=True)
        GLib.timeout_add(200, Gtk.main_quit)


def mapped(_widget, _event):
    print("ready", flush=True)
    return False


window.connect("drag-motion", motion)
window.connect("drag-drop", drop)
window.connect("drag-data-received", received)
window.connect("map-event", mapped)
window.show_all()
GLib.timeout_add_seconds(60, Gtk.main_quit)
Gtk.main()
