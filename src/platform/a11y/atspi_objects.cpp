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

constexpr char const* CACHE_PATH = "/org/a11y/atspi/cache";

// AT-SPI2's roles (AtspiRole): the number and the name a reader is given.
struct Role {
    uint32_t number;
    char const* name;
};
constexpr Role APPLICATION_ROLE { 75, "application" };
constexpr Role FRAME_ROLE { 23, "frame" };
constexpr std::pair<AccessibleRole, Role> ROLES[] = {
    { AccessibleRole::PANEL, { 39, "panel" } },
    { AccessibleRole::DIALOG, { 16, "dialog" } },
    { AccessibleRole::PUSH_BUTTON, { 43, "push button" } },
    { AccessibleRole::CHECK_BOX, { 7, "check box" } },
    { AccessibleRole::LABEL, { 29, "label" } },
    { AccessibleRole::LIST, { 31, "list" } },
    { AccessibleRole::LIST_ITEM, { 32, "list item" } },
    { AccessibleRole::SLIDER, { 51, "slider" } },
    { AccessibleRole::PROGRESS_BAR, { 42, "progress bar" } },
    { AccessibleRole::TEXT, { 61, "text" } },
};

// AT-SPI2's states (AtspiStateType).
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
// AtspiComponentLayer: every element is a widget.
constexpr uint32_t LAYER_WIDGET = 3;

Role role_info(AccessibleRole role)
{
    for (auto const& [of, info] : ROLES)
        if (of == role)
            return info;
    return ROLES[0].second;
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

Role role_of(AtspiObjects const& objects, AtspiObjects::Ref ref)
{
    switch (ref.kind) {
    case AtspiObjects::Kind::ROOT:
        return APPLICATION_ROLE;
    case AtspiObjects::Kind::FRAME:
        return FRAME_ROLE;
    case AtspiObjects::Kind::FORM:
        return role_info(objects.tree().form_role);
    default:
        return role_info(node_of(objects, ref)->role);
    }
}

// The text a reader reads: a field's text, any other element's name.
std::string text_of(AccessibleNode const* node)
{
    if (!node)
        return {};
    return node->role == AccessibleRole::TEXT ? node->text : node->name;
}

// A child as a reader sees it: the root holds the frame, the frame the form, the rest the tree's nodes.
AtspiObjects::Ref child_ref(AtspiObjects::Ref parent, int32_t index)
{
    if (parent.kind == AtspiObjects::Kind::ROOT)
        return { AtspiObjects::Kind::FRAME, -1 };
    if (parent.kind == AtspiObjects::Kind::FRAME)
        return { AtspiObjects::Kind::FORM, -1 };
    return { AtspiObjects::Kind::NODE, index };
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

// The interfaces, each with the objects that have it.
using Has = bool (*)(AtspiObjects const&, AtspiObjects::Ref);

struct Interface {
    char const* name;
    Has has;
    // Where it stands: every object under PREFIX that `has` it, or this one path.
    char const* path = nullptr;
};

constexpr char const* ACCESSIBLE = "org.a11y.atspi.Accessible";
constexpr char const* APPLICATION = "org.a11y.atspi.Application";
constexpr char const* COMPONENT = "org.a11y.atspi.Component";
constexpr char const* ACTION = "org.a11y.atspi.Action";
constexpr char const* VALUE = "org.a11y.atspi.Value";
constexpr char const* TEXT = "org.a11y.atspi.Text";
constexpr char const* CACHE = "org.a11y.atspi.Cache";

Interface const INTERFACES[] = {
    { ACCESSIBLE, [](AtspiObjects const&, AtspiObjects::Ref) { return true; } },
    { APPLICATION, [](AtspiObjects const&, AtspiObjects::Ref ref) { return ref.kind == AtspiObjects::Kind::ROOT; } },
    { COMPONENT, [](AtspiObjects const&, AtspiObjects::Ref ref) { return ref.kind != AtspiObjects::Kind::ROOT; } },
    { ACTION,
        [](AtspiObjects const& objects, AtspiObjects::Ref ref) {
            AccessibleNode const* node = node_of(objects, ref);
            return node && acts(node->role);
        } },
    { VALUE,
        [](AtspiObjects const& objects, AtspiObjects::Ref ref) {
            AccessibleNode const* node = node_of(objects, ref);
            return node && has_value(node->role);
        } },
    { TEXT,
        [](AtspiObjects const& objects, AtspiObjects::Ref ref) {
            AccessibleNode const* node = node_of(objects, ref);
            return node && has_text(node->role);
        } },
    // Readers that ask for a cache get an empty one and ask each object instead.
    { CACHE, nullptr, CACHE_PATH },
};

// One call on an object: a method's arguments are read from `in` and its results appended to `out`; a
// property's value is appended to `out`, or its new value read from `in`.
struct Call {
    AtspiObjects& objects;
    AtspiObjects::Ref ref;
    sd_bus_message* in;
    sd_bus_message* out;
    sd_bus_error* error;

    AccessibleNode const* node() const { return node_of(objects, ref); }
    template <typename... Values> int reply(char const* signature, Values... values)
    {
        return sd_bus_message_append(out, signature, values...);
    }
    template <typename... Places> int read(char const* signature, Places... places)
    {
        return sd_bus_message_read(in, signature, places...);
    }
};

using Handler = int (*)(Call&);

int locale(Call& call)
{
    char const* locale = std::getenv("LANG");
    return call.reply("s", locale ? locale : "C");
}

int child_at_index(Call& call)
{
    int32_t index = 0;
    if (int const read = call.read("i", &index); read < 0)
        return read;
    auto const children = call.objects.children(call.ref);
    if (index < 0 || static_cast<size_t>(index) >= children.size())
        return sd_bus_error_set(call.error, SD_BUS_ERROR_INVALID_ARGS, "no child at that index");
    return append_ref(call.out, call.objects, child_ref(call.ref, children[static_cast<size_t>(index)]));
}

int get_children(Call& call)
{
    int result = sd_bus_message_open_container(call.out, 'a', "(so)");
    for (int32_t index : call.objects.children(call.ref))
        if (result >= 0)
            result = append_ref(call.out, call.objects, child_ref(call.ref, index));
    return result < 0 ? result : sd_bus_message_close_container(call.out);
}

int index_in_parent(Call& call)
{
    int32_t index = 0;
    if (call.ref.kind == AtspiObjects::Kind::NODE) {
        auto const siblings = call.objects.children(call.objects.parent(call.ref));
        auto const at = std::find(siblings.begin(), siblings.end(), call.ref.index);
        index = static_cast<int32_t>(at - siblings.begin());
    } else if (call.ref.kind == AtspiObjects::Kind::ROOT) {
        index = -1;
    }
    return call.reply("i", index);
}

int get_state(Call& call)
{
    uint32_t words[2] = { 0, 0 };
    for (uint32_t state : states_of(call.objects, call.ref))
        words[state / 32] |= 1u << (state % 32);
    return call.reply("au", 2, words[0], words[1]);
}

int get_interfaces(Call& call)
{
    int result = sd_bus_message_open_container(call.out, 'a', "s");
    for (Interface const& interface : INTERFACES)
        if (result >= 0 && !interface.path && interface.has(call.objects, call.ref))
            result = sd_bus_message_append(call.out, "s", interface.name);
    return result < 0 ? result : sd_bus_message_close_container(call.out);
}

// Component: the window's own pixels; where the window lies on the screen is the window system's to say.
struct Box {
    int32_t x = 0, y = 0, width = 0, height = 0;
};

Box box_of(Call const& call)
{
    if (AccessibleNode const* node = call.node())
        return { node->x, node->y, node->width, node->height };
    return { 0, 0, call.objects.tree().width, call.objects.tree().height };
}

int contains(Call& call)
{
    int32_t x = 0, y = 0;
    uint32_t coordinates = 0;
    if (int const read = call.read("iiu", &x, &y, &coordinates); read < 0)
        return read;
    Box const box = box_of(call);
    return call.reply("b", x >= box.x && y >= box.y && x < box.x + box.width && y < box.y + box.height);
}

int grab_focus(Call& call)
{
    AccessibleNode const* node = call.node();
    bool const can = node && focusable(node->role) && node->enabled;
    if (can)
        call.objects.request(AccessibleRequest::Kind::FOCUS, call.ref);
    return call.reply("b", can);
}

// Action: one action, "click", doing what a tap does.
int action_name(Call& call)
{
    int32_t index = 0;
    if (int const read = call.read("i", &index); read < 0)
        return read;
    if (index != 0)
        return sd_bus_error_set(call.error, SD_BUS_ERROR_INVALID_ARGS, "one action only");
    return call.reply("s", "click");
}

int do_action(Call& call)
{
    int32_t index = 0;
    if (int const read = call.read("i", &index); read < 0)
        return read;
    AccessibleNode const* node = call.node();
    bool const done = index == 0 && node && node->enabled;
    if (done)
        call.objects.request(AccessibleRequest::Kind::ACTIVATE, call.ref);
    return call.reply("b", done);
}

int set_value(Call& call)
{
    double wanted = 0;
    if (int const read = call.read("d", &wanted); read < 0)
        return read;
    AccessibleNode const* node = call.node();
    if (!node || node->role != AccessibleRole::SLIDER || !node->enabled)
        return sd_bus_error_set(call.error, SD_BUS_ERROR_PROPERTY_READ_ONLY, "this value is only shown");
    if (!(wanted >= 0 && wanted <= VALUE_SCALE))
        return sd_bus_error_set(call.error, SD_BUS_ERROR_INVALID_ARGS, "the value lies from 0 to 100");
    call.objects.request(AccessibleRequest::Kind::SET_VALUE, call.ref, wanted / VALUE_SCALE);
    return 0;
}

// Text: read only; the text of a field, the name of a label.
int get_text(Call& call)
{
    int32_t start = 0, end = -1;
    if (int const read = call.read("ii", &start, &end); read < 0)
        return read;
    return call.reply("s", slice(text_of(call.node()), start, end).c_str());
}

int character_at_offset(Call& call)
{
    int32_t offset = 0;
    if (int const read = call.read("i", &offset); read < 0)
        return read;
    std::string const one = slice(text_of(call.node()), offset, offset + 1);
    int32_t code = 0;
    if (!one.empty()) {
        auto const lead = static_cast<unsigned char>(one[0]);
        code = one.size() == 1 ? lead : lead & (0x7F >> one.size());
        for (size_t i = 1; i < one.size(); ++i)
            code = (code << 6) | (static_cast<unsigned char>(one[i]) & 0x3F);
    }
    return call.reply("i", code);
}

int text_at_offset(Call& call)
{
    // Every text here is one line: a reader asking for a word, sentence or line gets all of it.
    std::string const text = text_of(call.node());
    return call.reply("sii", text.c_str(), 0, static_cast<int32_t>(characters(text).size()));
}

// What each interface answers. A property has its type as `signature` and no `result`; a method has
// both; a property with a setter can be written.
struct Member {
    char const* interface;
    char const* name;
    char const* signature;
    char const* result;
    Handler handler;
    Handler set = nullptr;
};

constexpr char const* PROPERTY = nullptr;

Member const MEMBERS[] = {
    { ACCESSIBLE, "Name", "s", PROPERTY, [](Call& c) { return c.reply("s", name_of(c.objects, c.ref).c_str()); } },
    { ACCESSIBLE, "Description", "s", PROPERTY, [](Call& c) { return c.reply("s", ""); } },
    { ACCESSIBLE, "Parent", "(so)", PROPERTY,
        [](Call& c) { return append_ref(c.out, c.objects, c.objects.parent(c.ref)); } },
    { ACCESSIBLE, "ChildCount", "i", PROPERTY,
        [](Call& c) { return c.reply("i", static_cast<int32_t>(c.objects.children(c.ref).size())); } },
    { ACCESSIBLE, "Locale", "s", PROPERTY, locale },
    { ACCESSIBLE, "AccessibleId", "s", PROPERTY,
        [](Call& c) { return c.reply("s", c.node() ? c.node()->key.c_str() : ""); } },
    { ACCESSIBLE, "GetChildAtIndex", "i", "(so)", child_at_index },
    { ACCESSIBLE, "GetChildren", "", "a(so)", get_children },
    { ACCESSIBLE, "GetIndexInParent", "", "i", index_in_parent },
    { ACCESSIBLE, "GetRelationSet", "", "a(ua(so))", [](Call& c) { return c.reply("a(ua(so))", 0); } },
    { ACCESSIBLE, "GetRole", "", "u", [](Call& c) { return c.reply("u", role_of(c.objects, c.ref).number); } },
    { ACCESSIBLE, "GetRoleName", "", "s", [](Call& c) { return c.reply("s", role_of(c.objects, c.ref).name); } },
    { ACCESSIBLE, "GetLocalizedRoleName", "", "s",
        [](Call& c) { return c.reply("s", role_of(c.objects, c.ref).name); } },
    { ACCESSIBLE, "GetState", "", "au", get_state },
    { ACCESSIBLE, "GetAttributes", "", "a{ss}", [](Call& c) { return c.reply("a{ss}", 1, "toolkit", "Ravelin"); } },
    { ACCESSIBLE, "GetApplication", "", "(so)",
        [](Call& c) { return c.reply("(so)", c.objects.unique_name().c_str(), ROOT_PATH); } },
    { ACCESSIBLE, "GetInterfaces", "", "as", get_interfaces },

    { APPLICATION, "ToolkitName", "s", PROPERTY, [](Call& c) { return c.reply("s", "Ravelin"); } },
    { APPLICATION, "Version", "s", PROPERTY, [](Call& c) { return c.reply("s", "2.1"); } },
    { APPLICATION, "AtspiVersion", "s", PROPERTY, [](Call& c) { return c.reply("s", "2.1"); } },
    { APPLICATION, "Id", "i", PROPERTY, [](Call& c) { return c.reply("i", c.objects.application_id); },
        [](Call& c) { return c.read("i", &c.objects.application_id); } },
    { APPLICATION, "GetLocale", "u", "s", locale },

    { COMPONENT, "Contains", "iiu", "b", contains },
    { COMPONENT, "GetExtents", "u", "(iiii)",
        [](Call& c) {
            Box const box = box_of(c);
            return c.reply("(iiii)", box.x, box.y, box.width, box.height);
        } },
    { COMPONENT, "GetPosition", "u", "ii", [](Call& c) { return c.reply("ii", box_of(c).x, box_of(c).y); } },
    { COMPONENT, "GetSize", "", "ii", [](Call& c) { return c.reply("ii", box_of(c).width, box_of(c).height); } },
    { COMPONENT, "GetLayer", "", "u", [](Call& c) { return c.reply("u", LAYER_WIDGET); } },
    { COMPONENT, "GetAlpha", "", "d", [](Call& c) { return c.reply("d", 1.0); } },
    { COMPONENT, "GrabFocus", "", "b", grab_focus },

    { ACTION, "NActions", "i", PROPERTY, [](Call& c) { return c.reply("i", 1); } },
    { ACTION, "GetName", "i", "s", action_name },
    { ACTION, "GetLocalizedName", "i", "s", action_name },
    { ACTION, "GetDescription", "i", "s", [](Call& c) { return c.reply("s", ""); } },
    { ACTION, "GetKeyBinding", "i", "s", [](Call& c) { return c.reply("s", ""); } },
    { ACTION, "GetActions", "", "a(sss)", [](Call& c) { return c.reply("a(sss)", 1, "click", "click", ""); } },
    { ACTION, "DoAction", "i", "b", do_action },

    { VALUE, "MinimumValue", "d", PROPERTY, [](Call& c) { return c.reply("d", 0.0); } },
    { VALUE, "MaximumValue", "d", PROPERTY, [](Call& c) { return c.reply("d", VALUE_SCALE); } },
    { VALUE, "MinimumIncrement", "d", PROPERTY, [](Call& c) { return c.reply("d", 1.0); } },
    { VALUE, "CurrentValue", "d", PROPERTY,
        [](Call& c) { return c.reply("d", c.node() ? c.node()->value * VALUE_SCALE : 0.0); }, set_value },
    { VALUE, "Text", "s", PROPERTY,
        [](Call& c) {
            int const percent = c.node() ? static_cast<int>(c.node()->value * VALUE_SCALE + 0.5) : 0;
            return c.reply("s", (std::to_string(percent) + " %").c_str());
        } },

    { TEXT, "CharacterCount", "i", PROPERTY,
        [](Call& c) { return c.reply("i", static_cast<int32_t>(characters(text_of(c.node())).size())); } },
    { TEXT, "CaretOffset", "i", PROPERTY,
        [](Call& c) {
            return c.reply("i", c.node() && c.node()->role == AccessibleRole::TEXT ? c.node()->caret : -1);
        } },
    { TEXT, "GetText", "ii", "s", get_text },
    { TEXT, "GetTextAtOffset", "iu", "sii", text_at_offset },
    { TEXT, "GetStringAtOffset", "iu", "sii", text_at_offset },
    { TEXT, "GetCharacterAtOffset", "i", "i", character_at_offset },
    { TEXT, "SetCaretOffset", "i", "b", [](Call& c) { return c.reply("b", false); } },

    { CACHE, "GetItems", "", "a((so)(so)(so)iiassusau)",
        [](Call& c) { return c.reply("a((so)(so)(so)iiassusau)", 0); } },
};

Member const* member_of(char const* interface, char const* name)
{
    if (!interface || !name)
        return nullptr;
    for (Member const& member : MEMBERS)
        if (std::strcmp(member.interface, interface) == 0 && std::strcmp(member.name, name) == 0)
            return &member;
    return nullptr;
}

// sd-bus's entry points: each finds the member by its interface and name and runs its handler.

int find_object(sd_bus*, char const* path, char const* interface, void* userdata, void** found, sd_bus_error*)
{
    AtspiObjects::Ref const ref = self(userdata).resolve(path);
    for (Interface const& each : INTERFACES)
        if (each.has && std::strcmp(each.name, interface) == 0 && ref.kind != AtspiObjects::Kind::NONE
            && each.has(self(userdata), ref)) {
            *found = userdata;
            return 1;
        }
    return 0;
}

int run_method(sd_bus_message* message, void* userdata, sd_bus_error* error)
{
    Member const* member = member_of(sd_bus_message_get_interface(message), sd_bus_message_get_member(message));
    if (!member)
        return sd_bus_error_set(error, SD_BUS_ERROR_UNKNOWN_METHOD, "no such method");
    sd_bus_message* reply = nullptr;
    if (int const made = sd_bus_message_new_method_return(message, &reply); made < 0)
        return made;
    Call call { self(userdata), self(userdata).resolve(sd_bus_message_get_path(message)), message, reply, error };
    int result = member->handler(call);
    if (result >= 0)
        result = sd_bus_send(nullptr, reply, nullptr);
    sd_bus_message_unref(reply);
    return result;
}

int get_property(sd_bus*, char const* path, char const* interface, char const* property, sd_bus_message* reply,
    void* userdata, sd_bus_error* error)
{
    Member const* member = member_of(interface, property);
    if (!member)
        return sd_bus_error_set(error, SD_BUS_ERROR_UNKNOWN_PROPERTY, "no such property");
    Call call { self(userdata), self(userdata).resolve(path), nullptr, reply, error };
    return member->handler(call);
}

int set_property(sd_bus*, char const* path, char const* interface, char const* property, sd_bus_message* value,
    void* userdata, sd_bus_error* error)
{
    Member const* member = member_of(interface, property);
    if (!member || !member->set)
        return sd_bus_error_set(error, SD_BUS_ERROR_PROPERTY_READ_ONLY, "this property is only shown");
    Call call { self(userdata), self(userdata).resolve(path), value, nullptr, error };
    return member->set(call);
}

std::vector<sd_bus_vtable> vtable_of(char const* interface)
{
    std::vector<sd_bus_vtable> vtable;
    vtable.push_back(SD_BUS_VTABLE_START(0));
    for (Member const& m : MEMBERS) {
        if (std::strcmp(m.interface, interface) != 0)
            continue;
        if (m.result)
            vtable.push_back(SD_BUS_METHOD(m.name, m.signature, m.result, run_method, 0));
        else if (m.set)
            vtable.push_back(SD_BUS_WRITABLE_PROPERTY(m.name, m.signature, get_property, set_property, 0, 0));
        else
            vtable.push_back(SD_BUS_PROPERTY(m.name, m.signature, get_property, 0, 0));
    }
    vtable.push_back(SD_BUS_VTABLE_END);
    return vtable;
}

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
    if (vtables_.empty())
        for (Interface const& interface : INTERFACES)
            vtables_.push_back(vtable_of(interface.name));
    for (size_t i = 0; i < std::size(INTERFACES); ++i) {
        Interface const& interface = INTERFACES[i];
        sd_bus_slot* slot = nullptr;
        int const added = interface.path
            ? sd_bus_add_object_vtable(bus, &slot, interface.path, interface.name, vtables_[i].data(), this)
            : sd_bus_add_fallback_vtable(bus, &slot, PREFIX, interface.name, vtables_[i].data(), find_object, this);
        // The objects answer without the cache; without any other interface they do not.
        if (added < 0 && !interface.path)
            return false;
        if (added >= 0)
            slots_.push_back(slot);
    }
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
