#include "Preview.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <skin/FormBinding.h>
#include <skin/NodeExceptions.h>
#include <skin/widgets/ImageElement.h>
#include <skin/widgets/ListModel.h>
#include <skin/widgets/ListRow.h>
#include <skin/widgets/ProgressElement.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>
#include <skin/widgets/WaveformElement.h>
#include <sstream>

namespace skinc {

namespace {

std::string trim(std::string_view text)
{
    auto const first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    auto const last = text.find_last_not_of(" \t\r");
    return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        auto const end = std::min(text.find(separator, start), text.size());
        parts.push_back(trim(text.substr(start, end - start)));
        start = end + 1;
    }
    return parts;
}

skin::Element& element(skin::Element& root, std::string const& id)
{
    skin::Element* found = root.find_child(core::from_utf8(id));
    if (!found)
        throw skin::NodeNotFound(root.id(), core::from_utf8(id));
    return *found;
}

// A caption goes to a text element itself, or to the "#text" inside a button.
void set_text(skin::Element& target, skin::PropertiesImpl const& properties, std::string const& text)
{
    core::String const translated = properties.translate(core::from_utf8(text));
    if (auto* text_element = dynamic_cast<skin::TextElement*>(&target))
        text_element->set_text(translated);
    else
        target.set_text_by_id(u"#text", translated);
}

void set_picture(skin::Element& target, skin::PropertiesImpl const& properties, std::string const& node)
{
    auto* image = dynamic_cast<skin::ImageElement*>(&target);
    skin::ElementRecord const record = properties.find_entry(core::from_utf8(node));
    if (!image || !record)
        throw skin::NodeNotFoundInSkin(core::from_utf8(node));
    image->set_picture(properties.lookup_picture(record, u"src", image->picture()));
}

// "ID=text", "ID=@NODE", "-ID", "+ID" on an element tree.
void apply_field(skin::Element& root, skin::PropertiesImpl const& properties, std::string const& field)
{
    if (field.empty())
        return;
    if (field[0] == '-' || field[0] == '+') {
        element(root, field.substr(1)).set_visible(field[0] == '+');
        return;
    }
    auto const equals = field.find('=');
    std::string const id = field.substr(0, equals);
    std::string const value = equals == std::string::npos ? std::string() : field.substr(equals + 1);
    if (!value.empty() && value[0] == '@')
        set_picture(element(root, id), properties, value.substr(1));
    else
        set_text(element(root, id), properties, value);
}

class SampleRow : public skin::ListRow {
public:
    SampleRow(skin::PropertiesImpl const& properties, Sample::Row const& row)
        : properties_(properties)
        , row_(row)
    {
    }

    void bind_row(skin::VListElement*, int32_t flags) override
    {
        if (flags & FRESH) {
            skin::load_entry(*this, properties_, core::from_utf8(row_.entry));
            for (auto const& field : row_.fields)
                apply_field(*this, properties_, field);
        }
    }

private:
    skin::PropertiesImpl const& properties_;
    Sample::Row const& row_;
};

class SampleModel : public skin::ListModel {
public:
    SampleModel(skin::PropertiesImpl const& properties, Sample::List const& list)
        : properties_(properties)
        , list_(list)
    {
    }

    void on_row_clicked(skin::VListElement*, int32_t) override { }
    std::unique_ptr<skin::ListRow> create_row(skin::VListElement*, int32_t index) override
    {
        return std::make_unique<SampleRow>(properties_, list_.rows.at(static_cast<size_t>(index)));
    }

private:
    skin::PropertiesImpl const& properties_;
    Sample::List const& list_;
};

bool parse_value(std::string const& text, double& value)
{
    auto const [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0 && value <= 1;
}

// One line of a preview section; false when it is not understood.
bool read_line(std::string const& line, Sample::Preview& preview)
{
    auto const space = line.find(' ');
    std::string const verb = line.substr(0, space);
    std::string const rest = space == std::string::npos ? std::string() : trim(line.substr(space + 1));
    if (verb == "entry" || verb == "over") {
        (verb == "entry" ? preview.entry : preview.over) = rest;
        return !rest.empty();
    }
    if (verb == "rows") {
        auto const parts = split(rest, ' ');
        if (parts.size() != 2)
            return false;
        preview.lists.push_back({ parts[0], {}, -1 });
        preview.actions.push_back({ verb, parts });
        return true;
    }
    if (verb == "row" || verb == "select") {
        if (preview.lists.empty())
            return false;
        auto& list = preview.lists.back();
        if (verb == "select")
            return std::from_chars(rest.data(), rest.data() + rest.size(), list.selected).ec == std::errc();
        Sample::Row row { preview.actions.back().second[1], split(rest, '|') };
        // "ENTRY:" before the first field draws the row from another entry.
        auto const colon = row.fields[0].find(':');
        if (colon != std::string::npos && row.fields[0].find_first_of("= ") > colon) {
            row.entry = row.fields[0].substr(0, colon);
            row.fields[0] = trim(row.fields[0].substr(colon + 1));
        }
        list.rows.push_back(std::move(row));
        return true;
    }
    if (verb == "hide" || verb == "show") {
        preview.actions.push_back({ verb, split(rest, ' ') });
        return !rest.empty();
    }
    if (verb == "text" || verb == "value" || verb == "picture") {
        auto const gap = rest.find(' ');
        std::string const id = rest.substr(0, gap);
        std::string const value = gap == std::string::npos ? std::string() : trim(rest.substr(gap + 1));
        double number = 0;
        if (id.empty() || (verb == "value" && !parse_value(value, number)) || (verb == "picture" && value.empty()))
            return false;
        preview.actions.push_back({ verb, { id, value } });
        return true;
    }
    return false;
}

// Peaks that look like speech for a waveform in a preview: syllables of changing loudness with pauses
// between phrases, the same in every picture.
std::vector<uint8_t> sample_peaks()
{
    std::vector<uint8_t> peaks(400);
    for (size_t i = 0; i < peaks.size(); ++i) {
        double const t = double(i);
        double const syllable = std::fabs(std::sin(t * 0.9)) * (0.45 + 0.4 * std::sin(t * 0.11));
        bool const pause = std::fmod(t, 57.0) > 49.0;
        peaks[i] = static_cast<uint8_t>(pause ? 6 : 20 + 200 * syllable);
    }
    return peaks;
}

} // namespace

Sample::Preview const* Sample::find(std::string const& name) const
{
    for (auto const& preview : previews)
        if (preview.name == name)
            return &preview;
    return nullptr;
}

bool read_sample(std::string const& path, Sample& sample, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot be opened";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[' && line.back() == ']' && line.size() > 2) {
            std::string const name = line.substr(1, line.size() - 2);
            sample.previews.push_back({ name, name, {}, {}, {} });
            continue;
        }
        if (sample.previews.empty() || !read_line(line, sample.previews.back())) {
            error = path + ":" + std::to_string(number) + ": not understood: " + line;
            return false;
        }
    }
    return true;
}

PreviewScreen::PreviewScreen(skin::FormHarness& harness, Sample const& sample)
    : harness_(harness)
    , sample_(sample)
{
}

PreviewScreen::~PreviewScreen()
{
    // Forms go before the models their lists point to.
    forms_.clear();
}

void PreviewScreen::show(std::string const& name)
{
    show_one(name, false);
    // Long enough for every show animation (0.2 s) and the popups' dimming.
    harness_.advance(1000);
}

void PreviewScreen::show_one(std::string const& name, bool popup)
{
    Sample::Preview const* preview = sample_.find(name);
    if (preview && !preview->over.empty()) {
        show_one(preview->over, false);
        popup = true;
    }
    auto& properties = harness_.properties();
    auto form = harness_.make_form(core::from_utf8(preview ? preview->entry : name));
    if (preview) {
        size_t list_index = 0;
        for (auto const& [verb, args] : preview->actions) {
            if (verb == "hide" || verb == "show") {
                for (auto const& id : args)
                    element(*form, id).set_visible(verb == "show");
            } else if (verb == "text") {
                set_text(element(*form, args[0]), properties, args[1]);
            } else if (verb == "value") {
                double value = 0;
                parse_value(args[1], value);
                if (auto* wave = dynamic_cast<skin::WaveformElement*>(&element(*form, args[0]))) {
                    wave->set_peaks(sample_peaks(), 1);
                    wave->set_played(value);
                    continue;
                }
                auto* bar = dynamic_cast<skin::ProgressElement*>(&element(*form, args[0]));
                if (!bar)
                    throw skin::NodeNotFound(form->id(), core::from_utf8(args[0]));
                bar->set_value(value);
            } else if (verb == "picture") {
                set_picture(element(*form, args[0]), properties, args[1]);
            } else if (verb == "rows") {
                auto const& list = preview->lists[list_index++];
                auto* vlist = dynamic_cast<skin::VListElement*>(&element(*form, list.id));
                if (!vlist)
                    throw skin::NodeNotFound(form->id(), core::from_utf8(list.id));
                models_.push_back(std::make_unique<SampleModel>(properties, list));
                vlist->set_model(models_.back().get());
                vlist->reset(static_cast<int32_t>(list.rows.size()));
                if (list.selected >= 0)
                    vlist->set_selected(list.selected);
            }
        }
    }
    harness_.show(*form, popup ? skin::FormMode::POPUP : skin::FormMode::FULL_SCREEN);
    forms_.push_back(std::move(form));
    harness_.advance(400);
}

void print_rects(skin::Element const& root, std::ostream& out)
{
    if (!root.effectively_visible())
        return;
    if (!root.id().empty())
        out << core::to_utf8(root.id()) << ' ' << root.position().x << ' ' << root.position().y << ' ' << root.size().x
            << ' ' << root.size().y << '\n';
    for (size_t i = 0; i < root.child_count(); ++i)
        print_rects(*root.child(i), out);
}

} // namespace skinc
