#pragma once

#include "DocumentListener.h"
#include "DurationCache.h"
#include "RecordInfo.h"
#include "RecordStore.h"
#include "Settings.h"
#include "WaveformPeaks.h"

#include <audio/ActiveBuffer.h>
#include <audio/PlayerPCM.h>
#include <audio/RecorderPCM.h>
#include <audio/filters/BoostFilter.h>
#include <audio/filters/DurationCounter.h>
#include <audio/filters/LevelMeter.h>
#include <audio/formats/FileWriter.h>
#include <audio/readers/FileReader.h>
#include <core/Singleton.h>
#include <core/Timer.h>
#include <functional>
#include <memory>
#include <optional>
#include <os/DateTime.h>
#include <os/FolderScanner.h>
#include <os/Launcher.h>
#include <os/Trash.h>
#include <phone/CallListener.h>
#include <phone/CallMonitorImpl.h>
#include <phone/PhoneControl.h>
#include <platform/services/power_inhibitor.h>
#include <vector>

namespace document {

// The one owner of what the program does with audio: the recording in progress (capture, boost, level
// meter and voice activation, memory buffer, file writer), the playback in progress (reader and player),
// the list of recordings and the settings. Screens call it and listen to its events; while a recording or
// a playback runs, a 0.2 s tick watches the chain and turns its failures into events. Idle, nothing of it
// runs: the phone's state is followed through the call monitor's changes.
//
// Threads: main thread only, with the scheduler running (its tick and the folder scan are timers). The
// capture, drain and player threads run inside the audio objects it owns; it only builds, links, starts
// and deletes them, and unlinks a stage under the lock of what it is linked to before deleting it.
// The language key of the message that tells a failure event (a card gone, no memory, a slow device, a
// recording refused); empty for other events.
core::StringView failure_text_key(DocumentEvent const& event);

// A record whose file went to the trash: what the list showed, and where the file lies now.
struct TrashedRecord {
    RecordEntry entry;
    os::TrashedFile trashed;
};

class Document final : public core::Singleton<Document>,
                       public os::ScanListener,
                       public phone::CallListener,
                       private core::TimerListener {
public:
    static constexpr double TICK_SECONDS = 0.2;
    static constexpr double DRAIN_STEP_SECONDS = 0.01;
    // The free space below which a card is passed over for main memory.
    static constexpr double MIN_FREE_BYTES = 1'000'000;
    static constexpr uint32_t TAG_OUTPUT_BUFFER = 65536;
    static constexpr uint32_t RENAME_BUFFER = 4096;

    using WriterFactory = std::function<std::unique_ptr<audio::FileWriter>(core::StringView path,
        core::StringView format_name, int32_t channels, int32_t bits_per_sample, int32_t samples_per_second,
        int32_t bit_rate, bool append, audio::RecordingTags const& tags)>;

    // What the Document asks of the platform, replaceable by tests.
    struct Services {
        // Plays a sound file and returns when it has played (the start and end beeps).
        std::function<void(core::StringView path)> play_sound;
        WriterFactory create_writer;
        // The microphone and the speaker; none for the platform's.
        audio::WaveIn* wave_in = nullptr;
        audio::WaveOut* wave_out = nullptr;
        // Bytes free to the caller on the volume that holds a path.
        std::function<double(core::StringView path)> free_space;
        // The local date and time.
        std::function<os::DateTime()> now;
        audio::ActiveBuffer::MemoryStatusSource memory_status;
        // The names of the capture devices the platform offers.
        std::function<std::vector<core::String>()> input_devices;
        // Whether the program's window is in front; none: there is no window, so never.
        std::function<bool()> window_active;
        // Ends the program after the call it was started for; none: the quit message to this thread.
        std::function<void()> quit;
        // Starts the notifier service unless one runs, once "AutoRecord" is on.
        std::function<bool()> ensure_notifier;
        // Keeps the system from suspending (and the screen from blanking) for what runs, asked at every
        // tick and at every start and stop; nothing runs: nothing is held.
        std::function<void(platform::Wakefulness)> keep_awake;
    };

    Document();
    explicit Document(Services services);
    ~Document() override;

    // Starts a recording; true when it runs. With the direction CALL_NONE the phone is asked for the
    // talking call (its direction, and the name and number left empty). A call recording (call) needs a
    // talking call. A recording that cannot start for want of space, a writable folder or a microphone
    // says why (RECORDING_REFUSED).
    bool record(bool call, core::String name, core::String number, phone::CallKind direction);
    void pause(bool on);
    // Stops whatever runs; sends event 7 also when nothing ran.
    void stop();
    // position > 0 starts there, in the reader's units.
    bool play(core::StringView path, int64_t position);
    // Stops, and makes the file the current recording as play does, without playing it (what the list
    // does when a recording is chosen); false when no reader takes it.
    bool select(core::StringView path);
    // Whether a writer can add to the current recording's file and the microphone captures in its format,
    // so that continue_recording can.
    bool can_continue() const;
    bool continue_recording();
    // Records into a new file of the caller's choosing through the chain that record builds, with the
    // writer of `format_name` in the format of `info`: an MP3 file gets the tag of a new recording (info's
    // texts) first, an Opus or FLAC file the same texts as comments, a WAV file is made on the first
    // buffer. The list and the stored "Path" stay as they are, and no start event is sent. For tools.
    bool record_file(RecordInfo const& info, core::StringView format_name);
    // Deletes the current recording's file and its record.
    void remove();
    // Stops, rebuilds the list when the current file is gone, sends `code` with its `argument`.
    void fail(int32_t code, int32_t argument = 0);
    // A command line: "call..." records a call, "record..." starts or pauses a recording.
    void on_command(core::StringView command);
    // Tells the listeners again that the recording in progress started (event 4 with its record's index),
    // for a screen built after it started; nothing when none runs.
    void resend_recording_started();
    // The current file lies on a card whose store is not there.
    bool card_problem();
    void rescan();
    // Gives the current recording a new title: its tag, its file name, its record.
    void rename(core::StringView title);
    // Moves the files of the records at `indices` to the trash (deletes them where no trash can be made)
    // and takes each record whose file went off the list, without an event (the list screen rebuilds
    // itself); a file that can be neither trashed nor deleted stays listed. Answers the records that went
    // to the trash, for an undo.
    std::vector<TrashedRecord> delete_records(std::vector<int32_t> const& indices);
    // Every one of the files would go to a trash on a delete (none would be deleted for good).
    bool can_trash(std::vector<core::String> const& paths) const;
    // Puts trashed records back: each file at its path and its record at its place in the list (event 1).
    // A file whose path is taken by now stays in the trash: answers those.
    std::vector<TrashedRecord> restore_records(std::vector<TrashedRecord> const& records);
    // Throws the recording in progress (or the current one) away: stops, moves its file to the trash (or
    // deletes it where there is none) and takes its record off the list with event 2. False when the
    // file is still there.
    bool discard_current();
    // Whether the file has gone from under the list (deleted elsewhere, its card taken out); its record,
    // when listed, is then taken off with event 2.
    bool drop_if_gone(core::StringView path);
    // The record's file was moved to `path`: the record (and the current recording, when it is that
    // file) takes the new path, and event 3 tells the listeners.
    void move_record(size_t index, core::StringView path);
    // Whether moving the records at `indices` to the card would move something: there is a card, and one
    // of them lies in main memory.
    bool can_move_to_card(std::vector<int32_t> const& indices) const;
    // Moves the records at `indices` that lie in main memory, in that order, into the card's store folder,
    // each under a name not taken there. The first file that cannot be moved ends the move: false.
    bool move_to_card(std::vector<int32_t> const& indices);
    // Hands the current recording to the mail program as an attachment; a mail program that cannot be
    // started, or fails at once, is told as SEND_FAILED.
    void send_current();

    void add_listener(DocumentListener* listener);
    void remove_listener(DocumentListener* listener);
    // What a new recording is named (its title) from its start: the screens give it the user's language;
    // without one it is the platform's long date and time.
    using TitleMaker = std::function<core::String(os::DateTime const&)>;
    void set_title_maker(TitleMaker maker) { title_maker_ = std::move(maker); }

    void load_first_things();
    void load_secondary_things();
    void save_settings();
    void set_boost(core::StringView name);
    // The call notification is changed first; the setting follows only when that succeeded.
    void set_auto_record(bool on);
    void set_format(core::StringView name) { settings_.format = core::String(name); }
    void set_volume(double volume);
    void set_vas_level(double level);
    void set_speaker(bool on) { settings_.speaker = on; }
    // The capture device of the next recordings, by name; empty for the default.
    void set_input_device(core::StringView name) { settings_.input_device = core::String(name); }
    std::vector<core::String> input_devices() const { return services_.input_devices(); }
    void set_started_for_call(bool on) { started_for_call_ = on; }

    // CallListener: with "AutoRecord" on, a talking call is recorded; its end stops a call recording and
    // ends a program that was started only for the call and is not in front.
    void on_call_start(core::StringView name, core::StringView number, phone::CallKind kind) override;
    void on_call_stop() override;
    // The phone's call and speaker states as the screens see them follow every change, also while idle.
    void on_phone_changed() override;
    // The speakerphone and the contacts (the recording screen's speaker buttons, the contact messages).
    phone::PhoneControl& phone_control() { return phone_; }

    // ScanListener: a file that the folder scan found.
    void on_file(core::String const& path) override;
    void on_finished() override;
    // A finished recording's entry takes its file's size and length (its row shows them when the
    // recording's STOPPED arrives).
    void refresh_entry(core::StringView path);

    Settings const& settings() const { return settings_; }
    RecordInfo const& current() const { return current_; }
    RecordList const& records() const { return records_; }
    // The peaks of the recording the playback screen shows.
    WaveformPeaks& waveform_peaks() { return peaks_; }
    std::vector<StoreFolder> store_folders() const { return get_store_folders(); }
    bool is_recording() const { return writer_ != nullptr; }
    bool is_playing() const { return reader_ != nullptr; }
    bool is_paused() const { return paused_; }
    bool is_call_recording() const { return call_recording_; }
    bool started_for_call() const { return started_for_call_; }
    bool in_call() const { return in_call_; }
    bool speaker_on() const { return speaker_on_; }
    bool is_scanning() const { return scanner_.is_scanning(); }
    // Seconds that reached the recording since it started or was continued.
    double recorded_seconds();
    // Coded bytes the writer has put into the file.
    uint32_t recorded_bytes();
    // What the file will hold once the buffer has drained: the bytes written and the audio still queued
    // at the format's compression ratio; 0 without a recording.
    double recording_size();
    // The level of what is recorded or played (the louder channel), 0.0 to 1.0.
    double level();
    // Whether the writer of the last recording that stop ended had taken everything that reached it.
    bool last_recording_written() const { return last_recording_written_; }
    // The playback's reader, or none.
    audio::FileReader* reader() { return reader_.get(); }
    // Seconds the current file holds: the playback's length, else what a reader of the file tells; 0
    // when no reader takes it.
    double current_duration();
    // Where the playback is, in seconds, as far as it has been heard; 0 without one.
    double play_position();
    // Moves the playback to `fraction` (0 to 1) of its length, heard at once; false, changing nothing,
    // without one.
    bool seek(double fraction);
    // Moves the playback by `seconds` (back when negative) from where it is heard, paused too: before the
    // start it goes to the start; at or past the end it ends as the end of the file does (stopped, event
    // 7). False, changing nothing, without a playback.
    bool skip(double seconds);
    // Bytes free, as the services tell, on the volume of the current recording's folder.
    double free_bytes_for_current();

private:
    void on_timer(core::Timer& timer) override;
    // What the machine is kept awake for now: the system while a recording or a playback runs, and the
    // screen too while a playback runs in a window someone can see.
    platform::Wakefulness wakefulness();
    void keep_awake() { services_.keep_awake(wakefulness()); }
    // After a start or a stop: the machine kept awake for what runs now, and the tick running only while
    // a recording (paused too) or a playback does.
    void follow_activity();
    void tick_playback();
    void tick_recording();
    void tick_phone();
    void send(int32_t code, int32_t argument = 0);
    void play_sound(core::StringView path);
    enum class FileStart { CONTINUE, CREATE };
    // The writer, the capture and the links for current's path and format; the start beep; the capture
    // started. A refusal leaves the chain built: the caller stops.
    std::optional<RecordRefusal> start_chain(
        core::StringView format_name, FileStart start = FileStart::CONTINUE, audio::RecordingTags const& tags = {});
    // Why nothing could be written into `folder`: no space, or no right to.
    RecordRefusal storage_refusal(core::StringView folder);
    // Tells the listeners why a recording did not start; false, for the caller to return.
    bool refuse(RecordRefusal why);
    void set_gate(bool open);
    // Hands the stored capture device to the platform; one that has gone gives way to the default.
    void choose_input_device();
    // The texts of a new recording's tag: TPE1, TIT2, TALB, TCON, and the date.
    static audio::RecordingTags new_tags(
        RecordInfo const& info, os::DateTime const& now, std::vector<uint8_t> const& picture);
    // An MP3 file's ID3 tag, written into a new file: the other formats' writers put the texts into the
    // files they make.
    bool write_new_tag(audio::RecordingTags const& tags, core::StringView path, os::DateTime const& now);
    // Stops nothing: current becomes the file's record information, with the texts of its tag and the
    // format of the reader that takes it; that reader, or none.
    std::unique_ptr<audio::FileReader> describe(core::StringView path);
    // The steps of record: where a new recording goes, the folder made, its record information.
    core::String new_recording_store();
    bool make_folder(core::StringView folder);
    RecordInfo new_record_info(
        core::StringView prefix, core::StringView album, core::StringView folder, os::DateTime const& now) const;
    std::vector<uint8_t> caller_picture(core::StringView number);
    // The recording that has just started becomes the stored "Path" and the list's newest record.
    void list_new_recording(os::DateTime const& now);

    Services services_;
    std::vector<DocumentListener*> listeners_;
    Settings settings_;
    RecordList records_;
    DurationCache durations_;
    WaveformPeaks peaks_;
    RecordInfo current_;

    audio::PlayerPCM player_;
    audio::ActiveBuffer buffer_;
    audio::BoostFilter boost_;
    audio::LevelMeter meter_;
    audio::DurationCounter duration_;
    std::unique_ptr<audio::FileReader> reader_;
    std::unique_ptr<audio::FileWriter> writer_;
    std::unique_ptr<audio::RecorderPCM> recorder_;

    bool paused_ = false;
    bool gate_open_ = false; // the link from the meter to the duration counter, made while recording
    bool call_recording_ = false;
    bool started_for_call_ = false;
    bool in_call_ = false;
    bool speaker_on_ = false;
    bool last_recording_written_ = true;
    bool failing_ = false; // inside fail(): its own event tells of the failure
    bool settings_unsaved_told_ = false;

    phone::PhoneControl phone_;
    os::FolderScanner scanner_;
    // The mail program a recording is sent with.
    os::Launcher mail_;
    core::Timer timer_;
    phone::CallMonitorImpl call_monitor_;
    TitleMaker title_maker_;
};

} // namespace document
