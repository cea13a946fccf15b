#pragma once

#include <skin/FormHarness.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace skin {
class ListModel;
}

namespace skinc {

// Sample content that shows a skin's forms as a user would see them, read from a sample file (UTF-8):
//
//     [FormMainFilter]                 a preview; its name is the entry unless "entry" says otherwise
//     entry FormMain
//     over FormMain                    shown as a popup over the preview (or entry) of that name
//     hide btnFilter list              elements made invisible
//     show KeyboardContainer           elements made visible
//     text frmArtist Ann Lee           a text element's text, or a button's caption (translated)
//     value pbLevel 0.6                a progress bar's value
//     value waveform 0.38              a waveform's sample peaks, played to that share
//     picture icon main_memory         an image takes the picture "src" of that skin node
//     rows list Record                 the rows of a list, drawn from that entry, one "row" line each:
//     row icon=@card_incoming | artist=Ann Lee | -checked | MenuElement4Buttons:
//
// A row's fields are "ID=text", "ID=@NODE" (a picture), "-ID" (hidden), "+ID" (shown), and "ENTRY:"
// draws that row from another entry. Blank lines and lines starting with "#" are ignored.
struct Sample {
    struct Row {
        std::string entry;
        std::vector<std::string> fields;
    };
    struct List {
        std::string id;
        std::vector<Row> rows;
        int32_t selected = -1;
    };
    struct Preview {
        std::string name;
        std::string entry;
        std::string over;
        std::vector<std::pair<std::string, std::vector<std::string>>> actions; // verb, arguments
        std::vector<List> lists;
    };
    std::vector<Preview> previews;

    Preview const* find(std::string const& name) const;
};

// Reads a sample file; false with the reason (file and line) when it cannot be read or a line is wrong.
bool read_sample(std::string const& path, Sample& sample, std::string& error);

// A preview on screen: the forms it shows and the row models of its lists, kept alive together.
class PreviewScreen {
public:
    PreviewScreen(skin::FormHarness& harness, Sample const& sample);
    ~PreviewScreen();
    PreviewScreen(PreviewScreen const&) = delete;
    PreviewScreen& operator=(PreviewScreen const&) = delete;

    // Shows the preview (or the plain entry `name` when the sample has no such preview), plays the
    // animations to their end and paints. Throws the skin's exceptions for a missing entry or element.
    void show(std::string const& name);
    skin::Form& top() const { return *forms_.back(); }

private:
    void show_one(std::string const& name, bool popup);

    skin::FormHarness& harness_;
    Sample const& sample_;
    std::vector<std::unique_ptr<skin::Form>> forms_;
    std::vector<std::unique_ptr<skin::ListModel>> models_;
};

// One line per visible element with an id: "id x y width height" in screen pixels, depth first.
void print_rects(skin::Element const& root, std::ostream& out);

} // namespace skinc
