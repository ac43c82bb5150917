#!/usr/bin/python3
"""A desktop's notification server and taskbar on the session bus, for tests.

notice_server.py RECORD: owns org.freedesktop.Notifications and appends a
line to RECORD for every Notify call ("notify<TAB>app<TAB>summary<TAB>body
<TAB>desktop-entry") and every launcher entry update ("launcher<TAB>uri<TAB>
progress<TAB>visible"). Writes "ready" once the name is owned.
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
record = sys.argv[1]


def write(*fields):
    with open(record, "a", encoding="utf-8") as f:
        f.write("\t".join(str(x) for x in fields) + "\n")


class Notifications(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.next_id = 0

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        write("notify", app, summary, body, hints.get("desktop-entry", ""))
        self.next_id += 1
        return self.next_id

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body"]

    @dbus.service.method(NAME, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ["test", "velmora", "1", "1.2"]

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def CloseNotification(self, notice):
        pass


def launcher_update(uri, properties):
    write("launcher", uri, float(properties.get("progress", -1)),
          bool(properties.get("progress-visible", False)))


DBusGMainLoop(set_as_default=True)
session = dbus.SessionBus()
name = dbus.service.BusName(NAME, session)
server = Notifications(session)
session.add_signal_receiver(launcher_update, signal_name="Update",
                            dbus_interface="com.canonical.Unity.LauncherEntry")
write("ready")
GLib.MainLoop().run()
