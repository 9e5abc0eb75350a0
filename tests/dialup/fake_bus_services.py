#!/usr/bin/python3
"""Small stand-ins for NetworkManager and logind on a private bus, for the dial-up tests.

Usage: fake_bus_services.py BUS_ADDRESS

NetworkManager holds five profiles: "Wired" (ethernet), "Mobile" (gsm, comes up after a moment),
"Office VPN" (vpn), "Broken" (pppoe, fails after a moment) and "Slow" (gsm, stays activating until
it is deactivated). logind's PowerOff records its argument and answers, or refuses while the test
interface org.tarnquill.Fake has been told to Refuse.
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NM = "org.freedesktop.NetworkManager"
NM_PATH = "/org/freedesktop/NetworkManager"
ACTIVE = NM + ".Connection.Active"
PROPS = "org.freedesktop.DBus.Properties"

PROFILES = [
    ("Wired", "802-3-ethernet", "ok"),
    ("Mobile", "gsm", "ok"),
    ("Office VPN", "vpn", "ok"),
    ("Broken", "pppoe", "fail"),
    ("Slow", "gsm", "hang"),
]


class Properties(dbus.service.Object):
    interface = ""

    def props(self):
        return {}

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface != self.interface or name not in self.props():
            raise dbus.exceptions.DBusException(
                "No such property " + name, name="org.freedesktop.DBus.Error.InvalidArgs")
        return self.props()[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.props() if interface == self.interface else {}


class Profile(dbus.service.Object):
    def __init__(self, bus, index, name, kind, behaviour):
        self.path = NM_PATH + "/Settings/%d" % index
        super().__init__(bus, self.path)
        self.behaviour = behaviour
        self.settings = {"connection": {"id": name, "type": kind, "uuid": "uuid-%d" % index}}
        if kind in ("gsm", "pppoe"):
            self.settings[kind] = {"apn": "internet"} if kind == "gsm" else {"service": "isp"}

    @dbus.service.method(NM + ".Settings.Connection", out_signature="a{sa{sv}}")
    def GetSettings(self):
        return dbus.Dictionary(
            {group: dbus.Dictionary(values, signature="sv") for group, values in self.settings.items()},
            signature="sa{sv}")

    @dbus.service.method(NM + ".Settings.Connection", in_signature="a{sa{sv}}")
    def Update(self, settings):
        self.settings = {str(g): {str(k): v for k, v in values.items()} for g, values in settings.items()}


class Settings(dbus.service.Object):
    def __init__(self, bus, profiles):
        super().__init__(bus, NM_PATH + "/Settings")
        self.profiles = profiles

    @dbus.service.method(NM + ".Settings", out_signature="ao")
    def ListConnections(self):
        return dbus.Array([p.path for p in self.profiles], signature="o")


class Active(Properties):
    interface = ACTIVE

    def __init__(self, bus, index, profile):
        self.path = NM_PATH + "/ActiveConnection/%d" % index
        super().__init__(bus, self.path)
        self.profile = profile
        self.state = 1  # activating

    def props(self):
        return {"Connection": dbus.ObjectPath(self.profile.path), "State": dbus.UInt32(self.state),
                "Id": self.profile.settings["connection"]["id"]}


class Manager(Properties):
    interface = NM

    def __init__(self, bus, profiles):
        super().__init__(bus, NM_PATH)
        self.bus = bus
        self.profiles = {p.path: p for p in profiles}
        self.active = []
        self.count = 0

    def props(self):
        return {"ActiveConnections": dbus.Array([a.path for a in self.active], signature="o")}

    def settle(self, active):
        if active.state == 1 and active.profile.behaviour != "hang":
            active.state = 2 if active.profile.behaviour == "ok" else 4
            if active.state == 4:
                self.active.remove(active)
        return False

    @dbus.service.method(NM, in_signature="ooo", out_signature="o")
    def ActivateConnection(self, connection, device, specific):
        if connection not in self.profiles:
            raise dbus.exceptions.DBusException("Unknown connection", name=NM + ".UnknownConnection")
        self.count += 1
        active = Active(self.bus, self.count, self.profiles[connection])
        self.active.append(active)
        GLib.timeout_add(50, self.settle, active)
        return dbus.ObjectPath(active.path)

    @dbus.service.method(NM, in_signature="o")
    def DeactivateConnection(self, path):
        for active in list(self.active):
            if active.path == path:
                active.state = 4
                self.active.remove(active)
                return
        raise dbus.exceptions.DBusException("Not active", name=NM + ".ConnectionNotActive")


class Login(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/org/freedesktop/login1")
        self.refuse = False
        self.calls = []

    @dbus.service.method("org.freedesktop.login1.Manager", in_signature="b")
    def PowerOff(self, interactive):
        self.calls.append(bool(interactive))
        if self.refuse:
            raise dbus.exceptions.DBusException(
                "Interactive authentication required.",
                name="org.freedesktop.DBus.Error.InteractiveAuthorizationRequired")

    @dbus.service.method("org.tarnquill.Fake", in_signature="b")
    def Refuse(self, refuse):
        self.refuse = bool(refuse)

    @dbus.service.method("org.tarnquill.Fake", out_signature="s")
    def Calls(self):
        return ",".join("interactive" if c else "quiet" for c in self.calls)


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(sys.argv[1])
    profiles = [Profile(bus, i + 1, *p) for i, p in enumerate(PROFILES)]
    keep = [Settings(bus, profiles), Manager(bus, profiles), Login(bus)]
    names = [dbus.service.BusName(NM, bus), dbus.service.BusName("org.freedesktop.login1", bus)]
    GLib.MainLoop().run()
    return keep, names


if __name__ == "__main__":
    main()
