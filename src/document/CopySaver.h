#pragma once

#include <core/CActive.h>
#include <core/Strings.h>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <platform/services/file_chooser.h>

namespace document {

// Saves a copy of a recording where the user says, through the desktop's file chooser. Where no chooser
// can be asked (no portal runs, or it fails), the copy goes into the user's music folder under a name
// that nothing there has. A cancelled chooser saves nothing; a copy that fails leaves nothing behind.
//
// Threads: main thread, with the scheduler running; the chooser answers on its own thread, where the copy
// is made, and `done` is called back on the main thread.
class CopySaver final : private core::CActive {
public:
    enum class Outcome {
        SAVED, // where the user chose
        SAVED_TO_MUSIC, // into the music folder, for want of a chooser
        CANCELLED,
        FAILED,
    };
    struct Result {
        Outcome outcome = Outcome::FAILED;
        core::String path; // where the copy is (SAVED, SAVED_TO_MUSIC) or was to be (FAILED)
    };
    using Done = std::function<void(Result const&)>;

    explicit CopySaver(Done done);
    ~CopySaver() override;

    // Asks where to save a copy of the file at `path` (the chooser's window called `title`); `done` gets
    // the result later. False, asking nothing, while an earlier save is still waiting for its answer.
    bool save(core::StringView path, core::StringView title);
    bool is_waiting() const { return is_active(); }

private:
    void run() override;
    void do_cancel() override;
    // On the chooser's thread.
    Result copy_for(platform::SaveFileChooser::Answer const& answer) const;
    Result copy_to(core::String const& destination) const;
    Result copy_to_music() const;

    Done done_;
    core::String source_;
    std::mutex mutex_;
    std::optional<Result> result_;
    bool notified_ = false; // the scheduler has been told of the answer (or of the cancel)
    std::unique_ptr<platform::SaveFileChooser> chooser_;
};

} // namespace document
