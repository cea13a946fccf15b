'''A ModemManager stand-in for python3-dbusmock (loaded with -t): the manager with its object manager,
modems with the Voice interface and their calls, moved through a call's life by the Mock methods below.

Paths are ModemManager's: /org/freedesktop/ModemManager1/Modem/N and .../Call/N.
'''

import dbus
from dbusmock import MOCK_IFACE, mockobject

BUS_NAME = 'org.freedesktop.ModemManager1'
MAIN_OBJ = '/org/freedesktop/ModemManager1'
MAIN_IFACE = 'org.freedesktop.ModemManager1'
SYSTEM_BUS = True
IS_OBJECT_MANAGER = True

MODEM_IFACE = 'org.freedesktop.ModemManager1.Modem'
VOICE_IFACE = 'org.freedesktop.ModemManager1.Modem.Voice'
CALL_IFACE = 'org.freedesktop.ModemManager1.Call'


def modem_path(index):
    return f'{MAIN_OBJ}/Modem/{index}'


def call_path(index):
    return f'{MAIN_OBJ}/Call/{index}'


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, {'Version': dbus.String('1.20.4')})


@dbus.service.method(MOCK_IFACE, in_signature='u', out_signature='')
def AddModem(self, index):
    path = modem_path(index)
    self.AddObject(path, MODEM_IFACE, {'State': dbus.Int32(8)}, [])
    mockobject.objects[path].AddProperties(VOICE_IFACE, {
        'Calls': dbus.Array([], signature='o'),
        'EmergencyOnly': dbus.Boolean(False),
    })
    self.object_manager_emit_added(path)


@dbus.service.method(MOCK_IFACE, in_signature='u', out_signature='')
def RemoveModem(self, index):
    path = modem_path(index)
    self.object_manager_emit_removed(path)
    self.RemoveObject(path)


@dbus.service.method(MOCK_IFACE, in_signature='uuiis', out_signature='')
def AddCall(self, modem, index, direction, state, number):
    '''A call on a modem: added to its Calls, then CallAdded.'''
    path = call_path(index)
    self.AddObject(path, CALL_IFACE, {
        'State': dbus.Int32(state),
        'StateReason': dbus.Int32(0),
        'Direction': dbus.Int32(direction),
        'Number': dbus.String(number),
        'Multiparty': dbus.Boolean(False),
        'AudioPort': dbus.String(''),
    }, [])
    voice = mockobject.objects[modem_path(modem)]
    calls = list(voice.props[VOICE_IFACE]['Calls']) + [dbus.ObjectPath(path)]
    voice.UpdateProperties(VOICE_IFACE, {'Calls': dbus.Array(calls, signature='o')})
    voice.EmitSignal(VOICE_IFACE, 'CallAdded', 'o', [dbus.ObjectPath(path)])


@dbus.service.method(MOCK_IFACE, in_signature='uiu', out_signature='')
def SetCallState(self, index, state, reason):
    '''StateChanged first and the State property after it, so that a reader of the cached property
    would lag behind the signal.'''
    call = mockobject.objects[call_path(index)]
    old = call.props[CALL_IFACE]['State']
    call.EmitSignal(CALL_IFACE, 'StateChanged', 'iiu', [dbus.Int32(old), dbus.Int32(state), dbus.UInt32(reason)])
    call.UpdateProperties(CALL_IFACE, {'State': dbus.Int32(state), 'StateReason': dbus.Int32(reason)})


@dbus.service.method(MOCK_IFACE, in_signature='us', out_signature='')
def SetCallNumber(self, index, number):
    mockobject.objects[call_path(index)].UpdateProperties(CALL_IFACE, {'Number': dbus.String(number)})


@dbus.service.method(MOCK_IFACE, in_signature='uu', out_signature='')
def DeleteCall(self, modem, index):
    path = call_path(index)
    voice = mockobject.objects[modem_path(modem)]
    calls = [c for c in voice.props[VOICE_IFACE]['Calls'] if c != path]
    voice.UpdateProperties(VOICE_IFACE, {'Calls': dbus.Array(calls, signature='o')})
    voice.EmitSignal(VOICE_IFACE, 'CallDeleted', 'o', [dbus.ObjectPath(path)])
    self.RemoveObject(path)
