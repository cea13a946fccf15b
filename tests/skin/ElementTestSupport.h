#pragma once

#include "SkinTestSupport.h"

#include <skin/Element.h>
#include <skin/ElementListener.h>
#include <skin/ElementTypes.h>
#include <skin/FormBinding.h>
#include <skin/FormHarness.h>
#include <skin/InputEvents.h>
#include <skin/KeyNames.h>
#include <skin/VisibilityAnimation.h>
#include <skin/widgets/ButtonElement.h>
#include <skin/widgets/CheckboxElement.h>
#include <skin/widgets/EditElement.h>
#include <skin/widgets/LabelEditElement.h>
#include <skin/widgets/ListRow.h>
#include <skin/widgets/OldTextElement.h>
#include <skin/widgets/ProgressElement.h>
#include <skin/widgets/TableElement.h>
#include <skin/widgets/TextElement.h>
#include <skin/widgets/VListElement.h>

namespace skin_testing {

// A root that takes input, as a form does: its input list in order and its active edit.
class TestHost : public skin::Element, public skin::InputHost {
public:
    TestHost()
        : Element(nullptr)
    {
    }
    ~TestHost() override { clear_children(); }

    void add_input(skin::Element* element) override { inputs.push_back(element); }
    void remove_input(skin::Element* element) override { std::erase(inputs, element); }
    skin::EditElement* active_edit() const override { return edit; }
    void set_active_edit(skin::EditElement* e) override { edit = e; }
    uint32_t input_time() const override { return 0; }

    std::vector<skin::Element*> inputs;
    skin::EditElement* edit = nullptr;
};

// An element whose measure is given, for layouts built by code.
class FixedElement : public skin::Element {
public:
    FixedElement(Element* parent, skin::Extent x, skin::Extent y = {})
        : Element(parent)
        , x_(x)
        , y_(y)
    {
    }
    void measure_x(skin::Extent& extent) override
    {
        ++measures;
        extent = x_;
    }
    void measure_y(skin::Extent& extent) override { extent = y_; }
    int measures = 0;

private:
    skin::Extent x_, y_;
};

// A compiled test skin (or one at an absolute path) with the fifteen element types registered.
class SkinFixture {
public:
    explicit SkinFixture(std::string const& name, int32_t dpi = 96)
    {
        skin::register_element_types(registry);
        properties.set_node_registry(&registry);
        loaded = properties.load_skin(name[0] == '/' ? core::from_utf8(name) : skin_path(name), display(dpi));
    }

    // The entry loaded into a fresh input-taking root, laid out over [0, width) x [0, height).
    std::unique_ptr<TestHost> build(core::StringView entry, int32_t width = 200, int32_t height = 100)
    {
        auto host = std::make_unique<TestHost>();
        EXPECT_TRUE(host->reload_from(properties, entry)) << core::to_utf8(entry);
        host->set_geometry_x(0, width);
        host->set_geometry_y(0, height);
        return host;
    }

    skin::NodeRegistry registry;
    skin::Properties properties;
    bool loaded = false;
};

// What buttons report, in order: 'c' click, 'p' press change (flag: cancelled or disabled), 'd' drag.
struct Report {
    char kind;
    skin::Element* source;
    skin::Point point;
    bool flag;
    skin::Point movement;
    friend bool operator==(Report const&, Report const&) = default;
};

class Recorder : public skin::ButtonListener, public skin::ElementListener {
public:
    void on_click(skin::Element* source, skin::ButtonEvent const& e) override
    {
        reports.push_back({ 'c', source, e.point, e.flag, {} });
        if (on_clicked)
            on_clicked(source);
    }
    void on_press_changed(skin::Element* source, skin::ButtonEvent const& e) override
    {
        reports.push_back({ 'p', source, e.point, e.flag, {} });
    }
    void on_drag(skin::Element* source, skin::DragEvent& drag) override
    {
        reports.push_back({ 'd', source, drag.point, false, drag.movement });
        drag.consumed_x = consume_x ? drag.movement.x : 0;
    }
    // The kinds of the reports (of one source) in order.
    std::string kinds(skin::Element* source = nullptr) const
    {
        std::string k;
        for (auto const& r : reports)
            if (!source || r.source == source)
                k += r.kind;
        return k;
    }
    std::vector<Report> reports;
    bool consume_x = false;
    std::function<void(skin::Element*)> on_clicked;
};

template <typename Type> Type* find(skin::Element& root, core::StringView id)
{
    auto* found = dynamic_cast<Type*>(root.find_child(id));
    EXPECT_NE(found, nullptr) << core::to_utf8(id);
    return found;
}

// A pen event at (x, y): down or up, and cancelled.
inline skin::PenEvent pen(int32_t x, int32_t y, bool down, bool cancel = false)
{
    return { x, y, 0, 0, static_cast<uint8_t>(down), static_cast<uint8_t>(cancel) };
}

// forms.skin in a 120 x 160 window.
inline std::unique_ptr<skin::FormHarness> form_harness(skin::Point size = { 120, 160 }, int32_t dpi = 96)
{
    auto harness = std::make_unique<skin::FormHarness>(skin_path("forms.skin"), size, dpi);
    EXPECT_TRUE(harness->loaded());
    return harness;
}

// A row built from a skin entry, remembering how it was bound.
class SkinRow : public skin::ListRow {
public:
    SkinRow(skin::PropertiesImpl const& properties, core::StringView entry)
    {
        skin::load_entry(*this, properties, entry);
    }
    void bind_row(skin::VListElement*, int32_t flags) override { binds.push_back(flags); }
    std::vector<int32_t> binds;
};

// A list model of rows of one skin entry; records the rows made and the taps.
class RowModel : public skin::ListModel {
public:
    RowModel(skin::PropertiesImpl const& properties, core::StringView entry = u"Record")
        : properties_(properties)
        , entry_(entry)
    {
    }
    void on_row_clicked(skin::VListElement* list, int32_t index) override
    {
        clicks.push_back(index);
        if (on_clicked)
            on_clicked(list, index);
    }
    std::unique_ptr<skin::ListRow> create_row(skin::VListElement*, int32_t index) override
    {
        made.push_back(index);
        return std::make_unique<SkinRow>(properties_, entry_);
    }
    std::vector<int32_t> clicks, made;
    std::function<void(skin::VListElement*, int32_t)> on_clicked;

private:
    skin::PropertiesImpl const& properties_;
    core::String entry_;
};

} // namespace skin_testing
