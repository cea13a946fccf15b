#pragma once

#include "ElementTestSupport.h"

#include <gtest/gtest.h>
#include <skin/FormBinding.h>
#include <skin/FormHarness.h>
#include <skin/widgets/ListModel.h>
#include <skin/widgets/ListRow.h>
#include <skin/widgets/VListElement.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace skin_testing {

// forms.skin in a 120 x 160 window.
inline std::unique_ptr<skin::FormHarness> form_harness(skin::Point size = { 120, 160 }, int32_t dpi = 96)
{
    auto harness = std::make_unique<skin::FormHarness>(core::from_utf8(compiled_skins() + "/forms.skin"), size, dpi);
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
    std::vector<int32_t> clicks;
    std::vector<int32_t> made;
    std::function<void(skin::VListElement*, int32_t)> on_clicked;

private:
    skin::PropertiesImpl const& properties_;
    core::String entry_;
};

} // namespace skin_testing
