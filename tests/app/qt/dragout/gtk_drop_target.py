#!/usr/bin/python3
"""A GTK 3 window that takes one drop of text/uri-list, as a mail composer or
a file manager does, and reports what it received as one JSON line on
standard output: the URIs, and for each file URI whether the file could be
read at the moment of the drop and its bytes (hex). Exits after the drop, or
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
window.drag_dest_set(Gtk.DestDefaults.ALL, [Gtk.TargetEntry.new("text/uri-list", 0, 0)], Gdk.DragAction.COPY)


def received(_widget, _context, _x, _y, data, _info, _time):
    uris = data.get_uris() or []
    files = []
    for uri in uris:
        path = unquote(urlparse(uri).path)
        try:
            with open(path, "rb") as f:
                files.append({"path": path, "bytes": f.read().hex()})
        except OSError as e:
            files.append({"path": path, "error": str(e)})
    print(json.dumps({"uris": uris, "raw": data.get_data().decode("utf-8", "replace"), "files": files}), flush=True)
    GLib.timeout_add(200, Gtk.main_quit)


def mapped(_widget, _event):
    print("ready", flush=True)
    return False


window.connect("drag-data-received", received)
window.connect("map-event", mapped)
window.show_all()
GLib.timeout_add_seconds(60, Gtk.main_quit)
Gtk.main()
