#pragma once

#include "accessible_tree.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <systemd/sd-bus.h>
#include <vector>

// The AT-SPI2 objects of the program on the accessibility bus: the application at
// /org/a11y/atspi/accessible/root, its frame, the top form and one object per element of the tree, with
// the Accessible, Component, Action, Value and Text interfaces that fit each. Also what changed between
// two trees, as the events a screen reader listens for.
//
// Only the accessibility bridge includes this header. Threads: the bridge's bus thread only.
namespace platform {

// One event for a screen reader, before it is put on the bus.
struct AtspiEvent {
    // The object: a node's key, or "" for the form, or "frame".
    std::string object;
    // "StateChanged", "PropertyChange", "ChildrenChanged" (interface org.a11y.atspi.Event.Object) or
    // "Focus" (org.a11y.atspi.Event.Focus).
    std::string member;
    std::string kind;
    int32_t detail = 0;
    // ChildrenChanged: the child's key ("" for the form); PropertyChange accessible-name: the new name.
    std::string data;

    bool operator==(AtspiEvent const&) const = default;
};

// Changes of a label's name (the running time) are announced at most this often.
constexpr uint64_t LABEL_ANNOUNCE_USEC = 1'000'000;

class AtspiObjects {
public:
    explicit AtspiObjects(std::string application_name);
    ~AtspiObjects();
    AtspiObjects(AtspiObjects const&) = delete;
    AtspiObjects& operator=(AtspiObjects const&) = delete;

    // Puts the objects on the bus and embeds the application in the registry's desktop.
    bool attach(sd_bus* bus);
    void detach();

    // Takes the new tree and returns (and, when attached, sends) what changed for a reader; `now` in
    // microseconds of a monotonic clock.
    std::vector<AtspiEvent> update(AccessibleTree tree, uint64_t now);
    // Label names whose announcement was held back and is due now.
    std::vector<AtspiEvent> announce_due(uint64_t now);
    // When the next held-back announcement is due; UINT64_MAX for none.
    uint64_t next_announcement() const;

    // A reader asked an element to do something.
    std::function<void(AccessibleRequest)> on_request;

    // Looking objects up by path (for the interfaces' handlers).
    enum class Kind { NONE, ROOT, FRAME, FORM, NODE };
    struct Ref {
        Kind kind = Kind::NONE;
        int32_t index = -1;
    };
    Ref resolve(char const* path) const;
    std::string path_of(Ref ref) const;
    AccessibleTree const& tree() const { return tree_; }
    std::string const& application_name() const { return name_; }
    std::string const& unique_name() const { return unique_name_; }
    std::string const& desktop_name() const { return desktop_name_; }
    std::string const& desktop_path() const { return desktop_path_; }
    int32_t application_id = 0;
    std::vector<int32_t> children(Ref ref) const;
    Ref parent(Ref ref) const;
    void request(AccessibleRequest::Kind kind, Ref ref, double value = 0);

private:
    uint32_t id_for(std::string const& key);
    void emit(std::vector<AtspiEvent> const& events);

    std::string name_;
    AccessibleTree tree_;
    bool has_tree_ = false;
    std::map<std::string, uint32_t> ids_;
    std::map<uint32_t, std::string> keys_;
    uint32_t next_id_ = 1;
    // Per label key: when its name was last announced, and a name held back.
    std::map<std::string, uint64_t> announced_;
    std::map<std::string, std::string> held_;
    sd_bus* bus_ = nullptr;
    // Each interface's members as sd-bus reads them, for as long as the slots may use them.
    std::vector<std::vector<sd_bus_vtable>> vtables_;
    std::vector<sd_bus_slot*> slots_;
    std::string unique_name_;
    std::string desktop_name_;
    std::string desktop_path_ = "/org/a11y/atspi/null";
};

} // namespace platform
