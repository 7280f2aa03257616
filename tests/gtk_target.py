# A GTK 3 text entry as a Wayland-native dictation target: prints "text:" and the entry's text on each change.
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

GLib.set_prgname("murmuro-gtk-target")
window = Gtk.Window(title="GTK target")
entry = Gtk.Entry()
entry.connect("changed", lambda e: print("text:" + e.get_text(), flush=True))
window.add(entry)
window.connect("destroy", Gtk.main_quit)
window.show_all()
print("shown", flush=True)
sys.exit(Gtk.main())
