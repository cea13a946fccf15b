#pragma once

#include "Commands.h"

#include <core/CActiveScheduler.h>
#include <document/Document.h>
#include <lang/Dictionary.h>
#include <memory>
#include <vector>

namespace cli {

// The Document as the program runs it, without a window: the scheduler (for its tick and the folder
// scan), the Document itself, the English texts for its messages, and the events it sends.
//
// Threads: main thread.
class Session final : public document::DocumentListener {
public:
    explicit Session(document::Document::Services services = {});
    ~Session() override;

    document::Document& document() { return *document_; }
    // Dispatches messages until `done` answers true (or the quit message arrives).
    template <typename Done> void run_until(Done done) { core::run_messages_until(done); }

    std::vector<document::DocumentEvent> const& events() const { return events_; }
    // The last failure event (9, 10, 11, or 12: a recording refused), or 0.
    int32_t failure() const { return failure_.code; }
    // The language key of its message.
    core::StringView failure_key() const;
    bool stopped() const { return stopped_; }
    void clear_stopped() { stopped_ = false; }
    // The English text of a language key.
    std::string text(core::StringView key) const;
    // The failure's message on standard error; answers EXIT_FAILURE_.
    int fail_with(core::StringView key) const;

    // One line per record, tab-separated: local time, size, album, artist, title, path.
    void print_records();

private:
    void on_document_event(document::DocumentEvent const& event) override;

    core::CActiveScheduler scheduler_;
    lang::Dictionary english_;
    std::unique_ptr<document::Document> document_;
    std::vector<document::DocumentEvent> events_;
    document::DocumentEvent failure_ {};
    bool stopped_ = false;
};

} // namespace cli
