#!/usr/bin/python3
"""The agent's own resident memory before the console is opened, while it is open and after it
is closed, in the real agent process.

Starts an Xvfb display and a session bus with a small tray host on it (the status notifier
watcher a desktop panel provides), then the agent with its window hidden at launch. The console
is opened as a user opens it, by clicking "Open Vesk Warden" in the tray menu the agent
exports on the bus, and closed as a user closes it, through the window manager's close
request. `VmRSS` and `RssAnon` come from /proc/PID/status.

    bench/agent_console_memory.py [BUILD_DIR (default build)] [CYCLES (default 5)]

Needs Xvfb, dbus-daemon, python3-dbus, python3-gi and python3-xlib (Debian packages).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

try:
    import dbus
    import dbus.mainloop.glib
    import dbus.service
    from dbus.mainloop.glib import DBusGMainLoop
    from gi.repository import GLib
    from Xlib import X, Xatom, display as xdisplay, protocol
except ImportError as missing:
    raise SystemExit(f"agent_console_memory: {missing}; apt-get install python3-dbus python3-gi python3-xlib")

WATCHER = "org.kde.StatusNotifierWatcher"
SETTLE_SECONDS = 8


INTROSPECTION = f"""<node><interface name="{WATCHER}">
<method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
<method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
<property name="RegisteredStatusNotifierItems" type="as" access="read"/>
<property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
<property name="ProtocolVersion" type="i" access="read"/>
</interface></node>"""


class Watcher(dbus.service.Object):
    """Enough of a panel's status notifier watcher for Qt to put its tray icon on the bus."""

    # Qt reads the host's presence as a property, which it looks up in the introspection.
    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature="s")
    def Introspect(self):
        return INTROSPECTION

    def __init__(self, bus):
        super().__init__(dbus.service.BusName(WATCHER, bus=bus), "/StatusNotifierWatcher")
        self.items = []

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        self.items.append((sender, service if service.startswith("/") else "/StatusNotifierItem"))

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.GetAll(interface)[name]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return {"IsStatusNotifierHostRegistered": True, "ProtocolVersion": dbus.Int32(0),
                "RegisteredStatusNotifierItems": dbus.Array([s for s, _ in self.items], signature="s")}


def status(pid):
    out = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            if key in ("VmRSS", "RssAnon"):
                out[key] = int(value.split()[0]) / 1024.0
    return out


def free_display():
    for n in range(90, 140):
        if not os.path.exists(f"/tmp/.X11-unix/X{n}") and not os.path.exists(f"/tmp/.X{n}-lock"):
            return n
    raise SystemExit("no free X display number")


def find_open_item(layout):
    _, props, children = layout
    if str(props.get("label", "")).replace("&", "") == "Open Vesk Warden":
        return int(layout[0])
    for child in children:
        found = find_open_item(child)
        if found is not None:
            return found
    return None


def console_windows(d):
    """Top-level windows whose title names the console."""
    found = []
    net_name = d.intern_atom("_NET_WM_NAME")
    for w in d.screen().root.query_tree().children:
        try:
            name = w.get_full_property(net_name, 0) or w.get_full_property(Xatom.WM_NAME, 0)
            attrs = w.get_attributes()
        except Exception:
            continue
        title = name.value.decode("utf-8", "replace") if name and isinstance(name.value, bytes) else ""
        if "Vesk Warden" in title and attrs.map_state == X.IsViewable:
            found.append(w)
    return found


def close_window(d, w):
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=w, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    w.send_event(event)
    d.flush()


def wait_for(predicate, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if predicate():
            return True
        time.sleep(0.2)
    return False


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    cycles = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    agent = os.path.join(build, "src/app/vesk-warden")
    if not os.access(agent, os.X_OK):
        raise SystemExit(f"agent_console_memory: build {agent} first")
    work = tempfile.mkdtemp()
    procs = []
    try:
        n = free_display()
        procs.append(subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        if not wait_for(lambda: os.path.exists(f"/tmp/.X11-unix/X{n}"), 10):
            raise SystemExit("Xvfb did not start")
        bus = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                             capture_output=True, text=True, check=True).stdout.split()
        bus_address, bus_pid = bus[0], int(bus[1])
        env = dict(os.environ, DISPLAY=f":{n}", DBUS_SESSION_BUS_ADDRESS=bus_address, HOME=work,
                   XDG_CONFIG_HOME=f"{work}/config", XDG_DATA_HOME=f"{work}/data", XDG_RUNTIME_DIR=work,
                   VESK_APPLICATIONS=f"{work}/Applications", QT_QPA_PLATFORM="xcb")
        env.pop("QT_QPA_PLATFORMTHEME", None)
        os.makedirs(f"{work}/config/VeskWarden")
        os.makedirs(f"{work}/Applications")
        with open(f"{work}/config/VeskWarden/VeskWarden.conf", "w") as f:
            f.write("[General]\nwarden_hideWindowAtLaunch=true\n")

        os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus_address
        dbus.mainloop.glib.threads_init()
        DBusGMainLoop(set_as_default=True)
        session = dbus.bus.BusConnection(bus_address)
        watcher = Watcher(session)
        loop = GLib.MainLoop()
        threading.Thread(target=loop.run, daemon=True).start()

        log = open(f"{work}/agent.log", "w")
        procs.append(subprocess.Popen([agent, "--fleet-url", "http://127.0.0.1:9"], env=env, stdout=log, stderr=log))
        pid = procs[-1].pid
        if not wait_for(lambda: watcher.items, 30):
            raise SystemExit(f"the agent put no tray icon on the bus; its log:\n{open(work + '/agent.log').read()}")
        sender, path = watcher.items[0]
        item = session.get_object(sender, path)
        menu_path = item.Get("org.kde.StatusNotifierItem", "Menu", dbus_interface=dbus.PROPERTIES_IFACE)
        menu = dbus.Interface(session.get_object(sender, menu_path), "com.canonical.dbusmenu")
        d = xdisplay.Display(f":{n}")

        time.sleep(SETTLE_SECONDS)
        before = status(pid)
        print(f"before open: VmRSS {before['VmRSS']:.1f} MiB, RssAnon {before['RssAnon']:.1f} MiB")
        for cycle in range(1, cycles + 1):
            _, layout = menu.GetLayout(0, -1, dbus.Array([], signature="s"))
            open_id = find_open_item(layout)
            if open_id is None:
                raise SystemExit("no \"Open Vesk Warden\" in the tray menu")
            menu.Event(open_id, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0))
            if not wait_for(lambda: console_windows(d), 30):
                raise SystemExit("the console did not open")
            time.sleep(SETTLE_SECONDS)
            opened = status(pid)
            for w in console_windows(d):
                close_window(d, w)
            if not wait_for(lambda: not console_windows(d), 30):
                raise SystemExit("the console did not close")
            time.sleep(SETTLE_SECONDS)
            closed = status(pid)
            print(f"cycle {cycle}: open VmRSS {opened['VmRSS']:.1f} MiB (RssAnon {opened['RssAnon']:.1f}), "
                  f"closed VmRSS {closed['VmRSS']:.1f} MiB (RssAnon {closed['RssAnon']:.1f})")
        grew = closed["VmRSS"] - before["VmRSS"]
        grew_anon = closed["RssAnon"] - before["RssAnon"]
        mb = grew * 1048576 / 1e6
        print(f"after {cycles} closes: VmRSS +{grew:.2f} MiB = {mb:.2f} MB, {mb / 5:.2f} of the 5 MB target; "
              f"RssAnon +{grew_anon:.2f} MiB")
        loop.quit()
        try:
            os.kill(bus_pid, 15)
        except ProcessLookupError:
            pass
    finally:
        for p in reversed(procs):
            p.terminate()
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
