#pragma once

#include <cstdint>

namespace document {

// What the Document tells its listeners: a code and one argument (an index into the record list where
// the code concerns one record, else 0).
struct DocumentEvent {
    enum Code : int32_t {
        LIST_REBUILT = 0,
        RECORD_FOUND = 1, // the scan listed a recording at the index
        RECORD_REMOVED = 2,
        RECORD_CHANGED = 3, // renamed or moved
        RECORDING_STARTED = 4, // its record was inserted at the index
        RECORDING_CONTINUED = 5,
        PAUSE_CHANGED = 6,
        STOPPED = 7,
        PHONE_STATE_CHANGED = 8,
        CARD_PROBLEM = 9, // failures: the screens show "Sorry_card_problem",
        NO_MEMORY = 10, // "Sorry_no_memory"
        TOO_SLOW_DEVICE = 11, // and "Sorry_too_slow_device"
        RECORDING_REFUSED = 12, // a recording could not start; the argument is its RecordRefusal
        SETTINGS_NOT_SAVED = 13, // the registry store cannot be written: changes last until the end
        SEND_FAILED = 14, // the mail program could not be started, or failed at once
        PLAYBACK_REFUSED = 15, // the speaker would not open; the argument is its PlaybackRefusal
    };
    int32_t code = 0;
    int32_t argument = 0;
};

// Why a recording could not start, as the screens tell it.
enum class RecordRefusal : int32_t {
    DISK_FULL = 1,
    NOT_WRITABLE = 2, // the folder cannot be made or written
    NO_MICROPHONE = 3,
};

// Why a playback ended before anything was heard.
enum class PlaybackRefusal : int32_t {
    NO_SPEAKER = 1,
    FORMAT = 2, // the speaker takes no sound of the recording's format
};

// Threads: called on the main thread. A listener may remove itself from within the call.
class DocumentListener {
public:
    virtual ~DocumentListener();
    virtual void on_document_event(DocumentEvent const& event) = 0;
};

} // namespace document
