#include "Session.h"

#include <cstdio>
#include <os/Paths.h>

namespace cli {

using document::DocumentEvent;

core::StringView Session::failure_key() const
{
    return document::failure_text_key(failure_);
}

Session::Session(document::Document::Services services)
    : scheduler_(u"VizuvevClass_ravelin-cli")
{
    english_.load(os::expand_path(u"%app_path%/english.lng"));
    document_ = std::make_unique<document::Document>(std::move(services));
    document_->add_listener(this);
}

Session::~Session()
{
    document_->remove_listener(this);
    document_.reset();
}

void Session::on_document_event(DocumentEvent const& event)
{
    events_.push_back(event);
    if (!document::failure_text_key(event).empty())
        failure_ = event;
    if (event.code == DocumentEvent::STOPPED)
        stopped_ = true;
}

std::string Session::text(core::StringView key) const
{
    return core::to_utf8(english_.translate(key));
}

int Session::fail_with(core::StringView key) const
{
    return fail(EXIT_FAILURE_, text(key));
}

namespace {

// A field of a tab-separated line: tabs and line ends in a tag's text become spaces.
std::string field(core::StringView text)
{
    std::string out = core::to_utf8(text);
    for (auto& c : out)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return out;
}

} // namespace

void Session::print_records()
{
    for (auto const& r : document_->records().entries()) {
        auto const& t = r.time;
        std::printf("%04d-%02d-%02dT%02d:%02d:%02d\t%s\t%s\t%s\t%s\t%s\n", t.year, t.month, t.day, t.hour, t.minute,
            t.second, field(r.size).c_str(), field(r.album).c_str(), field(r.artist).c_str(), field(r.title).c_str(),
            field(r.path).c_str());
    }
}

} // namespace cli
