#include <platform/a11y/atspi_objects.h>

#include <gtest/gtest.h>

using platform::AccessibleNode;
using platform::AccessibleRole;
using platform::AccessibleTree;
using platform::AtspiEvent;
using platform::AtspiObjects;
using Events = std::vector<AtspiEvent>;

namespace {

constexpr uint64_t MS = 1000;

AccessibleNode node(std::string key, AccessibleRole role, std::string name, bool focused = false)
{
    AccessibleNode n;
    n.key = std::move(key);
    n.role = role;
    n.name = std::move(name);
    n.focused = focused;
    return n;
}

// The recording screen: the running time and the stop button.
AccessibleTree recording(std::string time, bool stop_focused = false)
{
    AccessibleTree tree;
    tree.form_key = "FormRecording";
    tree.nodes = { node("FormRecording/frmElapsed", AccessibleRole::LABEL, std::move(time)),
        node("FormRecording/btnClose", AccessibleRole::PUSH_BUTTON, "Stop", stop_focused),
        node("FormRecording/pbLevel", AccessibleRole::PROGRESS_BAR, "Level"),
        node("FormRecording/pbVAS", AccessibleRole::SLIDER, "Voice activation threshold") };
    return tree;
}

AtspiEvent name_change(std::string key, std::string name)
{
    return { std::move(key), "PropertyChange", "accessible-name", 0, std::move(name) };
}

} // namespace

// The running time changes every second; a reader hears it at most once a second, and always the latest.
TEST(AtspiObjectsTest, ALabelsNameIsAnnouncedAtMostOnceASecondAndTheLastOneIsNotLost)
{
    AtspiObjects objects("Ravelin");
    objects.update(recording("0:00:00"), 0);
    std::string const label = "FormRecording/frmElapsed";
    EXPECT_EQ(objects.update(recording("0:00:01"), 100 * MS), Events { name_change(label, "0:00:01") });
    EXPECT_EQ(objects.update(recording("0:00:02"), 500 * MS), Events {});
    EXPECT_EQ(objects.update(recording("0:00:03"), 900 * MS), Events {});
    EXPECT_EQ(objects.next_announcement(), 1100 * MS);
    EXPECT_EQ(objects.announce_due(1000 * MS), Events {});
    EXPECT_EQ(objects.announce_due(1100 * MS), Events { name_change(label, "0:00:03") });
    EXPECT_EQ(objects.next_announcement(), UINT64_MAX);
    // A button's name is not held back.
    AccessibleTree renamed = recording("0:00:03");
    renamed.nodes[1].name = "Stop now";
    EXPECT_EQ(objects.update(renamed, 1200 * MS), Events { name_change("FormRecording/btnClose", "Stop now") });
    // A slider's move is told; the level meter's, which never rests, is not.
    renamed.nodes[2].value = renamed.nodes[3].value = 0.5;
    EXPECT_EQ(objects.update(renamed, 1300 * MS),
        (Events { { "FormRecording/pbVAS", "PropertyChange", "accessible-value", 0, "" } }));
}

// A new form replaces the old one under the frame and takes the focus; within a form the focus moves
// from one element to the next; rows that come and go are children added and removed.
TEST(AtspiObjectsTest, FormsFocusAndChildrenChangesAreTheEventsAReaderFollows)
{
    AtspiObjects objects("Ravelin");
    EXPECT_EQ(objects.update(recording("0:00:00"), 0),
        (Events { { "frame", "ChildrenChanged", "add", 0, "" }, { "", "StateChanged", "focused", 1, "" },
            { "", "Focus", "", 0, "" } }));
    EXPECT_EQ(objects.update(recording("0:00:00", true), 10 * MS),
        (Events { { "FormRecording/btnClose", "StateChanged", "focused", 1, "" },
            { "FormRecording/btnClose", "Focus", "", 0, "" } }));

    AccessibleTree list;
    list.form_key = "FormMain";
    list.nodes = { node("FormMain/list", AccessibleRole::LIST, "") };
    EXPECT_EQ(objects.update(list, 20 * MS),
        (Events { { "frame", "ChildrenChanged", "remove", 0, "FormRecording" },
            { "frame", "ChildrenChanged", "add", 0, "" }, { "", "StateChanged", "focused", 1, "" },
            { "", "Focus", "", 0, "" } }));
    AccessibleTree rows = list;
    rows.nodes.push_back(node("FormMain/list/row0", AccessibleRole::LIST_ITEM, "Voice note"));
    rows.nodes.back().parent = 0;
    EXPECT_EQ(objects.update(rows, 30 * MS),
        (Events { { "FormMain/list", "ChildrenChanged", "add", 0, "FormMain/list/row0" } }));
    EXPECT_EQ(objects.update(list, 40 * MS),
        (Events { { "FormMain/list", "ChildrenChanged", "remove", 0, "FormMain/list/row0" } }));
}

// Paths name the same element for as long as it is shown; the application and frame have their own.
TEST(AtspiObjectsTest, PathsResolveToTheElementsTheyNamed)
{
    AtspiObjects objects("Ravelin");
    EXPECT_EQ(objects.resolve("/org/a11y/atspi/accessible/1").kind, AtspiObjects::Kind::NONE);
    objects.update(recording("0:00:00"), 0);
    auto const stop = AtspiObjects::Ref { AtspiObjects::Kind::NODE, 1 };
    std::string const path = objects.path_of(stop);
    EXPECT_EQ(objects.resolve(path.c_str()).index, 1);
    EXPECT_EQ(objects.resolve("/org/a11y/atspi/accessible/root").kind, AtspiObjects::Kind::ROOT);
    EXPECT_EQ(objects.resolve("/org/a11y/atspi/accessible/frame").kind, AtspiObjects::Kind::FRAME);
    for (char const* wrong : { "/org/a11y/atspi/accessible/99", "/org/a11y/atspi/accessible/1x", "/elsewhere/1", "" })
        EXPECT_EQ(objects.resolve(wrong).kind, AtspiObjects::Kind::NONE) << wrong;
    // The same element after a change elsewhere keeps its path.
    objects.update(recording("0:00:05"), 2000 * MS);
    EXPECT_EQ(objects.path_of(stop), path);
    EXPECT_EQ(objects.parent(stop).kind, AtspiObjects::Kind::FORM);
}
