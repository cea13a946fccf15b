#include "key_service.h"

#include "registry_values.h"
#include <platform/text.h>

#include <algorithm>
#include <cstdio>
#include <linux/input-event-codes.h>

namespace platform {

namespace {

constexpr char16_t TABLE[] = u"SOFTWARE\\Microsoft\\Shell\\Keys";
constexpr auto KEYS_ROOT = RegistryRoot::LOCAL_MACHINE;

constexpr AssignableButton BUTTONS[] = {
    { KEY_VOLUMEDOWN, u"VolumeDownHold", u"Hold Volume Down", u"key_volume", true },
    { KEY_VOLUMEUP, u"VolumeUpHold", u"Hold Volume Up", u"key_volume", true },
    { KEY_PROG1, u"Prog1", u"Program button 1", u"key_program", false },
    { KEY_PROG2, u"Prog2", u"Program button 2", u"key_program", false },
    { KEY_F13, u"F13", u"F13", u"key_function", false },
    { KEY_F14, u"F14", u"F14", u"key_function", false },
    { KEY_F15, u"F15", u"F15", u"key_function", false },
    { KEY_F16, u"F16", u"F16", u"key_function", false },
    { KEY_F17, u"F17", u"F17", u"key_function", false },
    { KEY_F18, u"F18", u"F18", u"key_function", false },
    { KEY_F19, u"F19", u"F19", u"key_function", false },
    { KEY_F20, u"F20", u"F20", u"key_function", false },
    { KEY_F21, u"F21", u"F21", u"key_function", false },
    { KEY_F22, u"F22", u"F22", u"key_function", false },
    { KEY_F23, u"F23", u"F23", u"key_function", false },
    { KEY_F24, u"F24", u"F24", u"key_function", false },
    { KEY_PROG3, u"Prog3", u"Program button 3", u"key_program", false },
    { KEY_PROG4, u"Prog4", u"Program button 4", u"key_program", false },
    { KEY_CAMERA, u"Camera", u"Camera button", u"key_camera", false },
    { KEY_RECORD, u"Record", u"Record button", u"key_record", false },
    { KEY_VOICECOMMAND, u"VoiceCommand", u"Voice command button", u"key_voice", false },
    { KEY_ASSISTANT, u"Assistant", u"Assistant button", u"key_assistant", false },
};

bool has(InputDevice const& device, int code)
{
    return std::find(device.keys.begin(), device.keys.end(), code) != device.keys.end();
}

std::u16string key_of(AssignableButton const& button)
{
    return std::u16string(TABLE) + u"\\" + button.sub_key;
}

} // namespace

std::vector<AssignableButton> assignable_buttons(InputDevice const& device)
{
    // A phone's own buttons: volume and power, and no letters. A keyboard's volume keys stay its own.
    bool const phone_buttons = has(device, KEY_POWER) && !has(device, KEY_A);
    std::vector<AssignableButton> buttons;
    for (auto const& b : BUTTONS)
        if (has(device, b.code) && (!b.long_press || phone_buttons))
            buttons.push_back(b);
    std::sort(buttons.begin(), buttons.end(), [](auto const& a, auto const& b) { return a.code < b.code; });
    return buttons;
}

KeyService::KeyService(RegistryStore& store, ProcessStarter& starter)
    : store_(store)
    , starter_(starter)
{
}

void KeyService::publish(AssignableButton const& button)
{
    auto const key = key_of(button);
    // Only what differs is written: every write wakes each reader of the store.
    if (read_text(store_, KEYS_ROOT, key, u"Name") != std::u16string(button.name))
        write_text(store_, KEYS_ROOT, key, u"Name", button.name);
    if (*button.icon && read_text(store_, KEYS_ROOT, key, u"Icon") != std::u16string(button.icon))
        write_text(store_, KEYS_ROOT, key, u"Icon", button.icon);
    store_.flush();
}

void KeyService::withdraw(AssignableButton const& button)
{
    for (auto const& [id, buttons] : devices_)
        for (auto const& b : buttons)
            if (b.code == button.code && b.long_press == button.long_press)
                return;
    // A bound button stays in the table, so that its binding is there when its device comes back.
    auto const command = read_text(store_, KEYS_ROOT, key_of(button), u"");
    if (!command || command->empty()) {
        store_.remove_key(KEYS_ROOT, key_of(button));
        store_.flush();
    }
}

std::optional<AssignableButton> KeyService::button_of(std::string const& device, int code) const
{
    auto const d = devices_.find(device);
    if (d == devices_.end())
        return std::nullopt;
    for (auto const& b : d->second)
        if (b.code == code)
            return b;
    return std::nullopt;
}

void KeyService::press(AssignableButton const& button)
{
    // Only the command bound in the table runs, read whole: a text longer than a registry text may be
    // was not written by the table's users and is refused rather than run cut.
    auto const command = read_text(store_, KEYS_ROOT, key_of(button), u"", MAX_TEXT_LENGTH + 1);
    if (!command || command->empty())
        return;
    auto const name = to_utf8(button.name);
    if (!registry_is_private(store_.path())) {
        std::fprintf(
            stderr, "ravelin-keys: %s may be written by other users: nothing is started\n", store_.path().c_str());
        return;
    }
    if (command->size() > MAX_TEXT_LENGTH) {
        std::fprintf(stderr, "ravelin-keys: %s: the command is longer than a registry text may be\n", name.c_str());
        return;
    }
    auto const argv = split_command_line(*command);
    if (!argv || !argv->front().starts_with("/")) {
        std::fprintf(stderr, "ravelin-keys: %s: the command names no program by its full path\n", name.c_str());
        return;
    }
    if (int64_t const id = starter_.start(*argv); id > 0) {
        ++started_;
        live_.push_back(id);
    } else
        std::fprintf(stderr, "ravelin-keys: %s: cannot start %s\n", name.c_str(), argv->front().c_str());
}

void KeyService::handle(InputEvent const& event)
{
    switch (event.kind) {
    case InputEvent::Kind::ADDED: {
        auto buttons = assignable_buttons(event.device);
        for (auto const& b : buttons)
            publish(b);
        devices_[event.device.id] = std::move(buttons);
        break;
    }
    case InputEvent::Kind::REMOVED: {
        auto const gone = devices_.find(event.device.id);
        if (gone == devices_.end())
            break;
        auto const buttons = std::move(gone->second);
        devices_.erase(gone);
        for (auto const& b : buttons)
            withdraw(b);
        std::erase_if(held_, [&](auto const& h) { return h.first.first == event.device.id; });
        break;
    }
    case InputEvent::Kind::KEY: {
        auto const button = button_of(event.device.id, event.code);
        if (!button)
            break;
        auto const place = std::make_pair(event.device.id, event.code);
        if (event.value == 0) {
            held_.erase(place);
        } else if (event.value == 1 && !held_.contains(place)) {
            held_[place] = Held { event.time_ms, !button->long_press };
            if (!button->long_press)
                press(*button);
        } else {
            advance(event.time_ms);
        }
        break;
    }
    case InputEvent::Kind::STOP:
        break;
    }
}

int KeyService::advance(int64_t now_ms)
{
    // Asking after a started program collects it once it has ended, so none is left behind as a zombie.
    std::erase_if(live_, [this](int64_t id) { return !starter_.running(id); });
    int64_t next = -1;
    for (auto& [place, held] : held_) {
        if (held.done)
            continue;
        if (now_ms - held.since >= LONG_PRESS_MS) {
            held.done = true;
            if (auto const button = button_of(place.first, place.second))
                press(*button);
        } else {
            int64_t const left = held.since + LONG_PRESS_MS - now_ms;
            next = next < 0 ? left : std::min(next, left);
        }
    }
    return static_cast<int>(next);
}

int KeyService::run(InputEventSource& source)
{
    int timeout = -1;
    for (;;) {
        auto const event = source.next(timeout);
        if (event && event->kind == InputEvent::Kind::STOP)
            return 0;
        if (event)
            handle(*event);
        timeout = advance(source.now_ms());
    }
}

} // namespace platform
