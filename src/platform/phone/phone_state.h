#pragma once

#include <cstdint>

// Where a phone publisher (the simulator now, a modem service later) keeps what the phone's shell
// publishes, all under the local-machine root of the registry store:
// - "System\State\Phone": "Active Call Count", "Status" (the bits below), "Caller Number", "Caller Name";
// - "System\State\Hardware": "Speaker" (not 0 while the speakerphone is on);
// - "System\Telephony\Line": the current call as the telephony line sees it (see telephony_line.h);
// - "System\Telephony\Phone": "Speaker Request", the hook switch asked for, until the publisher has
//   carried it out.
namespace platform {

inline constexpr char16_t PHONE_STATE_KEY[] = u"System\\State\\Phone";
inline constexpr char16_t HARDWARE_STATE_KEY[] = u"System\\State\\Hardware";
inline constexpr char16_t LINE_KEY[] = u"System\\Telephony\\Line";
inline constexpr char16_t PHONE_DEVICE_KEY[] = u"System\\Telephony\\Phone";

inline constexpr char16_t ACTIVE_CALL_COUNT[] = u"Active Call Count";
inline constexpr char16_t STATUS[] = u"Status";
inline constexpr char16_t CALLER_NUMBER[] = u"Caller Number";
inline constexpr char16_t CALLER_NAME[] = u"Caller Name";
inline constexpr char16_t SPEAKER[] = u"Speaker";
inline constexpr char16_t SPEAKER_REQUEST[] = u"Speaker Request";

// "Status" bits. Only a talking call has STATUS_TALKING: ringing, dialling and holding do not.
inline constexpr uint32_t STATUS_RINGING = 0x00010000;
inline constexpr uint32_t STATUS_DIALING = 0x00020000;
inline constexpr uint32_t STATUS_ON_HOLD = 0x00040000;
inline constexpr uint32_t STATUS_TALKING = 0x20000000;

// The line device that carries voice calls.
inline constexpr char16_t CELLULAR_LINE[] = u"Cellular Line";

} // namespace platform
