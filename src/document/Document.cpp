#include "Document.h"

#include <algorithm>
#include <audio/formats/BufferedStreams.h>
#include <audio/formats/Id3Tag.h>
#include <audio/formats/StreamComments.h>
#include <core/Log.h>
#include <core/Stopwatch.h>
#include <core/Thread.h>
#include <os/File.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <os/Paths.h>
#include <os/Registry.h>
#include <phone/AppNotification.h>
#include <phone/PhoneState.h>
#include <platform/messages.h>
#include <platform/ticks.h>
#include <platform/wave/wave.h>

namespace document {

using core::String;
using core::StringView;

DocumentListener::~DocumentListener() = default;

namespace {

constexpr char16_t START_BEEP[] = u"%app_path%/Voicbeep.wav";
constexpr char16_t END_BEEP[] = u"%app_path%/RecEnd.wav";
constexpr char16_t MP3_FORMAT[] = u"mp3";

Document::Services with_defaults(Document::Services services)
{
    if (!services.play_sound)
        services.play_sound = [](StringView path) { platform::play_sound_file(String(path)); };
    if (!services.input_devices)
        services.input_devices = [] {
            std::vector<String> names;
            for (auto const& name : platform::wave_input_devices())
                names.push_back(core::from_utf8(name));
            return names;
        };
    if (!services.create_writer)
        services.create_writer = [](StringView path, StringView format, int32_t channels, int32_t bits, int32_t rate,
                                     int32_t bit_rate, bool append, audio::RecordingTags const& tags) {
            return audio::create_writer(path, format, channels, bits, rate, bit_rate, append, tags);
        };
    if (!services.free_space)
        services.free_space = [](StringView path) { return os::free_space(path); };
    if (!services.now)
        services.now = [] { return os::DateTime::now(); };
    if (!services.memory_status)
        services.memory_status = platform::global_memory_status;
    if (!services.wave_in)
        services.wave_in = &audio::WaveIn::platform_device();
    if (!services.wave_out)
        services.wave_out = &audio::WaveOut::platform_device();
    if (!services.window_active)
        services.window_active = [] { return false; };
    if (!services.quit)
        services.quit = [] { platform::post_quit_message(0); };
    if (!services.ensure_notifier)
        services.ensure_notifier = phone::ensure_notifier;
    if (!services.keep_awake) {
        // Connects to a bus only once something runs.
        auto inhibitor = std::make_shared<platform::PowerInhibitor>(
            [](std::string const& line) { core::log() << core::from_utf8(line) << u"\n"; });
        services.keep_awake = [inhibitor](platform::Wakefulness need) { inhibitor->hold(need); };
    }
    return services;
}

String two_digits(int value)
{
    String text = core::decimal(value % 100);
    return text.size() < 2 ? u"0" + text : text;
}

} // namespace

core::StringView failure_text_key(DocumentEvent const& event)
{
    switch (event.code) {
    case DocumentEvent::CARD_PROBLEM:
        return u"Sorry_card_problem";
    case DocumentEvent::NO_MEMORY:
        return u"Sorry_no_memory";
    case DocumentEvent::TOO_SLOW_DEVICE:
        return u"Sorry_too_slow_device";
    case DocumentEvent::RECORDING_REFUSED:
        switch (static_cast<RecordRefusal>(event.argument)) {
        case RecordRefusal::DISK_FULL:
            return u"Sorry_disk_full";
        case RecordRefusal::NOT_WRITABLE:
            return u"Sorry_not_writable";
        case RecordRefusal::NO_MICROPHONE:
            return u"Sorry_no_microphone";
        }
        return u"Sorry_no_microphone";
    case DocumentEvent::SETTINGS_NOT_SAVED:
        return u"Sorry_settings_not_saved";
    case DocumentEvent::SEND_FAILED:
        return u"Sorry_cannot_send";
    case DocumentEvent::PLAYBACK_REFUSED:
        return static_cast<PlaybackRefusal>(event.argument) == PlaybackRefusal::FORMAT ? u"Sorry_cannot_play"
                                                                                       : u"Sorry_no_speaker";
    default:
        return {};
    }
}

Document::Document()
    : Document(Services {})
{
}

Document::Document(Services services)
    : Singleton(this)
    , services_(with_defaults(std::move(services)))
    , player_(*services_.wave_out)
    , buffer_(services_.memory_status)
    , scanner_(this)
    , mail_([this] { send(DocumentEvent::SEND_FAILED); })
    , timer_(this)
    , call_monitor_(this)
{
    connect(boost_, &meter_);
    connect(duration_, &buffer_);
    load_first_things();
}

Document::~Document()
{
    stop();
    timer_.cancel();
    connect(buffer_, nullptr);
    connect(meter_, nullptr);
    connect(duration_, nullptr);
    connect(boost_, nullptr);
    durations_.save(false);
}

void Document::add_listener(DocumentListener* listener)
{
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void Document::remove_listener(DocumentListener* listener)
{
    std::erase(listeners_, listener);
}

void Document::send(int32_t code, int32_t argument)
{
    DocumentEvent const event { code, argument };
    auto const listeners = listeners_;
    for (auto* listener : listeners)
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end())
            listener->on_document_event(event);
}

void Document::play_sound(StringView path)
{
    services_.play_sound(os::expand_path(path));
}

// Settings

void Document::load_first_things()
{
    settings_.load_first();
    boost_.set_level(boost_level(settings_.boost));
    meter_.set_threshold(settings_.vas_level);
}

void Document::load_secondary_things()
{
    bool const no_current = current_.path.empty();
    bool const auto_record = settings_.auto_record;
    settings_.load_secondary(no_current);
    player_.set_volume(settings_.volume);
    // The platform's registration is renewed with the stored choice at every start.
    bool const stored = settings_.auto_record;
    settings_.auto_record = auto_record;
    set_auto_record(stored);
    if (no_current && !settings_.path.empty()) {
        current_.path = settings_.path;
        on_file(current_.path);
    }
    for (auto const& folder : get_store_folders())
        scanner_.start(folder.path, true);
}

void Document::save_settings()
{
    settings_.save();
    // A store that is only busy takes the changes later; one that cannot be written is said once.
    auto const state = os::reg_store_state();
    if (state == os::RegStoreState::READ_ONLY || state == os::RegStoreState::UNAVAILABLE) {
        core::log() << u"save_settings: the registry store cannot be written: " << os::reg_store_path() << u"\n";
        if (!settings_unsaved_told_)
            send(DocumentEvent::SETTINGS_NOT_SAVED);
        settings_unsaved_told_ = true;
    }
}

void Document::set_boost(StringView name)
{
    settings_.boost = String(name);
    boost_.set_level(boost_level(name));
}

void Document::set_auto_record(bool on)
{
    if (on) {
        if (phone::set_app_notification(phone::CALL_NOTIFICATION, os::program_command(u"call"))) {
            settings_.auto_record = true;
            services_.ensure_notifier();
        }
    } else if (phone::stop_app_notification(phone::CALL_NOTIFICATION)) {
        settings_.auto_record = false;
    }
}

void Document::set_volume(double volume)
{
    player_.set_volume(volume);
    settings_.volume = player_.volume();
}

void Document::set_vas_level(double level)
{
    settings_.vas_level = level;
    meter_.set_threshold(level);
}

// Recording

audio::RecordingTags Document::new_tags(
    RecordInfo const& info, os::DateTime const& now, std::vector<uint8_t> const& picture)
{
    audio::RecordingTags tags;
    tags.artist = info.artist;
    tags.title = info.title;
    tags.album = info.album;
    tags.genre = APP_NAME;
    tags.date = core::decimal(now.year) + u"-" + two_digits(now.month) + u"-" + two_digits(now.day);
    tags.picture = picture;
    return tags;
}

bool Document::write_new_tag(audio::RecordingTags const& tags, StringView path, os::DateTime const& now)
{
    core::Stopwatch const watch;
    audio::Id3Tag tag;
    tag.set_text("TPE1", tags.artist);
    tag.set_text("TIT2", tags.title);
    tag.set_text("TALB", tags.album);
    tag.set_text("TCON", tags.genre);
    tag.set_text("TYER", core::decimal(now.year));
    tag.set_text("TDAT", two_digits(now.day) + two_digits(now.month));
    if (!tags.picture.empty())
        tag.set_picture(tags.picture.data(), tags.picture.size());
    bool written = false;
    {
        os::File file(path, os::FileMode::Write);
        if (!file.is_open())
            return false;
        core::log() << u"Document::record file created:" << path << u"\n";
        audio::BufferedOutStream out(file, TAG_OUTPUT_BUFFER);
        written = tag.write(out) && out.flush();
    }
    core::log() << u"id3:" << static_cast<int64_t>(watch.elapsed() * 1000) << u"\n";
    return written;
}

bool Document::record(bool call, String name, String number, phone::CallKind direction)
{
    if (writer_)
        return false;
    if (direction == phone::CALL_NONE)
        direction = phone::get_call_info(name, number);
    if (direction == phone::CALL_NONE && call)
        return false;
    String const prefix = !name.empty() ? name : !number.empty() ? number : String(RECORD_ALBUM);
    String const sub_folder = direction == phone::CALL_INCOMING ? INCOMING_ALBUM
        : direction == phone::CALL_OUTGOING                     ? OUTGOING_ALBUM
                                                                : u"";
    core::log() << u"record prefix:" << prefix << u" subfolder:" << sub_folder << u"\n";

    String const store = new_recording_store();
    String const folder = sub_folder.empty() ? store : os::join(store, sub_folder);
    if (!make_folder(folder))
        return refuse(storage_refusal(folder));
    core::log() << u"record folder:" << folder << u" store_path:" << store << u"\n";

    os::DateTime const now = services_.now();
    RecordInfo const info = new_record_info(prefix, sub_folder.empty() ? RECORD_ALBUM : sub_folder, folder, now);
    audio::RecordingTags const tags = new_tags(info, now, caller_picture(number));
    bool const mp3 = info.extension == MP3_FORMAT;
    if (mp3 && !write_new_tag(tags, info.path, now)) {
        // Nothing of a recording that cannot start stays behind.
        os::delete_file(info.path);
        return refuse(storage_refusal(folder));
    }
    stop(); // a playback
    current_ = info;
    call_recording_ = call;
    if (auto const refusal = start_chain(info.extension, mp3 ? FileStart::CONTINUE : FileStart::CREATE, tags)) {
        stop();
        core::log() << u"os::delete_file 2\n";
        os::delete_file(current_.path);
        return refuse(*refusal);
    }
    if (!mp3)
        core::log() << u"Document::record file created:" << info.path << u"\n";
    list_new_recording(now);
    follow_activity();
    return true;
}

String Document::new_recording_store()
{
    // New recordings go to the last card, unless its own volume is short of space.
    auto const stores = get_store_folders();
    if (services_.free_space(stores.back().path) < MIN_FREE_BYTES)
        return stores.front().path;
    return stores.back().path;
}

bool Document::make_folder(StringView folder)
{
    if (!os::FileInfo(folder).is_directory())
        os::create_directory(folder);
    return os::FileInfo(folder).is_directory();
}

RecordInfo Document::new_record_info(
    StringView prefix, StringView album, StringView folder, os::DateTime const& now) const
{
    RecordInfo info;
    info.artist = String(prefix);
    info.title = title_maker_ ? title_maker_(now) : os::date_text(now, true) + u" " + os::time_text(now);
    info.album = String(album);
    FormatPreset const preset = format_preset(settings_.format);
    info.extension = String(preset.writer);
    info.path = make_file_name(info.artist + u" " + info.title, folder, preset.extension);
    info.channels = preset.channels;
    info.sample_rate = preset.sample_rate;
    info.bits_per_sample = preset.bits_per_sample;
    info.bit_rate = preset.bit_rate;
    return info;
}

std::vector<uint8_t> Document::caller_picture(StringView number)
{
    std::vector<uint8_t> picture;
    if (phone::Contact contact; !number.empty() && phone_.find_contact_by_phone(number, contact))
        phone_.get_contact_picture(contact.oid, picture);
    return picture;
}

void Document::list_new_recording(os::DateTime const& now)
{
    settings_.path = current_.path;
    settings_.save_path(current_.path);
    RecordEntry entry { current_.path, current_.artist, current_.title, current_.album, {}, now };
    int32_t index = records_.insert(std::move(entry));
    if (index < 0)
        index = records_.find(current_.path);
    send(DocumentEvent::RECORDING_STARTED, std::max(index, 0));
}

bool Document::record_file(RecordInfo const& info, StringView format_name)
{
    if (writer_)
        return false;
    stop();
    bool const mp3 = format_name == MP3_FORMAT;
    os::DateTime const now = services_.now();
    audio::RecordingTags const tags = new_tags(info, now, {});
    if (mp3 && !write_new_tag(tags, info.path, now)) {
        os::delete_file(info.path);
        return refuse(storage_refusal(os::directory_part(info.path)));
    }
    current_ = info;
    current_.extension = String(format_name);
    if (auto const refusal = start_chain(format_name, mp3 ? FileStart::CONTINUE : FileStart::CREATE, tags)) {
        stop();
        os::delete_file(current_.path);
        return refuse(*refusal);
    }
    follow_activity();
    return true;
}

std::optional<RecordRefusal> Document::start_chain(
    StringView format_name, FileStart start, audio::RecordingTags const& tags)
{
    duration_.reset();
    // A new MP3 file already holds its tag: the writer continues it.
    writer_ = services_.create_writer(current_.path, format_name, current_.channels, current_.bits_per_sample,
        current_.sample_rate, current_.bit_rate, start == FileStart::CONTINUE, tags);
    if (!writer_ || !writer_->status().is_good())
        return storage_refusal(os::directory_part(current_.path));
    choose_input_device();
    recorder_ = std::make_unique<audio::RecorderPCM>(
        current_.channels, current_.sample_rate, current_.bits_per_sample, *services_.wave_in);
    // A file read as fast as the writer takes it waits for the writer instead of filling the memory.
    recorder_->set_room_wait([this](uint32_t milliseconds) { return buffer_.wait_for_room(milliseconds); });
    connect(*recorder_, &boost_);
    set_gate(true);
    connect(buffer_, &writer_->input());
    play_sound(START_BEEP);
    if (!recorder_->start())
        return RecordRefusal::NO_MICROPHONE;
    return std::nullopt;
}

RecordRefusal Document::storage_refusal(StringView folder)
{
    // The space is asked first: a full disk refuses new files too.
    if (services_.free_space(folder) < MIN_FREE_BYTES)
        return RecordRefusal::DISK_FULL;
    return RecordRefusal::NOT_WRITABLE;
}

bool Document::refuse(RecordRefusal why)
{
    core::log() << u"record refused:" << static_cast<int32_t>(why) << u"\n";
    send(DocumentEvent::RECORDING_REFUSED, static_cast<int32_t>(why));
    return false;
}

void Document::choose_input_device()
{
    String device = settings_.input_device;
    if (!device.empty()) {
        auto const offered = services_.input_devices();
        if (std::find(offered.begin(), offered.end(), device) == offered.end()) {
            core::log() << u"InputDevice gone: " << device << u", the default is used\n";
            device.clear();
        }
    }
    platform::set_wave_input_device(core::to_utf8(device));
}

void Document::set_gate(bool open)
{
    if (open == gate_open_)
        return;
    connect(meter_, open ? &duration_ : nullptr);
    gate_open_ = open;
}

bool Document::can_continue() const
{
    return !current_.path.empty() && audio::can_continue(current_.path, current_.extension)
        && audio::RecorderPCM::takes(current_.channels, current_.sample_rate, current_.bits_per_sample);
}

bool Document::continue_recording()
{
    if (!can_continue())
        return false;
    stop();
    if (auto const refusal = start_chain(current_.extension)) {
        stop();
        return refuse(*refusal);
    }
    settings_.path = current_.path;
    settings_.save_path(current_.path);
    follow_activity();
    send(DocumentEvent::RECORDING_CONTINUED);
    return true;
}

void Document::pause(bool on)
{
    paused_ = on;
    if (writer_ && !reader_)
        set_gate(!on);
    else if (reader_)
        on ? player_.pause() : player_.play();
    send(DocumentEvent::PAUSE_CHANGED);
}

void Document::stop()
{
    core::log() << u"Document::stop\n";
    bool const ended_recording = writer_ != nullptr;
    paused_ = false;
    call_recording_ = false;
    if (reader_) {
        player_.stop();
        connect(reader_->source(), nullptr);
        reader_.reset();
    }
    if (writer_) {
        if (recorder_) {
            // What the device holds goes down the chain before the capture is deleted.
            recorder_->finish();
            connect(*recorder_, nullptr);
            recorder_.reset();
        }
        // What the boost still held back for its next anchor.
        boost_.drain();
        play_sound(END_BEEP);
        while (buffer_.queued_count() != 0)
            core::sleep(DRAIN_STEP_SECONDS);
        last_recording_written_ = writer_->status().is_good() && buffer_.is_valid();
        boost_.reset();
        buffer_.reset();
        set_gate(false);
        connect(buffer_, nullptr);
        writer_.reset();
        if (settings_.speaker)
            phone_.set_speakerphone(false);
        refresh_entry(current_.path);
    }
    follow_activity();
    send(DocumentEvent::STOPPED);
    // A writer that failed after the last tick looked at it (a disk full just before Stop) says so as
    // one failing mid-recording does, unless a failure is already ending the recording.
    if (ended_recording && !last_recording_written_ && !failing_)
        send(DocumentEvent::NO_MEMORY);
}

void Document::refresh_entry(StringView path)
{
    int32_t const index = records_.find(path);
    if (index < 0)
        return;
    // The entry keeps the time the recording started; the file now says how big and how long it is.
    RecordEntry entry = records_[static_cast<size_t>(index)];
    RecordEntry const written = read_record_entry(path, &durations_);
    entry.size = written.size;
    entry.duration_ms = written.duration_ms;
    records_.replace(static_cast<size_t>(index), std::move(entry));
}

// Playback

bool Document::select(StringView path)
{
    stop();
    auto reader = describe(path);
    return reader != nullptr;
}

std::unique_ptr<audio::FileReader> Document::describe(StringView path)
{
    current_ = RecordInfo {};
    current_.path = String(path);
    auto texts = read_tag_texts(path);
    current_.artist = std::move(texts.artist);
    current_.title = title_or_name(texts.title, path);
    current_.album = std::move(texts.album);
    auto reader = audio::create_reader(path);
    if (!reader)
        return nullptr;
    audio::ReaderInfo& info = reader->info();
    current_.extension = String(reader->format_name());
    current_.channels = info.channels();
    current_.sample_rate = info.samples_per_second();
    current_.bits_per_sample = info.bits_per_sample();
    current_.bit_rate = info.bit_rate();
    current_.length = info.length();
    return reader;
}

double Document::current_duration()
{
    if (reader_)
        return reader_->info().duration();
    auto const reader = audio::create_reader(current_.path);
    return reader ? reader->info().duration() : 0;
}

double Document::play_position()
{
    if (!reader_)
        return 0;
    // The reader is ahead of the listener by what the player pulled and has not played yet; a pull in
    // between the two readings would count twice.
    core::Lock guard(player_.lock());
    return std::max(0.0, reader_->info().position_seconds() - player_.queued_seconds());
}

bool Document::seek(double fraction)
{
    if (!reader_)
        return false;
    audio::ReaderInfo& info = reader_->info();
    player_.seek([&] { info.seek(static_cast<int64_t>(fraction * static_cast<double>(info.length()))); });
    return true;
}

bool Document::skip(double seconds)
{
    if (!reader_)
        return false;
    double const total = current_duration();
    double const target = std::max(0.0, play_position() + seconds);
    if (target >= total) {
        core::log() << u"Document::skip to the end\n";
        stop();
        return true;
    }
    return seek(target / total);
}

bool Document::play(StringView path, int64_t position)
{
    stop();
    auto reader = describe(path);
    if (!reader) {
        stop();
        return false;
    }
    reader_ = std::move(reader);
    connect(reader_->source(), &player_);
    if (position > 0)
        reader_->info().seek(position);
    if (player_.play()) {
        follow_activity();
        return true;
    }
    stop();
    return false;
}

// The list

void Document::fail(int32_t code, int32_t argument)
{
    failing_ = true;
    stop();
    failing_ = false;
    if (!os::FileInfo(current_.path).exists()) {
        rescan();
    }
    send(code, argument);
}

namespace {

// Every audio file below a folder, sub-folders included, into the list.
class RescanVisitor final : public os::DirectoryVisitor {
public:
    RescanVisitor(RecordList& records, DurationCache& durations)
        : records_(records)
        , durations_(durations)
    {
    }
    bool on_file(String const& path) override
    {
        if (!is_audio_file(path))
            return true;
        RecordEntry entry = read_record_entry(path, &durations_);
        if (!entry.size.empty())
            records_.insert(std::move(entry));
        return true;
    }
    // The walk descends itself, so that it can pass over a folder it has been in already.
    bool on_directory(String const&) override { return true; }

private:
    RecordList& records_;
    DurationCache& durations_;
};

} // namespace

void Document::rescan()
{
    records_.clear();
    RescanVisitor visitor(records_, durations_);
    for (auto const& folder : get_store_folders())
        os::walk_directory(visitor, folder.path, u"*", u"*", true);
    durations_.save(true);
    send(DocumentEvent::LIST_REBUILT);
}

void Document::on_file(String const& path)
{
    if (!is_audio_file(path))
        return;
    RecordEntry entry = read_record_entry(path, &durations_);
    if (entry.size.empty())
        return;
    int32_t const index = records_.insert(std::move(entry));
    if (index >= 0)
        send(DocumentEvent::RECORD_FOUND, index);
}

void Document::on_finished()
{
    durations_.save(true);
}

void Document::rename(StringView title)
{
    if (title == current_.title)
        return;
    String clean;
    for (char16_t c : title) {
        if (c == 13 || c == 27 || c == 0x1B0A)
            continue;
        clean += c == 10 ? u' ' : c;
    }
    {
        os::File file(current_.path, os::FileMode::ReadWrite);
        audio::Id3Tag tag;
        uint32_t size = 0;
        if (file.is_open()) {
            audio::BufferedInStream in(file, RENAME_BUFFER);
            size = tag.read(in);
        }
        if (size != 0) {
            tag.set_text("TIT2", clean);
            file.seek(0);
            audio::BufferedOutStream out(file, RENAME_BUFFER);
            if (!tag.write(out, size) || !out.flush())
                core::log() << u"Document::rename tag not written:" << current_.path << u"\n";
        } else if (audio::VorbisComment comments; file.is_open() && audio::read_stream_comments(file, comments)
                   && !audio::retitle_stream(file, clean)) {
            core::log() << u"Document::rename comments not written:" << current_.path << u"\n";
        }
    }
    // A file without a tag has no artist: its name is the title alone, and that name is what shows the
    // title again after a restart. With neither, the file keeps its name.
    String const base
        = current_.artist.empty() || clean.empty() ? current_.artist + clean : current_.artist + u" " + clean;
    String new_path = current_.path;
    if (!base.empty()) {
        new_path = make_file_name(base, os::directory_part(current_.path), os::extension(current_.path));
        if (!os::FileInfo(current_.path).move_to(new_path)) {
            core::log() << u"Document::rename cannot move:" << current_.path << u"\n";
            return;
        }
    }
    int32_t const index = records_.find(current_.path);
    current_.path = new_path;
    current_.title = title_or_name(clean, new_path);
    settings_.path = new_path;
    settings_.save_path(new_path);
    if (index >= 0) {
        RecordEntry entry = records_[static_cast<size_t>(index)];
        entry.path = new_path;
        entry.title = current_.title;
        records_.replace(static_cast<size_t>(index), std::move(entry));
        send(DocumentEvent::RECORD_CHANGED, index);
    }
}

// Commands and checks

void Document::resend_recording_started()
{
    if (!writer_)
        return;
    send(DocumentEvent::RECORDING_STARTED, std::max(records_.find(current_.path), 0));
}

void Document::on_command(StringView command)
{
    if (command.substr(0, 4) == u"call") {
        record(true, {}, {}, phone::CALL_NONE);
        if (writer_ && settings_.speaker)
            phone_.set_speakerphone(true);
    } else if (command.substr(0, 6) == u"record") {
        if (!writer_)
            record(false, {}, {}, phone::CALL_NONE);
        else
            pause(!paused_);
    }
}

bool Document::card_problem()
{
    String const path = os::expand_path(current_.path);
    if (is_in_main_memory(path))
        return false;
    String const folder = os::directory_part(path);
    return os::total_space(folder) == 0 || !os::FileInfo(folder).is_directory();
}

double Document::recorded_seconds()
{
    return duration_.duration();
}

uint32_t Document::recorded_bytes()
{
    return writer_ ? writer_->status().bytes_written() : 0;
}

double Document::recording_size()
{
    if (!writer_)
        return 0;
    double const pcm_rate = static_cast<double>(current_.sample_rate) * current_.channels * current_.bits_per_sample;
    double const coded_rate = writer_->rate_info().bit_rate();
    double const queued = static_cast<double>(buffer_.queued_bytes());
    double const ratio = pcm_rate > 0 && coded_rate > 0 ? coded_rate / pcm_rate : 1.0;
    return writer_->status().bytes_written() + queued * ratio;
}

bool Document::drop_if_gone(StringView path)
{
    if (os::FileInfo(path).exists())
        return false;
    core::log() << u"Document: gone " << path << u"\n";
    if (int32_t const index = records_.find(path); index >= 0) {
        records_.remove(static_cast<size_t>(index));
        send(DocumentEvent::RECORD_REMOVED, index);
    }
    return true;
}

bool Document::can_move_to_card(std::vector<int32_t> const& indices) const
{
    if (get_store_folders().size() < 2)
        return false;
    for (int32_t index : indices)
        if (static_cast<size_t>(index) < records_.size()
            && is_in_main_memory(records_[static_cast<size_t>(index)].path))
            return true;
    return false;
}

bool Document::move_to_card(std::vector<int32_t> const& indices)
{
    auto const stores = get_store_folders();
    if (stores.size() < 2)
        return true;
    String const target = stores.back().path;
    os::create_directory(target);
    for (int32_t index : indices) {
        if (static_cast<size_t>(index) >= records_.size())
            continue;
        String const path = records_[static_cast<size_t>(index)].path;
        if (!is_in_main_memory(path))
            continue;
        String const destination = make_file_name(os::base_name(path), target, os::extension(path));
        if (!os::FileInfo(path).move_to(destination)) {
            core::log() << u"Document::move_to_card cannot move:" << path << u"\n";
            return false;
        }
        move_record(static_cast<size_t>(index), destination);
    }
    return true;
}

void Document::send_current()
{
    mail_.start(u"xdg-email", u"--attach " + os::quote_parameter(current_.path));
}

void Document::move_record(size_t index, StringView path)
{
    if (index >= records_.size())
        return;
    RecordEntry entry = records_[index];
    if (current_.path == entry.path)
        current_.path = String(path);
    entry.path = String(path);
    records_.replace(index, std::move(entry));
    send(DocumentEvent::RECORD_CHANGED, static_cast<int32_t>(index));
}

double Document::free_bytes_for_current()
{
    return services_.free_space(os::directory_part(os::expand_path(current_.path)));
}

double Document::level()
{
    if (reader_)
        return std::max(player_.level(0), player_.level(1));
    return writer_ ? meter_.level() : 0.0;
}

void Document::on_timer(core::Timer& timer)
{
    if (&timer != &timer_ || (!reader_ && !writer_))
        return;
    // Re-armed first; a stop in this tick cancels it, and the tick sleeps until something runs again.
    timer_.start(TICK_SECONDS);
    if (reader_)
        tick_playback();
    else if (writer_)
        tick_recording();
    // The system's idle suspend is held off for as long as something runs, and the screen's blanking
    // while a playback is watched, which changes when the window is hidden or shown.
    keep_awake();
    tick_phone();
}

void Document::follow_activity()
{
    keep_awake();
    if (!reader_ && !writer_) {
        timer_.cancel();
    } else if (!timer_.is_running()) {
        timer_.start(TICK_SECONDS);
    }
}

platform::Wakefulness Document::wakefulness()
{
    using Reason = platform::Wakefulness::Reason;
    if (reader_)
        return { Reason::PLAYING, services_.window_active() };
    if (writer_)
        return { Reason::RECORDING, false };
    return {};
}

void Document::tick_playback()
{
    if (card_problem()) {
        core::log() << u"card_problem\n";
        fail(DocumentEvent::CARD_PROBLEM);
    } else if (!reader_->info().is_valid()) {
        core::log() << u"reader no valid\n";
        stop();
    } else if (player_.is_finished()) {
        // A speaker that would not open ends the playback at once: say so rather than seem to have played.
        auto const refusal = player_.refusal();
        if (refusal == audio::OutputRefusal::NONE) {
            core::log() << u"player finished\n";
            stop();
        } else {
            bool const format = refusal == audio::OutputRefusal::FORMAT;
            core::log() << (format ? u"player: format refused\n" : u"player: no speaker\n");
            fail(DocumentEvent::PLAYBACK_REFUSED,
                static_cast<int32_t>(format ? PlaybackRefusal::FORMAT : PlaybackRefusal::NO_SPEAKER));
        }
    }
}

void Document::tick_recording()
{
    // A removed card's folder does not make writes fail on Linux (they go to an unlinked file that is
    // lost at close), so the card is looked at while the writer still reports good.
    bool const card_gone = card_problem();
    if (card_gone || !writer_->status().is_good()) {
        if (card_gone) {
            core::log() << u"card_problem\n";
            fail(DocumentEvent::CARD_PROBLEM);
        } else {
            core::log() << u"writer no valid active_buffer:" << buffer_.queued_bytes() << u"\n";
            fail(DocumentEvent::NO_MEMORY);
        }
        return;
    }
    if (!buffer_.is_valid()) {
        core::log() << u"active_buffer no valid\n";
        fail(DocumentEvent::TOO_SLOW_DEVICE);
        return;
    }
    // A microphone that went away (unplugged, its source unloaded, the sound server gone) ends the capture:
    // what it gave is written, and the recording ends as one whose device failed.
    if (recorder_ && !recorder_->is_running()) {
        core::log() << u"recorder no valid\n";
        fail(DocumentEvent::TOO_SLOW_DEVICE);
        return;
    }
    if (paused_)
        return;
    if (meter_.is_silent()) {
        core::log() << u"record_levels silence\n";
        set_gate(false);
    } else {
        set_gate(true);
    }
}

void Document::on_call_start(StringView name, StringView number, phone::CallKind kind)
{
    core::log() << u"on_call_start " << name << u" " << number << u" " << kind << u" "
                << static_cast<int64_t>(platform::tick_count()) << u"\n";
    if (settings_.auto_record)
        record(true, String(name), String(number), kind);
    if (writer_ && settings_.speaker)
        phone_.set_speakerphone(true);
}

void Document::on_call_stop()
{
    core::log() << u"on_call_stop\n";
    if (call_recording_)
        stop();
    if (started_for_call_) {
        // A program started only for the call ends with it, unless the user brought it to the front.
        if (!services_.window_active())
            services_.quit();
        started_for_call_ = false;
    }
}

void Document::on_phone_changed()
{
    tick_phone();
}

void Document::tick_phone()
{
    if (phone::is_talking() != in_call_) {
        in_call_ = !in_call_;
        send(DocumentEvent::PHONE_STATE_CHANGED);
    }
    if (phone::is_speaker_on() != speaker_on_) {
        speaker_on_ = !speaker_on_;
        send(DocumentEvent::PHONE_STATE_CHANGED);
    }
}

} // namespace document
