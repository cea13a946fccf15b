#include "Commands.h"
#include "Options.h"

#include <algorithm>
#include <cstdio>
#include <document/Settings.h>
#include <lang/Languages.h>
#include <os/Registry.h>

namespace cli {

namespace {

using core::String;

constexpr uint32_t SYNC_MS = 10000;

std::string text(core::StringView s)
{
    return core::to_utf8(s);
}

std::string number(double value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return buffer;
}

void row(char const* name, std::string const& value, std::string const& fallback)
{
    std::printf("%-14s %-30s (default: %s)\n", name, value.c_str(), fallback.c_str());
}

// Why the store cannot be written, for a message; empty while it can.
std::string store_problem()
{
    std::string const path = text(os::reg_store_path());
    switch (os::reg_store_state()) {
    case os::RegStoreState::UNAVAILABLE:
        return "the registry store " + path + " cannot be opened";
    case os::RegStoreState::READ_ONLY:
        return "the registry store " + path + " is read-only";
    case os::RegStoreState::BUSY:
        return "the registry store " + path + " is held by another program";
    case os::RegStoreState::GOOD:
        break;
    }
    return {};
}

int list()
{
    if (os::reg_store_state() == os::RegStoreState::UNAVAILABLE)
        return fail(EXIT_FAILURE_, "cannot read the settings: " + store_problem());
    document::Settings defaults;
    document::Settings current;
    current.load_first();
    current.load_secondary(true);
    String language;
    os::reg_get_string(document::PRODUCT_KEY, u"Language", language);
    uint32_t log = 0, sip = 0;
    os::reg_get_dword(os::MAKER_KEY, u"Log", log);
    os::reg_get_dword(os::MAKER_KEY, u"SIPPreference", sip);

    auto flag = [](bool b) { return std::string(b ? "1" : "0"); };
    row("AutoRecord", flag(current.auto_record), flag(defaults.auto_record));
    row("Speaker", flag(current.speaker), flag(defaults.speaker));
    row("Format", text(current.format), text(defaults.format));
    row("Boost", text(current.boost), text(defaults.boost));
    row("Volume", number(current.volume), number(defaults.volume));
    row("VasLevel", number(current.vas_level), number(defaults.vas_level));
    row("Path", text(current.path), "");
    row("Language", text(language), "");
    row("Log", std::to_string(log), "0");
    row("SIPPreference", std::to_string(sip), "0");
    return EXIT_OK;
}

int set(std::string const& name, std::string const& value)
{
    String const wide_name = core::from_utf8(name);
    bool written = false;
    if (name == "Format" || name == "Boost") {
        auto const names = name == "Format" ? names_of(document::FORMAT_NAMES) : names_of(document::BOOST_NAMES);
        if (!is_one_of(value, names))
            return fail(EXIT_USAGE, name + " must be " + either(names) + ", not '" + value + "'");
        written = os::reg_set_string(document::PRODUCT_KEY, wide_name, core::from_utf8(value));
    } else if (name == "Volume" || name == "VasLevel") {
        double real = 0;
        if (!parse_number(value, 0.0, 1.0, real))
            return fail(EXIT_USAGE, name + " must be a decimal number from 0 to 1, not '" + value + "'");
        written = os::reg_set_dword(document::PRODUCT_KEY, wide_name, document::to_fixed(real));
    } else if (name == "AutoRecord" || name == "Speaker" || name == "Log") {
        if (value != "0" && value != "1")
            return fail(EXIT_USAGE, name + " must be 0 or 1, not '" + value + "'");
        auto const key = name == "Log" ? core::StringView(os::MAKER_KEY) : core::StringView(document::PRODUCT_KEY);
        written = os::reg_set_dword(key, wide_name, value == "1" ? 1 : 0);
    } else if (name == "Language") {
        // The languages are the files beside the program, as its Language page lists them.
        lang::Dictionary current;
        std::vector<lang::LanguageItem> items;
        lang::LanguageMenu(current, u"Ravelin").fill_page(u"Language", items);
        std::vector<std::string> names;
        for (auto const& item : items)
            if (!item.is_cancel)
                names.push_back(text(item.id.substr(item.id.find(u'#') + 1)));
        if (!is_one_of(value, names))
            return fail(EXIT_USAGE, "Language must be " + either(names) + ", not '" + value + "'");
        written = os::reg_set_string(document::PRODUCT_KEY, wide_name, core::from_utf8(value));
    } else {
        return fail(EXIT_USAGE,
            "unknown setting '" + name + "' (AutoRecord, Speaker, Format, Boost, Volume, VasLevel, Language or Log)");
    }
    // A store that another program holds is waited for a while, as a command may be.
    if (!written || !os::reg_flush() || !os::reg_sync(SYNC_MS))
        return fail(EXIT_FAILURE_, "cannot write " + name + ": " + store_problem());
    return EXIT_OK;
}

} // namespace

int settings_command(Arguments const& arguments)
{
    if (arguments.empty())
        return list();
    if (arguments[0] == "set" && arguments.size() == 3)
        return set(arguments[1], arguments[2]);
    return fail(EXIT_USAGE, "usage: ravelin-cli settings [set NAME VALUE]");
}

} // namespace cli
