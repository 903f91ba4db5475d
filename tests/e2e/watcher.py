"""watcher.py hung | DELAY HOST [replace]: a StatusNotifierWatcher saying HOST (true, or a string)
late, printing who asks it what; a host that registers makes it prompt."""

import signal
import sys

from gi.repository import Gio, GLib

NAME = "org.kde.StatusNotifierWatcher"
XML = (f'<node><interface name="{NAME}"><property name="IsStatusNotifierHostRegistered" '
       'type="b" access="read"/></interface></node>')
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
delay = 0 if sys.argv[1] == "hung" else float(sys.argv[1])


def answer(call):
    global delay
    if call.get_member() == "RegisterStatusNotifierHost":  # answers at once from now on
        delay = 0
        bus.emit_signal(None, "/StatusNotifierWatcher", NAME, "StatusNotifierHostRegistered", None)
    host = GLib.Variant("b", True) if sys.argv[2] == "true" else GLib.Variant("s", sys.argv[2])
    reply = call.new_method_reply()
    bodies = {"Introspect": GLib.Variant("(s)", (XML,)), "Get": GLib.Variant("(v)", (host,))}
    reply.set_body(bodies.get(call.get_member(), GLib.Variant("()", ())))
    bus.send_message(reply, Gio.DBusSendMessageFlags.NONE)


def receive(_, message, incoming):
    if not incoming or message.get_path() != "/StatusNotifierWatcher":
        return message
    print(message.get_sender(), message.get_member(), flush=True)
    GLib.timeout_add(int(delay * 1000), answer, message)


bus.add_filter(receive)
bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
              "RequestName", GLib.Variant("(su)", (NAME, 2 if "replace" in sys.argv else 1)), None,
              0, -1, None)
print("holding the name", flush=True)
if sys.argv[1] == "hung":
    signal.raise_signal(signal.SIGSTOP)  # a panel that hangs: questions wait the bus's 25 s
GLib.MainLoop().run()
