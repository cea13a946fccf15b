#include "CopySaver.h"

#include "RecordStore.h"

#include <core/Log.h>
#include <os/FileInfo.h>
#include <os/FileSystem.h>
#include <os/Paths.h>
#include <platform/filesystem.h>
#include <platform/services/shell.h>

namespace document {

CopySaver::CopySaver(Done done)
    : done_(std::move(done))
{
}

CopySaver::~CopySaver()
{
    cancel();
}

bool CopySaver::save(core::StringView path, core::StringView title)
{
    if (is_active())
        return false;
    source_ = os::expand_path(path);
    if (!chooser_)
        chooser_ = std::make_unique<platform::SaveFileChooser>();
    notified_ = false;
    set_active();
    chooser_->ask(core::String(title), os::file_name(source_), [this](platform::SaveFileChooser::Answer const& answer) {
        // The copy is made here, on the chooser's thread: an hour of WAV is hundreds of megabytes, which
        // would hold the screen still.
        Result const result = copy_for(answer);
        {
            std::lock_guard lock(mutex_);
            result_ = result;
            notified_ = true;
        }
        notify();
    });
    return true;
}

void CopySaver::do_cancel()
{
    // Ending the chooser's thread ends its question: no answer comes after it, and one that came is
    // already on its way.
    chooser_.reset();
    std::lock_guard lock(mutex_);
    if (!notified_) {
        notified_ = true;
        notify();
    }
}

void CopySaver::run()
{
    std::optional<Result> result;
    {
        std::lock_guard lock(mutex_);
        result.swap(result_);
    }
    if (result && done_)
        done_(*result);
}

CopySaver::Result CopySaver::copy_for(platform::SaveFileChooser::Answer const& answer) const
{
    using Kind = platform::SaveFileChooser::Answer::Kind;
    if (answer.kind == Kind::CHOSEN)
        return copy_to(answer.path);
    if (answer.kind == Kind::NO_PORTAL) {
        core::log() << u"CopySaver: no file chooser (" << core::from_utf8(answer.problem) << u")\n";
        return copy_to_music();
    }
    return { Outcome::CANCELLED, {} };
}

CopySaver::Result CopySaver::copy_to(core::String const& destination) const
{
    if (platform::copy_file(source_, destination, platform::CopyTarget::REPLACE))
        return { Outcome::SAVED, destination };
    core::log() << u"CopySaver: cannot copy to " << destination << u" error=" << platform::last_error() << u"\n";
    return { Outcome::FAILED, destination };
}

CopySaver::Result CopySaver::copy_to_music() const
{
    core::String const folder = platform::music_folder();
    os::create_directory(folder);
    core::String const destination = make_file_name(os::base_name(source_), folder, os::extension(source_));
    if (platform::copy_file(source_, destination, platform::CopyTarget::NEW))
        return { Outcome::SAVED_TO_MUSIC, destination };
    core::log() << u"CopySaver: cannot copy to " << destination << u" error=" << platform::last_error() << u"\n";
    return { Outcome::FAILED, destination };
}

} // namespace document
