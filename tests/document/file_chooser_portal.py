#!/usr/bin/python3
'''A stand-in for the desktop's file chooser portal on the session bus. SaveFile answers with the request
handle at once and then, on that handle, the Response that the arguments ask for:
    accept PATH    response 0 with the file URI of PATH
    cancel         response 1
Each call's title and proposed name are printed, one line each, for the test to read.'''

import sys
import urllib.parse

import dbus
import dbus.lowlevel
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

PORTAL = 'org.freedesktop.portal.Desktop'
PORTAL_PATH = '/org/freedesktop/portal/desktop'


class FileChooser(dbus.service.Object):
    def __init__(self, bus, answer):
        super().__init__(bus, PORTAL_PATH)
        self.answer = answer

    @dbus.service.method('org.freedesktop.portal.FileChooser', in_signature='ssa{sv}', out_signature='o',
                         sender_keyword='sender')
    def SaveFile(self, parent, title, options, sender):
        token = str(options.get('handle_token', 'none'))
        handle = '/org/freedesktop/portal/desktop/request/%s/%s' % (sender[1:].replace('.', '_'), token)
        print('SaveFile title=%s current_name=%s' % (title, options.get('current_name', '')), flush=True)
        GLib.idle_add(self.respond, handle)
        return dbus.ObjectPath(handle)

    def respond(self, handle):
        signal = dbus.lowlevel.SignalMessage(handle, 'org.freedesktop.portal.Request', 'Response')
        if self.answer[0] == 'accept':
            uri = 'file://' + urllib.parse.quote(self.answer[1])
            signal.append(dbus.UInt32(0), dbus.Dictionary({'uris': dbus.Array([uri], signature='s')}, signature='sv'))
        else:
            signal.append(dbus.UInt32(1), dbus.Dictionary({}, signature='sv'))
        self.connection.send_message(signal)
        return False


def main():
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    chooser = FileChooser(bus, sys.argv[1:])
    name = dbus.service.BusName(PORTAL, bus)
    print('ready', flush=True)
    GLib.MainLoop().run()


if __name__ == '__main__':
    main()
