#include "atspi_objects.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

namespace platform {

namespace {

constexpr char const* PREFIX = "/org/a11y/atspi/accessible";
constexpr char const* ROOT_PATH = "/org/a11y/atspi/accessible/root";
constexpr char const* FRAME_PATH = "/org/a11y/atspi/accessible/frame";
constexpr char const* FORM_KEY = "";

// AT-SPI2's numbers (AtspiRole, AtspiStateType).
enum : uint32_t {
    ROLE_CHECK_BOX = 7,
    ROLE_DIALOG = 16,
    ROLE_FRAME = 23,
    ROLE_LABEL = 29,
    ROLE_LIST = 31,
    ROLE_LIST_ITEM = 32,
    ROLE_PANEL = 39,
    ROLE_PROGRESS_BAR = 42,
    ROLE_PUSH_BUTTON = 43,
    ROLE_SLIDER = 51,
    ROLE_TEXT = 61,
    ROLE_APPLICATION = 75,
};
enum : uint32_t {
    STATE_ACTIVE = 1,
    STATE_CHECKED = 4,
    STATE_EDITABLE = 7,
    STATE_ENABLED = 8,
    STATE_FOCUSABLE = 11,
    STATE_FOCUSED = 12,
    STATE_HORIZONTAL = 14,
    STATE_MODAL = 16,
    STATE_SELECTABLE = 22,
    STATE_SELECTED = 23,
    STATE_SENSITIVE = 24,
    STATE_SHOWING = 25,
    STATE_SINGLE_LINE = 26,
    STATE_VISIBLE = 30,
    STATE_CHECKABLE = 41,
};

// Sliders and bars are shown to readers in percent.
constexpr double VALUE_SCALE = 100;

uint32_t role_number(AccessibleRole role)
{
    switch (role) {
    case AccessibleRole::PANEL:
        return ROLE_PANEL;
    case AccessibleRole::DIALOG:
        return ROLE_DIALOG;
    case AccessibleRole::PUSH_BUTTON:
        return ROLE_PUSH_BUTTON;
    case AccessibleRole::CHECK_BOX:
        return ROLE_CHECK_BOX;
    case AccessibleRole::LABEL:
        return ROLE_LABEL;
    case AccessibleRole::LIST:
        return ROLE_LIST;
    case AccessibleRole::LIST_ITEM:
        return ROLE_LIST_ITEM;
    case AccessibleRole::SLIDER:
        return ROLE_SLIDER;
    case AccessibleRole::PROGRESS_BAR:
        return ROLE_PROGRESS_BAR;
    case AccessibleRole::TEXT:
        return ROLE_TEXT;
    }
    return ROLE_PANEL;
}

char const* role_name(uint32_t role)
{
    switch (role) {
    case ROLE_APPLICATION:
        return "application";
    case ROLE_FRAME:
        return "frame";
    case ROLE_DIALOG:
        return "dialog";
    case ROLE_PUSH_BUTTON:
        return "push button";
    case ROLE_CHECK_BOX:
        return "check box";
    case ROLE_LABEL:
        return "label";
    case ROLE_LIST:
        return "list";
    case ROLE_LIST_ITEM:
        return "list item";
    case ROLE_SLIDER:
        return "slider";
    case ROLE_PROGRESS_BAR:
        return "progress bar";
    case ROLE_TEXT:
        return "text";
    default:
        return "panel";
    }
}

bool acts(AccessibleRole role)
{
    return role == AccessibleRole::PUSH_BUTTON || role == AccessibleRole::CHECK_BOX
        || role == AccessibleRole::LIST_ITEM;
}

bool has_value(AccessibleRole role)
{
    return role == AccessibleRole::SLIDER || role == AccessibleRole::PROGRESS_BAR;
}

bool has_text(AccessibleRole role)
{
    return role == AccessibleRole::TEXT || role == AccessibleRole::LABEL;
}

bool focusable(AccessibleRole role)
{
    return acts(role) || role == AccessibleRole::SLIDER || role == AccessibleRole::TEXT;
}

// Code points of UTF-8 text: readers count characters, not bytes.
std::vector<std::string> characters(std::string const& text)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size();) {
        size_t length = 1;
        auto const lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0xF0)
            length = 4;
        else if (lead >= 0xE0)
            length = 3;
        else if (lead >= 0xC0)
            length = 2;
        length = std::min(length, text.size() - i);
        out.push_back(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string slice(std::string const& text, int32_t start, int32_t end)
{
    auto const chars = characters(text);
    int32_t const count = static_cast<int32_t>(chars.size());
    if (end < 0 || end > count)
        end = count;
    start = std::clamp(start, 0, end);
    std::string out;
    for (int32_t i = start; i < end; ++i)
        out += chars[static_cast<size_t>(i)];
    return out;
}

AtspiObjects& self(void* userdata)
{
    return *static_cast<AtspiObjects*>(userdata);
}

AtspiObjects::Ref ref_of(sd_bus_message* message, void* userdata)
{
    return self(userdata).resolve(sd_bus_message_get_path(message));
}

AccessibleNode const* node_of(AtspiObjects const& objects, AtspiObjects::Ref ref)
{
    if (ref.kind != AtspiObjects::Kind::NODE)
        return nullptr;
    return &objects.tree().nodes[static_cast<size_t>(ref.index)];
}

int append_ref(sd_bus_message* reply, AtspiObjects const& objects, AtspiObjects::Ref ref)
{
    if (ref.kind == AtspiObjects::Kind::NONE)
        return sd_bus_message_append(reply, "(so)", objects.desktop_name().c_str(), objects.desktop_path().c_str());
    return sd_bus_message_append(reply, "(so)", objects.unique_name().c_str(), objects.path_of(ref).c_str());
}

std::string name_of(AtspiObjects const& objects, AtspiObjects::Ref ref)
{
    switch (ref.kind) {
    case AtspiObjects::Kind::ROOT:
    case AtspiObjects::Kind::FRAME:
        return objects.application_name();
    case AtspiObjects::Kind::FORM:
        return objects.tree().form_name;
    case AtspiObjects::Kind::NODE:
        return node_of(objects, ref)->name;
    default:
        return {};
    }
}

uint32_t role_of(AtspiObjects const& objects, AtspiObjects::Ref ref)
{
    switch (ref.kind) {
    case AtspiObjects::Kind::ROOT:
        return ROLE_APPLICATION;
    case AtspiObjects::Kind::FRAME:
        return ROLE_FRAME;
    case AtspiObjects::Kind::FORM:
        return role_number(objects.tree().form_role);
    default:
        return role_number(node_of(objects, ref)->role);
    }
}

std::vector<uint32_t> states_of(AtspiObjects const& objects, AtspiObjects::Ref ref)
{
    std::vector<uint32_t> states;
    if (ref.kind == AtspiObjects::Kind::ROOT)
        return states;
    states = { STATE_ENABLED, STATE_SENSITIVE, STATE_SHOWING, STATE_VISIBLE };
    if (ref.kind == AtspiObjects::Kind::FRAME)
        states.push_back(STATE_ACTIVE);
    if (ref.kind == AtspiObjects::Kind::FORM && objects.tree().form_role == AccessibleRole::DIALOG)
        states.push_back(STATE_MODAL);
    AccessibleNode const* node = node_of(objects, ref);
    if (!node)
        return states;
    if (!node->enabled)
        states = { STATE_SHOWING, STATE_VISIBLE };
    if (focusable(node->role))
        states.push_back(STATE_FOCUSABLE);
    if (node->focused)
        states.push_back(STATE_FOCUSED);
    if (node->role == AccessibleRole::CHECK_BOX)
        states.push_back(STATE_CHECKABLE);
    if (node->checked)
        states.push_back(STATE_CHECKED);
    if (node->role == AccessibleRole::LIST_ITEM)
        states.push_back(STATE_SELECTABLE);
    if (node->selected)
        states.push_back(STATE_SELECTED);
    if (node->role == AccessibleRole::TEXT)
        states.insert(states.end(), { STATE_EDITABLE, STATE_SINGLE_LINE });
    if (has_value(node->role))
        states.push_back(STATE_HORIZONTAL);
    return states;
}

// Each interface's objects: `find` answers whether the path has it.
using Has = bool (*)(AtspiObjects const&, AtspiObjects::Ref);

template <Has has> int find(sd_bus*, char const* path, char const*, void* userdata, void** found, sd_bus_error*)
{
    AtspiObjects::Ref const ref = self(userdata).resolve(path);
    if (ref.kind == AtspiObjects::Kind::NONE || !has(self(userdata), ref))
        return 0;
    *found = userdata;
    return 1;
}

bool any(AtspiObjects const&, AtspiObjects::Ref)
{
    return true;
}

bool is_root(AtspiObjects const&, AtspiObjects::Ref ref)
{
    return ref.kind == AtspiObjects::Kind::ROOT;
}

bool not_root(AtspiObjects const&, AtspiObjects::Ref ref)
{
    return ref.kind != AtspiObjects::Kind::ROOT;
}

bool node_acts(AtspiObjects const& objects, AtspiObjects::Ref ref)
{
    AccessibleNode const* node = node_of(objects, ref);
    return node && acts(node->role);
}

bool node_has_value(AtspiObjects const& objects, AtspiObjects::Ref ref)
{
    AccessibleNode const* node = node_of(objects, ref);
    return node && has_value(node->role);
}

bool node_has_text(AtspiObjects const& objects, AtspiObjects::Ref ref)
{
    AccessibleNode const* node = node_of(objects, ref);
    return node && has_text(node->role);
}

std::string text_of(AtspiObjects const& objects, sd_bus_message* message, void* userdata)
{
    AccessibleNode const* node = node_of(objects, ref_of(message, userdata));
    if (!node)
        return {};
    return node->role == AccessibleRole::TEXT ? node->text : node->name;
}

// org.a11y.atspi.Accessible

int get_name(sd_bus*, char const* path, char const*, char const*, sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", name_of(self(userdata), self(userdata).resolve(path)).c_str());
}

int get_empty(sd_bus*, char const*, char const*, char const*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", "");
}

int get_parent(
    sd_bus*, char const* path, char const*, char const*, sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    AtspiObjects& objects = self(userdata);
    return append_ref(reply, objects, objects.parent(objects.resolve(path)));
}

int get_child_count(
    sd_bus*, char const* path, char const*, char const*, sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    AtspiObjects& objects = self(userdata);
    return sd_bus_message_append(reply, "i", static_cast<int32_t>(objects.children(objects.resolve(path)).size()));
}

int get_locale(sd_bus*, char const*, char const*, char const*, sd_bus_message* reply, void*, sd_bus_error*)
{
    char const* locale = std::getenv("LANG");
    return sd_bus_message_append(reply, "s", locale ? locale : "C");
}

int get_accessible_id(
    sd_bus*, char const* path, char const*, char const*, sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    AtspiObjects& objects = self(userdata);
    AccessibleNode const* node = node_of(objects, objects.resolve(path));
    return sd_bus_message_append(reply, "s", node ? node->key.c_str() : "");
}

int child_at_index(sd_bus_message* message, void* userdata, sd_bus_error* error)
{
    AtspiObjects& objects = self(userdata);
    int32_t index = 0;
    if (int const read = sd_bus_message_read(message, "i", &index); read < 0)
        return read;
    AtspiObjects::Ref const ref = ref_of(message, userdata);
    auto const children = objects.children(ref);
    if (index < 0 || static_cast<size_t>(index) >= children.size())
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "no child at that index");
    sd_bus_message* reply = nullptr;
    sd_bus_message_new_method_return(message, &reply);
    AtspiObjects::Ref child { AtspiObjects::Kind::NODE, children[static_cast<size_t>(index)] };
    if (ref.kind == AtspiObjects::Kind::ROOT)
        child = { AtspiObjects::Kind::FRAME, -1 };
    else if (ref.kind == AtspiObjects::Kind::FRAME)
        child = { AtspiObjects::Kind::FORM, -1 };
    append_ref(reply, objects, child);
    int const sent = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return sent;
}

int get_children(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    AtspiObjects& objects = self(userdata);
    AtspiObjects::Ref const ref = ref_of(message, userdata);
    sd_bus_message* reply = nullptr;
    sd_bus_message_new_method_return(message, &reply);
    sd_bus_message_open_container(reply, 'a', "(so)");
    for (int32_t index : objects.children(ref)) {
        AtspiObjects::Ref child { AtspiObjects::Kind::NODE, index };
        if (ref.kind == AtspiObjects::Kind::ROOT)
            child = { AtspiObjects::Kind::FRAME, -1 };
        else if (ref.kind == AtspiObjects::Kind::FRAME)
            child = { AtspiObjects::Kind::FORM, -1 };
        append_ref(reply, objects, child);
    }
    sd_bus_message_close_container(reply);
    int const sent = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return sent;
}

int index_in_parent(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    AtspiObjects& objects = self(userdata);
    AtspiObjects::Ref const ref = ref_of(message, userdata);
    int32_t index = 0;
    if (ref.kind == AtspiObjects::Kind::NODE) {
        auto const siblings = objects.children(objects.parent(ref));
        auto const at = std::find(siblings.begin(), siblings.end(), ref.index);
        index = static_cast<int32_t>(at - siblings.begin());
    } else if (ref.kind == AtspiObjects::Kind::ROOT) {
        index = -1;
    }
    return sd_bus_reply_method_return(message, "i", index);
}

int relation_set(sd_bus_message* message, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(message, "a(ua(so))", 0);
}

int get_role(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    return sd_bus_reply_method_return(message, "u", role_of(self(userdata), ref_of(message, userdata)));
}

int get_role_name(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    return sd_bus_reply_method_return(message, "s", role_name(role_of(self(userdata), ref_of(message, userdata))));
}

int get_state(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    uint32_t words[2] = { 0, 0 };
    for (uint32_t state : states_of(self(userdata), ref_of(message, userdata)))
        words[state / 32] |= 1u << (state % 32);
    return sd_bus_reply_method_return(message, "au", 2, words[0], words[1]);
}

int get_attributes(sd_bus_message* message, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(message, "a{ss}", 1, "toolkit", "Ravelin");
}

int get_application(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    AtspiObjects& objects = self(userdata);
    return sd_bus_reply_method_return(message, "(so)", objects.unique_name().c_str(), ROOT_PATH);
}

int get_interfaces(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    AtspiObjects& objects = self(userdata);
    AtspiObjects::Ref const ref = ref_of(message, userdata);
    std::vector<char const*> names { "org.a11y.atspi.Accessible" };
    if (ref.kind == AtspiObjects::Kind::ROOT)
        names.push_back("org.a11y.atspi.Application");
    else
        names.push_back("org.a11y.atspi.Component");
    if (node_acts(objects, ref))
        names.push_back("org.a11y.atspi.Action");
    if (node_has_value(objects, ref))
        names.push_back("org.a11y.atspi.Value");
    if (node_has_text(objects, ref))
        names.push_back("org.a11y.atspi.Text");
    sd_bus_message* reply = nullptr;
    sd_bus_message_new_method_return(message, &reply);
    sd_bus_message_open_container(reply, 'a', "s");
    for (char const* name : names)
        sd_bus_message_append(reply, "s", name);
    sd_bus_message_close_container(reply);
    int const sent = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return sent;
}

sd_bus_vtable const ACCESSIBLE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Name", "s", get_name, 0, 0),
    SD_BUS_PROPERTY("Description", "s", get_empty, 0, 0),
    SD_BUS_PROPERTY("Parent", "(so)", get_parent, 0, 0),
    SD_BUS_PROPERTY("ChildCount", "i", get_child_count, 0, 0),
    SD_BUS_PROPERTY("Locale", "s", get_locale, 0, 0),
    SD_BUS_PROPERTY("AccessibleId", "s", get_accessible_id, 0, 0),
    SD_BUS_METHOD("GetChildAtIndex", "i", "(so)", child_at_index, 0),
    SD_BUS_METHOD("GetChildren", "", "a(so)", get_children, 0),
    SD_BUS_METHOD("GetIndexInParent", "", "i", index_in_parent, 0),
    SD_BUS_METHOD("GetRelationSet", "", "a(ua(so))", relation_set, 0),
    SD_BUS_METHOD("GetRole", "", "u", get_role, 0),
    SD_BUS_METHOD("GetRoleName", "", "s", get_role_name, 0),
    SD_BUS_METHOD("GetLocalizedRoleName", "", "s", get_role_name, 0),
    SD_BUS_METHOD("GetState", "", "au", get_state, 0),
    SD_BUS_METHOD("GetAttributes", "", "a{ss}", get_attributes, 0),
    SD_BUS_METHOD("GetApplication", "", "(so)", get_application, 0),
    SD_BUS_METHOD("GetInterfaces", "", "as", get_interfaces, 0),
    SD_BUS_VTABLE_END,
};

// org.a11y.atspi.Application

int get_toolkit(sd_bus*, char const*, char const*, char const*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", "Ravelin");
}

int get_atspi_version(sd_bus*, char const*, char const*, char const*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", "2.1");
}

int get_id(sd_bus*, char const*, char const*, char const*, sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    return sd_bus_message_append(reply, "i", self(userdata).application_id);
}

int set_id(sd_bus*, char const*, char const*, char const*, sd_bus_message* value, void* userdata, sd_bus_error*)
{
    return sd_bus_message_read(value, "i", &self(userdata).application_id);
}

int application_locale(sd_bus_message* message, void*, sd_bus_error*)
{
    char const* locale = std::getenv("LANG");
    return sd_bus_reply_method_return(message, "s", locale ? locale : "C");
}

sd_bus_vtable const APPLICATION[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("ToolkitName", "s", get_toolkit, 0, 0),
    SD_BUS_PROPERTY("Version", "s", get_atspi_version, 0, 0),
    SD_BUS_PROPERTY("AtspiVersion", "s", get_atspi_version, 0, 0),
    SD_BUS_WRITABLE_PROPERTY("Id", "i", get_id, set_id, 0, 0),
    SD_BUS_METHOD("GetLocale", "u", "s", application_locale, 0),
    SD_BUS_VTABLE_END,
};

// org.a11y.atspi.Component: the window's own pixels; where the window lies on the screen is the
// window system's to say.

struct Box {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

Box box_of(AtspiObjects const& objects, AtspiObjects::Ref ref)
{
    if (AccessibleNode const* node = node_of(objects, ref))
        return { node->x, node->y, node->width, node->height };
    return { 0, 0, objects.tree().width, objects.tree().height };
}

int get_extents(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    Box const box = box_of(self(userdata), ref_of(message, userdata));
    return sd_bus_reply_method_return(message, "(iiii)", box.x, box.y, box.width, box.height);
}

int get_position(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    Box const box = box_of(self(userdata), ref_of(message, userdata));
    return sd_bus_reply_method_return(message, "ii", box.x, box.y);
}

int get_size(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    Box const box = box_of(self(userdata), ref_of(message, userdata));
    return sd_bus_reply_method_return(message, "ii", box.width, box.height);
}

int contains(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    int32_t x = 0, y = 0;
    uint32_t coordinates = 0;
    if (int const read = sd_bus_message_read(message, "iiu", &x, &y, &coordinates); read < 0)
        return read;
    Box const box = box_of(self(userdata), ref_of(message, userdata));
    bool const inside = x >= box.x && y >= box.y && x < box.x + box.width && y < box.y + box.height;
    return sd_bus_reply_method_return(message, "b", inside);
}

int get_layer(sd_bus_message* message, void*, sd_bus_error*)
{
    constexpr uint32_t LAYER_WIDGET = 3;
    return sd_bus_reply_method_return(message, "u", LAYER_WIDGET);
}

int get_alpha(sd_bus_message* message, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(message, "d", 1.0);
}

int grab_focus(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    AtspiObjects::Ref const ref = ref_of(message, userdata);
    AccessibleNode const* node = node_of(self(userdata), ref);
    bool const can = node && focusable(node->role) && node->enabled;
    if (can)
        self(userdata).request(AccessibleRequest::Kind::FOCUS, ref);
    return sd_bus_reply_method_return(message, "b", can);
}

sd_bus_vtable const COMPONENT[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Contains", "iiu", "b", contains, 0),
    SD_BUS_METHOD("GetExtents", "u", "(iiii)", get_extents, 0),
    SD_BUS_METHOD("GetPosition", "u", "ii", get_position, 0),
    SD_BUS_METHOD("GetSize", "", "ii", get_size, 0),
    SD_BUS_METHOD("GetLayer", "", "u", get_layer, 0),
    SD_BUS_METHOD("GetAlpha", "", "d", get_alpha, 0),
    SD_BUS_METHOD("GrabFocus", "", "b", grab_focus, 0),
    SD_BUS_VTABLE_END,
};

// org.a11y.atspi.Action: one action, "click", doing what a tap does.

int get_action_count(sd_bus*, char const*, char const*, char const*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "i", 1);
}

int action_name(sd_bus_message* message, void*, sd_bus_error* error)
{
    int32_t index = 0;
    if (int const read = sd_bus_message_read(message, "i", &index); read < 0)
        return read;
    if (index != 0)
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "one action only");
    return sd_bus_reply_method_return(message, "s", "click");
}

int action_empty(sd_bus_message* message, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(message, "s", "");
}

int get_actions(sd_bus_message* message, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(message, "a(sss)", 1, "click", "click", "");
}

int do_action(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    int32_t index = 0;
    if (int const read = sd_bus_message_read(message, "i", &index); read < 0)
        return read;
    AtspiObjects::Ref const ref = ref_of(message, userdata);
    AccessibleNode const* node = node_of(self(userdata), ref);
    bool const done = index == 0 && node && node->enabled;
    if (done)
        self(userdata).request(AccessibleRequest::Kind::ACTIVATE, ref);
    return sd_bus_reply_method_return(message, "b", done);
}

sd_bus_vtable const ACTION[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("NActions", "i", get_action_count, 0, 0),
    SD_BUS_METHOD("GetName", "i", "s", action_name, 0),
    SD_BUS_METHOD("GetLocalizedName", "i", "s", action_name, 0),
    SD_BUS_METHOD("GetDescription", "i", "s", action_empty, 0),
    SD_BUS_METHOD("GetKeyBinding", "i", "s", action_empty, 0),
    SD_BUS_METHOD("GetActions", "", "a(sss)", get_actions, 0),
    SD_BUS_METHOD("DoAction", "i", "b", do_action, 0),
    SD_BUS_VTABLE_END,
};

// org.a11y.atspi.Value

int get_minimum(sd_bus*, char const*, char const*, char const*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "d", 0.0);
}

int get_maximum(sd_bus*, char const*, char const*, char const*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "d", VALUE_SCALE);
}

int get_increment(sd_bus*, char const*, char const*, char const*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "d", 1.0);
}

int get_current(
    sd_bus*, char const* path, char const*, char const*, sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    AccessibleNode const* node = node_of(self(userdata), self(userdata).resolve(path));
    return sd_bus_message_append(reply, "d", node ? node->value * VALUE_SCALE : 0.0);
}

int set_current(
    sd_bus*, char const* path, char const*, char const*, sd_bus_message* value, void* userdata, sd_bus_error* error)
{
    double wanted = 0;
    if (int const read = sd_bus_message_read(value, "d", &wanted); read < 0)
        return read;
    AtspiObjects::Ref const ref = self(userdata).resolve(path);
    AccessibleNode const* node = node_of(self(userdata), ref);
    if (!node || node->role != AccessibleRole::SLIDER || !node->enabled)
        return sd_bus_error_set(error, SD_BUS_ERROR_PROPERTY_READ_ONLY, "this value is only shown");
    if (!(wanted >= 0 && wanted <= VALUE_SCALE))
        return sd_bus_error_set(error, SD_BUS_ERROR_INVALID_ARGS, "the value lies from 0 to 100");
    self(userdata).request(AccessibleRequest::Kind::SET_VALUE, ref, wanted / VALUE_SCALE);
    return 0;
}

int get_value_text(
    sd_bus*, char const* path, char const*, char const*, sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    AccessibleNode const* node = node_of(self(userdata), self(userdata).resolve(path));
    int const percent = node ? static_cast<int>(node->value * VALUE_SCALE + 0.5) : 0;
    return sd_bus_message_append(reply, "s", (std::to_string(percent) + " %").c_str());
}

sd_bus_vtable const VALUE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("MinimumValue", "d", get_minimum, 0, 0),
    SD_BUS_PROPERTY("MaximumValue", "d", get_maximum, 0, 0),
    SD_BUS_PROPERTY("MinimumIncrement", "d", get_increment, 0, 0),
    SD_BUS_WRITABLE_PROPERTY("CurrentValue", "d", get_current, set_current, 0, 0),
    SD_BUS_PROPERTY("Text", "s", get_value_text, 0, 0),
    SD_BUS_VTABLE_END,
};

// org.a11y.atspi.Text: read only; the text of a field, the name of a label.

int get_character_count(
    sd_bus*, char const* path, char const*, char const*, sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    AccessibleNode const* node = node_of(self(userdata), self(userdata).resolve(path));
    std::string const text = !node ? "" : node->role == AccessibleRole::TEXT ? node->text : node->name;
    return sd_bus_message_append(reply, "i", static_cast<int32_t>(characters(text).size()));
}

int get_caret(sd_bus*, char const* path, char const*, char const*, sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    AccessibleNode const* node = node_of(self(userdata), self(userdata).resolve(path));
    return sd_bus_message_append(reply, "i", node && node->role == AccessibleRole::TEXT ? node->caret : -1);
}

int get_text(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    int32_t start = 0, end = -1;
    if (int const read = sd_bus_message_read(message, "ii", &start, &end); read < 0)
        return read;
    return sd_bus_reply_method_return(
        message, "s", slice(text_of(self(userdata), message, userdata), start, end).c_str());
}

int text_at_offset(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    // Every text here is one line: a reader asking for a word, sentence or line gets all of it.
    std::string const text = text_of(self(userdata), message, userdata);
    return sd_bus_reply_method_return(message, "sii", text.c_str(), 0, static_cast<int32_t>(characters(text).size()));
}

int character_at_offset(sd_bus_message* message, void* userdata, sd_bus_error*)
{
    int32_t offset = 0;
    if (int const read = sd_bus_message_read(message, "i", &offset); read < 0)
        return read;
    std::string const one = slice(text_of(self(userdata), message, userdata), offset, offset + 1);
    int32_t code = 0;
    if (!one.empty()) {
        auto const lead = static_cast<unsigned char>(one[0]);
        code = one.size() == 1 ? lead : lead & (0x7F >> one.size());
        for (size_t i = 1; i < one.size(); ++i)
            code = (code << 6) | (static_cast<unsigned char>(one[i]) & 0x3F);
    }
    return sd_bus_reply_method_return(message, "i", code);
}

int set_caret(sd_bus_message* message, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(message, "b", false);
}

sd_bus_vtable const TEXT[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("CharacterCount", "i", get_character_count, 0, 0),
    SD_BUS_PROPERTY("CaretOffset", "i", get_caret, 0, 0),
    SD_BUS_METHOD("GetText", "ii", "s", get_text, 0),
    SD_BUS_METHOD("GetTextAtOffset", "iu", "sii", text_at_offset, 0),
    SD_BUS_METHOD("GetStringAtOffset", "iu", "sii", text_at_offset, 0),
    SD_BUS_METHOD("GetCharacterAtOffset", "i", "i", character_at_offset, 0),
    SD_BUS_METHOD("SetCaretOffset", "i", "b", set_caret, 0),
    SD_BUS_VTABLE_END,
};

// org.a11y.atspi.Cache: readers that ask for a cache get an empty one and ask each object instead.
int cache_items(sd_bus_message* message, void*, sd_bus_error*)
{
    return sd_bus_reply_method_return(message, "a((so)(so)(so)iiassusau)", 0);
}

sd_bus_vtable const CACHE[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("GetItems", "", "a((so)(so)(so)iiassusau)", cache_items, 0),
    SD_BUS_VTABLE_END,
};

} // namespace

AtspiObjects::AtspiObjects(std::string application_name)
    : name_(std::move(application_name))
{
}

AtspiObjects::~AtspiObjects()
{
    detach();
}

bool AtspiObjects::attach(sd_bus* bus)
{
    bus_ = bus;
    struct Table {
        char const* interface;
        sd_bus_vtable const* vtable;
        sd_bus_object_find_t find;
    };
    Table const tables[] = {
        { "org.a11y.atspi.Accessible", ACCESSIBLE, find<any> },
        { "org.a11y.atspi.Application", APPLICATION, find<is_root> },
        { "org.a11y.atspi.Component", COMPONENT, find<not_root> },
        { "org.a11y.atspi.Action", ACTION, find<node_acts> },
        { "org.a11y.atspi.Value", VALUE, find<node_has_value> },
        { "org.a11y.atspi.Text", TEXT, find<node_has_text> },
    };
    for (Table const& table : tables) {
        sd_bus_slot* slot = nullptr;
        if (sd_bus_add_fallback_vtable(bus, &slot, PREFIX, table.interface, table.vtable, table.find, this) < 0)
            return false;
        slots_.push_back(slot);
    }
    sd_bus_slot* slot = nullptr;
    if (sd_bus_add_object_vtable(bus, &slot, "/org/a11y/atspi/cache", "org.a11y.atspi.Cache", CACHE, this) >= 0)
        slots_.push_back(slot);
    char const* unique = nullptr;
    if (sd_bus_get_unique_name(bus, &unique) < 0 || !unique)
        return false;
    unique_name_ = unique;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int const embedded = sd_bus_call_method(bus, "org.a11y.atspi.Registry", ROOT_PATH, "org.a11y.atspi.Socket", "Embed",
        &error, &reply, "(so)", unique_name_.c_str(), ROOT_PATH);
    char const* desktop = nullptr;
    char const* desktop_path = nullptr;
    if (embedded >= 0 && sd_bus_message_read(reply, "(so)", &desktop, &desktop_path) >= 0) {
        desktop_name_ = desktop;
        desktop_path_ = desktop_path;
    }
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return embedded >= 0;
}

void AtspiObjects::detach()
{
    for (sd_bus_slot* slot : slots_)
        sd_bus_slot_unref(slot);
    slots_.clear();
    bus_ = nullptr;
}

uint32_t AtspiObjects::id_for(std::string const& key)
{
    auto const [at, added] = ids_.try_emplace(key, next_id_);
    if (added) {
        keys_[next_id_] = key;
        ++next_id_;
    }
    return at->second;
}

AtspiObjects::Ref AtspiObjects::resolve(char const* path) const
{
    if (!path || std::strncmp(path, PREFIX, std::strlen(PREFIX)) != 0)
        return {};
    if (std::strcmp(path, ROOT_PATH) == 0)
        return { Kind::ROOT, -1 };
    if (std::strcmp(path, FRAME_PATH) == 0)
        return { Kind::FRAME, -1 };
    char const* tail = path + std::strlen(PREFIX);
    if (*tail != '/' || !has_tree_)
        return {};
    char* end = nullptr;
    unsigned long const id = std::strtoul(tail + 1, &end, 10);
    if (end == tail + 1 || *end)
        return {};
    auto const key = keys_.find(static_cast<uint32_t>(id));
    if (key == keys_.end())
        return {};
    if (key->second == tree_.form_key)
        return { Kind::FORM, -1 };
    for (size_t i = 0; i < tree_.nodes.size(); ++i)
        if (tree_.nodes[i].key == key->second)
            return { Kind::NODE, static_cast<int32_t>(i) };
    return {};
}

std::string AtspiObjects::path_of(Ref ref) const
{
    std::string const* key = nullptr;
    switch (ref.kind) {
    case Kind::ROOT:
        return ROOT_PATH;
    case Kind::FRAME:
        return FRAME_PATH;
    case Kind::FORM:
        key = &tree_.form_key;
        break;
    case Kind::NODE:
        key = &tree_.nodes[static_cast<size_t>(ref.index)].key;
        break;
    default:
        return "/org/a11y/atspi/null";
    }
    auto const id = ids_.find(*key);
    return id == ids_.end() ? "/org/a11y/atspi/null" : std::string(PREFIX) + "/" + std::to_string(id->second);
}

std::vector<int32_t> AtspiObjects::children(Ref ref) const
{
    switch (ref.kind) {
    case Kind::ROOT:
        return { -1 };
    case Kind::FRAME:
        return has_tree_ ? std::vector<int32_t> { -1 } : std::vector<int32_t> {};
    case Kind::FORM:
    case Kind::NODE: {
        std::vector<int32_t> out;
        int32_t const parent = ref.kind == Kind::FORM ? -1 : ref.index;
        for (size_t i = 0; i < tree_.nodes.size(); ++i)
            if (tree_.nodes[i].parent == parent)
                out.push_back(static_cast<int32_t>(i));
        return out;
    }
    default:
        return {};
    }
}

AtspiObjects::Ref AtspiObjects::parent(Ref ref) const
{
    switch (ref.kind) {
    case Kind::FRAME:
        return { Kind::ROOT, -1 };
    case Kind::FORM:
        return { Kind::FRAME, -1 };
    case Kind::NODE: {
        int32_t const parent = tree_.nodes[static_cast<size_t>(ref.index)].parent;
        return parent < 0 ? Ref { Kind::FORM, -1 } : Ref { Kind::NODE, parent };
    }
    default:
        return {};
    }
}

void AtspiObjects::request(AccessibleRequest::Kind kind, Ref ref, double value)
{
    if (on_request && ref.kind == Kind::NODE)
        on_request({ kind, tree_.nodes[static_cast<size_t>(ref.index)].key, value });
}

std::vector<AtspiEvent> AtspiObjects::update(AccessibleTree tree, uint64_t now)
{
    std::vector<AtspiEvent> events;
    auto focused_key = [](AccessibleTree const& t) {
        for (auto const& node : t.nodes)
            if (node.focused)
                return node.key;
        return std::string(FORM_KEY);
    };
    bool const new_form = !has_tree_ || tree.form_key != tree_.form_key;
    AccessibleTree const old_tree = std::exchange(tree_, std::move(tree));
    std::map<std::string, AccessibleNode const*> before;
    if (!new_form)
        for (auto const& node : old_tree.nodes)
            before[node.key] = &node;
    std::string const old_focus = has_tree_ ? focused_key(old_tree) : std::string("-");
    std::string const& old_form = old_tree.form_key;
    bool const had_tree = has_tree_;
    has_tree_ = true;
    id_for(tree_.form_key);
    for (auto const& node : tree_.nodes)
        id_for(node.key);
    if (new_form) {
        // Old keys are kept: a reader holding an object of the old form finds it gone, not another.
        announced_.clear();
        held_.clear();
        if (had_tree)
            events.push_back({ "frame", "ChildrenChanged", "remove", 0, old_form });
        events.push_back({ "frame", "ChildrenChanged", "add", 0, FORM_KEY });
    } else {
        std::set<std::string> now_keys;
        for (size_t i = 0; i < tree_.nodes.size(); ++i) {
            AccessibleNode const& node = tree_.nodes[i];
            now_keys.insert(node.key);
            std::string const parent = node.parent < 0 ? FORM_KEY : tree_.nodes[static_cast<size_t>(node.parent)].key;
            auto const was = before.find(node.key);
            if (was == before.end()) {
                events.push_back({ parent, "ChildrenChanged", "add", 0, node.key });
                continue;
            }
            AccessibleNode const& old = *was->second;
            if (old.name != node.name) {
                if (node.role == AccessibleRole::LABEL) {
                    auto const last = announced_.find(node.key);
                    if (last != announced_.end() && now < last->second + LABEL_ANNOUNCE_USEC)
                        held_[node.key] = node.name;
                    else {
                        announced_[node.key] = now;
                        held_.erase(node.key);
                        events.push_back({ node.key, "PropertyChange", "accessible-name", 0, node.name });
                    }
                } else {
                    events.push_back({ node.key, "PropertyChange", "accessible-name", 0, node.name });
                }
            }
            // A level meter moves all the time: a reader reads it when asked, and hears only sliders move.
            if (old.value != node.value && node.role == AccessibleRole::SLIDER)
                events.push_back({ node.key, "PropertyChange", "accessible-value", 0, {} });
            if (old.checked != node.checked)
                events.push_back({ node.key, "StateChanged", "checked", node.checked, {} });
            if (old.enabled != node.enabled)
                events.push_back({ node.key, "StateChanged", "sensitive", node.enabled, {} });
            if (old.selected != node.selected)
                events.push_back({ node.key, "StateChanged", "selected", node.selected, {} });
            if (old.text != node.text)
                events.push_back({ node.key, "PropertyChange", "accessible-name", 0, node.name });
        }
        for (auto const& [key, node] : before)
            if (!now_keys.count(key)) {
                held_.erase(key);
                std::string const parent
                    = node->parent < 0 ? FORM_KEY : old_tree.nodes[static_cast<size_t>(node->parent)].key;
                events.push_back({ parent, "ChildrenChanged", "remove", 0, key });
            }
    }
    std::string const focus = focused_key(tree_);
    if (new_form || focus != old_focus) {
        if (!new_form && old_focus != FORM_KEY)
            events.push_back({ old_focus, "StateChanged", "focused", 0, {} });
        events.push_back({ focus, "StateChanged", "focused", 1, {} });
        events.push_back({ focus, "Focus", "", 0, {} });
    }
    emit(events);
    return events;
}

std::vector<AtspiEvent> AtspiObjects::announce_due(uint64_t now)
{
    std::vector<AtspiEvent> events;
    for (auto it = held_.begin(); it != held_.end();) {
        uint64_t& last = announced_[it->first];
        if (now < last + LABEL_ANNOUNCE_USEC) {
            ++it;
            continue;
        }
        last = now;
        events.push_back({ it->first, "PropertyChange", "accessible-name", 0, it->second });
        it = held_.erase(it);
    }
    emit(events);
    return events;
}

uint64_t AtspiObjects::next_announcement() const
{
    uint64_t next = UINT64_MAX;
    for (auto const& held : held_)
        if (auto const last = announced_.find(held.first); last != announced_.end())
            next = std::min(next, last->second + LABEL_ANNOUNCE_USEC);
    return next;
}

void AtspiObjects::emit(std::vector<AtspiEvent> const& events)
{
    if (!bus_)
        return;
    auto path_for = [this](std::string const& key) {
        if (key == "frame")
            return std::string(FRAME_PATH);
        auto const id = ids_.find(key);
        return id == ids_.end() ? std::string() : std::string(PREFIX) + "/" + std::to_string(id->second);
    };
    for (AtspiEvent const& event : events) {
        std::string const path = path_for(event.object);
        if (path.empty())
            continue;
        bool const focus = event.member == "Focus";
        sd_bus_message* signal = nullptr;
        if (sd_bus_message_new_signal(bus_, &signal, path.c_str(),
                focus ? "org.a11y.atspi.Event.Focus" : "org.a11y.atspi.Event.Object", event.member.c_str())
            < 0)
            continue;
        sd_bus_message_append(signal, "sii", event.kind.c_str(), event.detail, 0);
        if (event.member == "ChildrenChanged") {
            std::string const child = path_for(event.data);
            sd_bus_message_append(signal, "v", "(so)", unique_name_.c_str(), child.c_str());
        } else if (event.kind == "accessible-name") {
            sd_bus_message_append(signal, "v", "s", event.data.c_str());
        } else {
            sd_bus_message_append(signal, "v", "i", 0);
        }
        sd_bus_message_append(signal, "a{sv}", 0);
        sd_bus_send(bus_, signal, nullptr);
        sd_bus_message_unref(signal);
    }
}

} // namespace platform
