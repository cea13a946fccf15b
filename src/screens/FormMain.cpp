#include "FormMain.h"

#include "RowTexts.h"

#include "ScreenHost.h"

#include <core/Log.h>
#include <document/Document.h>
#include <os/Paths.h>
#include <skin/FormBinding.h>
#include <skin/FormStack.h>
#include <skin/Properties.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/ImageElement.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>

namespace screens {

using document::DocumentEvent;

FormMain::FormMain(skin::Properties& properties, ScreenHost& host, document::Document& document)
    : skin::SkinListener(properties)
    , properties_(properties)
    , host_(host)
    , document_(document)
    , keypad_(*this)
{
    // The keypad map is read once; without the file every key stands for itself.
    if (!filter_.load_key_map(os::expand_path(u"%app_path%/keyboard.txt")))
        core::log() << u"FormMain: no keyboard.txt\n";
    confirmation_ = std::make_unique<FormConfirmation>(properties, host, this);
    error_ = std::make_unique<FormError>(properties, host);
    recording_ = std::make_unique<FormRecording>(properties, host, document);
    view_ = std::make_unique<FormView>(properties, host, document);
    main_menu_ = std::make_unique<MainMenu>(properties, host, document, *this);
    menu_ = std::make_unique<Menu>(properties, host, *this);
    form_.shortcut = [this](skin::KeyEvent const& event) {
        KeyCommand const command = key_command(event);
        return command != KeyCommand::NONE && on_key_command(command);
    };
    recording_->set_keys_window([this] { show_keys(); });
    view_->set_keys_window([this] { show_keys(); });
    load();
    document_.add_listener(this);
    document_.set_title_maker([this](os::DateTime const& t) { return date_name(t, properties_.dictionary()); });
}

FormMain::~FormMain()
{
    document_.remove_listener(this);
    document_.set_title_maker({});
    form_.remove_input(&letters_);
    list_->set_model(nullptr);
    host_.form_stack().close_form(&form_);
}

void FormMain::load()
{
    if (list_)
        list_->set_model(nullptr);
    skin::load_entry(form_, properties_, u"FormMain");
    skin::require_button(record_, form_, u"btnRecord", this);
    skin::require_button(filter_button_, form_, u"btnFilter", this);
    skin::require_button(close_filter_, form_, u"btnCloseFilter", this);
    skin::require_button(menu_button_, form_, u"btnMenu", this);
    skin::bind_element(list_, form_, u"list", nullptr);
    empty_hint_ = form_.find_child(u"emptyHint");
    undo_bar_ = form_.find_child(u"undoBar");
    undo_text_ = dynamic_cast<skin::TextElement*>(form_.find_child(u"undoText"));
    undo_button_ = nullptr;
    if (undo_bar_ && skin::bind_button(undo_button_, form_, u"btnUndo", this))
        undo_button_->set_text_by_id(u"#text", properties_.translate(u"Undo"));
    if (undo_bar_)
        undo_bar_->set_visible(!undo_.empty());
    keypad_.bind(form_);
    highlight_ = properties_.lookup_color(properties_.find_entry(u"filtered_color"), u"color", skin::Color {});
    icons_.load(properties_);
    list_->set_model(this);
    filter_open_ = false;
    filter_.clear(document_.records());
    list_->reset(static_cast<int32_t>(filter_.shown().size()));
    filter_button_->set_visible(true);
    close_filter_->set_visible(false);
    keypad_.hide(Keypad::Motion::AT_ONCE);
    show_empty_hint();
    // Last, so that every element of the skin is offered a character first.
    form_.remove_input(&letters_);
    form_.add_input(&letters_);
}

void FormMain::show_empty_hint()
{
    if (empty_hint_)
        empty_hint_->set_visible(document_.records().empty());
}

void FormMain::on_reload_skin(skin::PropertiesImpl&)
{
    load();
}

void FormMain::show()
{
    host_.form_stack().show_form(&form_, skin::FormMode::FULL_SCREEN);
}

void FormMain::open_filter()
{
    filter_open_ = true;
    filter_button_->set_visible(false);
    close_filter_->set_visible(true);
    keypad_.show();
}

void FormMain::close_filter()
{
    filter_button_->set_visible(true);
    close_filter_->set_visible(false);
    filter_.clear(document_.records());
    list_->reset(static_cast<int32_t>(filter_.shown().size()));
    show_typed();
    if (filter_open_)
        keypad_.hide();
    filter_open_ = false;
}

void FormMain::show_filtered(skin::TextElement& element, core::StringView text) const
{
    element.set_text(text);
    if (filter_.empty())
        return;
    int32_t const at = filter_.match(text);
    if (at >= 0)
        element.set_highlight(static_cast<size_t>(at), filter_.keys().size(), highlight_);
}

void FormMain::bind_record_row(RecordRow& row)
{
    auto const& shown = filter_.shown();
    auto const& records = document_.records();
    int32_t const position = row.index();
    if (position < 0 || static_cast<size_t>(position) >= shown.size()
        || static_cast<size_t>(shown[static_cast<size_t>(position)]) >= records.size())
        return;
    document::RecordEntry const& entry = records[static_cast<size_t>(shown[static_cast<size_t>(position)])];
    row.icon().set_picture(icons_.icon(entry.path, entry.album));
    RowTexts const texts = row_texts(entry, properties_.dictionary(), row_clock(static_cast<size_t>(position)));
    show_filtered(row.artist(), texts.strong);
    row.name().set_text(texts.secondary);
    if (auto* state = row.state()) {
        bool const in_progress = document_.is_recording() && entry.path == document_.current().path;
        state->set_text(!in_progress ? u"" : document_.is_paused() ? u"\u275A\u275A" : u"\u25CF");
        state->set_visible(in_progress);
    }
}

Clock FormMain::row_clock(size_t position) const
{
    auto const& shown = filter_.shown();
    auto const& records = document_.records();
    auto const time_at = [&](size_t at) -> os::DateTime const* {
        if (at >= shown.size() || static_cast<size_t>(shown[at]) >= records.size())
            return nullptr;
        return &records[static_cast<size_t>(shown[at])].time;
    };
    os::DateTime const* own = time_at(position);
    for (os::DateTime const* other : { position > 0 ? time_at(position - 1) : nullptr, time_at(position + 1) })
        if (own && other && same_minute(*own, *other))
            return Clock::SECONDS;
    return Clock::MINUTES;
}

std::unique_ptr<skin::ListRow> FormMain::create_row(skin::VListElement*, int32_t)
{
    return std::make_unique<RecordRow>(*this, properties_);
}

void FormMain::on_row_clicked(skin::VListElement*, int32_t index)
{
    auto const& shown = filter_.shown();
    if (index < 0 || static_cast<size_t>(index) >= shown.size()
        || static_cast<size_t>(shown[static_cast<size_t>(index)]) >= document_.records().size())
        return;
    list_->set_selected(index);
    core::String const path = document_.records()[static_cast<size_t>(shown[static_cast<size_t>(index)])].path;
    if (document_.play(path, 0)) {
        view_->open();
    } else if (document_.drop_if_gone(path)) {
        show_error(u"Sorry_recording_gone");
    } else {
        // A file that cannot be played is still shown, stopped, so that it can be renamed or deleted; the
        // message says why nothing plays. No reader took it when its format is unknown (a player that
        // cannot start is another matter).
        view_->open();
        if (document_.current().extension.empty())
            show_error(u"Sorry_cannot_play");
    }
}

void FormMain::on_click(skin::Element* source, skin::ButtonEvent const&)
{
    if (source == record_) {
        // A recording that cannot start says why through the Document, whoever asked for it.
        document_.record(false, {}, {}, phone::CALL_NONE);
    } else if (source == filter_button_)
        open_filter();
    else if (source == close_filter_)
        close_filter();
    else if (source == menu_button_)
        menu_->open(u"MainMenu", u"", PageOpening::SHOW_MENU);
    else if (source == confirmation_->ok_button())
        delete_shown();
    else if (source != nullptr && source == undo_button_)
        undo_delete();
}

void FormMain::on_char(core::StringView text)
{
    if (text.empty() || !filter_.type(text.front(), document_.records()))
        return;
    list_->reset(static_cast<int32_t>(filter_.shown().size()));
    show_typed();
}

bool FormMain::on_letter(char16_t character)
{
    bool const digit = character >= u'0' && character <= u'9';
    if (document_.records().empty() || digit || character == u'#' || character <= u' ' || character == 0x7F
        || RecordFilter::is_separator(character))
        return false;
    if (!filter_open_)
        open_filter();
    // Names are matched lower-cased.
    on_char(os::lower(core::StringView(&character, 1)));
    return true;
}

void FormMain::on_backspace()
{
    if (!filter_.backspace(document_.records())) {
        close_filter();
        return;
    }
    list_->reset(static_cast<int32_t>(filter_.shown().size()));
    show_typed();
}

void FormMain::show_typed()
{
    // The bar's title gives way to the keys typed so far, so that the user sees what filters the list.
    if (auto* title = dynamic_cast<skin::TextElement*>(form_.find_child(u"title")))
        title->set_text(filter_.empty() ? properties_.translate(u"skin_ProgramName") : filter_.keys());
}

void FormMain::confirm_delete()
{
    ask_delete(filter_.shown());
}

void FormMain::ask_delete(std::vector<int32_t> const& records)
{
    to_delete_.clear();
    for (int32_t index : records)
        if (index >= 0 && static_cast<size_t>(index) < document_.records().size())
            to_delete_.push_back(document_.records()[static_cast<size_t>(index)].path);
    // The question says where the files go: to the trash, from where Undo brings them back, or for good.
    bool const one = to_delete_.size() == 1;
    core::StringView const question = document_.can_trash(to_delete_)
        ? (one ? u"Confirm_trashing_this" : u"Confirm_trashing")
        : (one ? u"Confirm_deleting_this" : u"Confirm_deleting");
    confirmation_->set_text(os::replace_all(
        properties_.translate(question), u"%count%", core::decimal(static_cast<int64_t>(to_delete_.size()))));
    confirmation_->show();
}

void FormMain::delete_shown()
{
    // What the question counted, found again: the list may have changed while it was shown.
    std::vector<int32_t> chosen;
    for (core::String const& path : to_delete_)
        if (int32_t const index = document_.records().find(path); index >= 0)
            chosen.push_back(index);
    to_delete_.clear();
    size_t const listed = document_.records().size();
    hide_undo();
    undo_ = document_.delete_records(chosen);
    close_filter();
    show_undo(listed - document_.records().size());
}

void FormMain::show_undo(size_t deleted)
{
    if (undo_.empty())
        return;
    if (undo_text_)
        undo_text_->set_text(os::replace_all(
            properties_.translate(u"Deleted_count"), u"%count%", core::decimal(static_cast<int64_t>(deleted))));
    if (undo_bar_)
        undo_bar_->set_visible(true);
    undo_timer_.start(UNDO_SECONDS);
}

void FormMain::hide_undo()
{
    // What was not undone stays in the trash, where the desktop's file manager can still restore it.
    undo_.clear();
    undo_timer_.cancel();
    if (undo_bar_)
        undo_bar_->set_visible(false);
}

void FormMain::on_timer(core::Timer&)
{
    hide_undo();
}

void FormMain::undo_delete()
{
    if (undo_.empty())
        return;
    std::vector<document::TrashedRecord> const records = std::move(undo_);
    hide_undo();
    // What came back is listed again; the message tells why the rest is missing from the list.
    if (!document_.restore_records(records).empty())
        show_error(u"Sorry_undo_path_taken");
}

bool FormMain::on_key_command(KeyCommand command)
{
    switch (command) {
    case KeyCommand::RECORD:
        return form_.activate(record_);
    case KeyCommand::FILTER:
        return form_.activate(filter_button_);
    case KeyCommand::MENU:
        return form_.activate(menu_button_);
    case KeyCommand::KEYS:
        show_keys();
        return true;
    case KeyCommand::UNDO:
        if (undo_.empty())
            return false;
        // The bar's button where the skin has one, as a tap on it would.
        if (!undo_button_ || !form_.activate(undo_button_))
            undo_delete();
        return true;
    case KeyCommand::DELETE: {
        auto const& shown = filter_.shown();
        int32_t const selected = list_->selected();
        if (selected < 0 || static_cast<size_t>(selected) >= shown.size())
            return false;
        ask_delete({ shown[static_cast<size_t>(selected)] });
        return true;
    }
    default:
        return false;
    }
}

void FormMain::show_keys()
{
    // A menu page: it scrolls when the keys outgrow a small screen, and Escape or any row puts it away.
    menu_->open(u"Keys", u"", PageOpening::SHOW_MENU);
}

void FormMain::fill_keys(MenuItems& items) const
{
    static constexpr char16_t const* LINES[] = { u"Keys_next", u"Keys_previous", u"Keys_press", u"Keys_arrows",
        u"Keys_back", u"Keys_record", u"Keys_pause", u"Keys_skip", u"Keys_rename", u"Keys_filter", u"Keys_delete",
        u"Keys_undo", u"Keys_menu", u"Keys_soft", u"Keys_list" };
    for (char16_t const* key : LINES)
        items.emplace_back(u"Cancel", properties_.translate(key));
}

void FormMain::on_menu(Menu& menu, core::StringView id, core::StringView, MenuItems& items)
{
    if (id == u"Keys")
        fill_keys(items);
    else
        main_menu_->on_menu(menu, id, items);
}

void FormMain::show_error(core::StringView key)
{
    error_->show(properties_.translate(key));
}

void FormMain::on_document_event(DocumentEvent const& event)
{
    auto const& records = document_.records();
    switch (event.code) {
    case DocumentEvent::LIST_REBUILT:
        close_filter();
        break;
    case DocumentEvent::RECORD_FOUND: {
        filter_.rebuild(records);
        int32_t const position = filter_.position_of(event.argument);
        if (position >= 0) {
            list_->insert_row(position);
            // A row coming or going changes whether those beside it need seconds.
            list_->refresh_row(position - 1);
            list_->refresh_row(position + 1);
        }
        break;
    }
    case DocumentEvent::RECORD_REMOVED: {
        int32_t const position = filter_.position_of(event.argument);
        // The positions are rebuilt first, so that the list never asks for a record that is gone.
        filter_.rebuild(records);
        if (position >= 0) {
            list_->remove_row(position);
            list_->refresh_row(position - 1);
            list_->refresh_row(position);
        }
        break;
    }
    case DocumentEvent::RECORD_CHANGED: {
        int32_t const position = filter_.position_of(event.argument);
        if (position >= 0)
            list_->refresh_row(position);
        break;
    }
    case DocumentEvent::RECORDING_STARTED:
        close_filter();
        list_->scroll_to(event.argument);
        recording_->open(RecordingStart::NEW);
        break;
    case DocumentEvent::STOPPED:
    case DocumentEvent::PAUSE_CHANGED: {
        // The recording's row: its mark, and once it has ended its length.
        int32_t const position = filter_.position_of(records.find(document_.current().path));
        if (position >= 0)
            list_->refresh_row(position);
        break;
    }
    case DocumentEvent::RECORDING_CONTINUED:
        recording_->open(RecordingStart::CONTINUED);
        break;
    default:
        if (auto const key = document::failure_text_key(event); !key.empty())
            show_error(key);
        break;
    }
    show_empty_hint();
}

} // namespace screens
