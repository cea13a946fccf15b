'''A callaudiod stand-in for python3-dbusmock (loaded with -t): EnableSpeaker switches SpeakerState, as
callaudiod does once the audio route has changed.'''

import dbus

BUS_NAME = 'org.mobian_project.CallAudio'
MAIN_OBJ = '/org/mobian_project/CallAudio'
MAIN_IFACE = 'org.mobian_project.CallAudio'
SYSTEM_BUS = False


def load(mock, parameters):
    mock.AddProperties(MAIN_IFACE, {
        'AudioMode': dbus.UInt32(0),
        'SpeakerState': dbus.UInt32(0),
        'MicState': dbus.UInt32(1),
    })
    mock.AddMethod(MAIN_IFACE, 'EnableSpeaker', 'b', 'b',
                   f'self.UpdateProperties("{MAIN_IFACE}", {{"SpeakerState": dbus.UInt32(1 if args[0] else 0)}}); '
                   'ret = True')
