#pragma once

#include "Color.h"
#include "DisplayInfo.h"
#include "FontRep.h"
#include "PictureRef.h"
#include "Point.h"
#include "SkinFile.h"

#include <core/Stopwatch.h>
#include <core/Strings.h>
#include <lang/Dictionary.h>

#include <memory>
#include <set>
#include <vector>

namespace skin {

class NodeRegistry;
class SkinListener;

// A loaded skin: the file block read in place, the pictures and fonts its string area names, its
// strings, the display scale, the listeners to tell when the skin is replaced, and the language
// dictionary that the skin's texts pass through.
// Threads: main thread only.
class PropertiesImpl {
public:
    // Empty: no skin held.
    PropertiesImpl();
    // Loads the skin at `path`; on any failure the object holds no skin (has_skin false).
    PropertiesImpl(core::StringView path, DisplayInfo const& display);
    virtual ~PropertiesImpl();
    PropertiesImpl(PropertiesImpl const&) = delete;
    PropertiesImpl& operator=(PropertiesImpl const&) = delete;

    bool has_skin() const { return file_ != nullptr; }
    int32_t scale_shift() const { return scale_shift_; }

    ElementRecord find_entry(core::StringView name) const;
    uint32_t child_count(ElementRecord record) const;
    ElementRecord child_record(ElementRecord record, uint32_t i) const;
    // Elements in a tree built from the record (see SkinFile::element_count).
    uint32_t element_count(ElementRecord record) const;

    // The element types that records name; set once by the application (not owned).
    void set_node_registry(NodeRegistry const* registry) { registry_ = registry; }
    NodeRegistry const* node_registry() const { return registry_; }
    // The font of text elements that name none: "Tahoma", 10 points, unscaled; made on first use.
    FontHandle const& default_font() const;

    // Typed lookups: the property of the key in the record's list of that kind, or the default. Points
    // and picture corners are scaled by scale_shift; defaults are returned as given.
    int32_t lookup_int(ElementRecord record, core::StringView key, int32_t fallback) const;
    FontHandle lookup_font(ElementRecord record, core::StringView key, FontHandle const& fallback) const;
    Point lookup_point(ElementRecord record, core::StringView key, Point fallback) const;
    core::String lookup_string(ElementRecord record, core::StringView key, core::StringView fallback) const;
    PictureRef lookup_picture(ElementRecord record, core::StringView key, PictureRef const& fallback) const;
    // Alpha 255 for a colour of the skin; the default keeps its own alpha.
    Color lookup_color(ElementRecord record, core::StringView key, Color fallback) const;

    // The dictionary's text for `text`, or `text` itself.
    core::String translate(core::StringView text) const { return dictionary_.translate(text); }
    lang::Dictionary& dictionary() { return dictionary_; }
    lang::Dictionary const& dictionary() const { return dictionary_; }

    // Tells every listener, in the set's order, then logs the time it took. A listener may leave the
    // set (or be destroyed) while it is told.
    void send_reload_skin();

    std::vector<PictureHandle> const& pictures() const { return pictures_; }
    std::vector<PictureHolder const*> const& picture_holders() const { return holders_; }
    std::vector<FontHandle> const& fonts() const { return fonts_; }
    std::vector<core::String> const& strings() const { return strings_; }
    SkinFile const* file() const { return file_.get(); }

protected:
    // Exchanges every skin field (not the listeners, the dictionary, the registry or the default font).
    void swap_skin(PropertiesImpl& other);

private:
    friend class SkinListener;
    void add_listener(SkinListener* listener) { listeners_.insert(listener); }
    void remove_listener(SkinListener* listener) { listeners_.erase(listener); }

    bool load(core::StringView path, DisplayInfo const& display);
    bool load_pictures(core::StringView path, SkinFile const& file, core::Stopwatch& stopwatch);
    PictureHandle load_double(core::StringView name, PictureHolder const& picture);

    std::unique_ptr<SkinFile> file_;
    std::vector<PictureHandle> pictures_;
    std::vector<PictureHolder const*> holders_;
    // Per picture, its drawing at twice the size (NAME@2x.bmp) on 192-dpi screens, or null: drawn as it
    // is instead of every pixel doubled.
    std::vector<PictureHandle> pictures_2x_;
    std::vector<FontHandle> fonts_;
    std::vector<core::String> strings_;
    int32_t scale_shift_ = 0;
    std::set<SkinListener*> listeners_;
    lang::Dictionary dictionary_;
    NodeRegistry const* registry_ = nullptr;
    mutable FontHandle default_font_;
};

} // namespace skin
