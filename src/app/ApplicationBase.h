#pragma once

#include <core/CActiveScheduler.h>
#include <core/Singleton.h>
#include <core/Strings.h>

#include <memory>

namespace app {

// The process's application record: its name, the window-class name ("VizuvevClass_" + name) and the
// scheduler that runs every timer and deferred completion on the main thread.
// Threads: main thread only.
class ApplicationBase : public core::Singleton<ApplicationBase> {
public:
    explicit ApplicationBase(core::String const& name);
    virtual ~ApplicationBase();

    core::String const& name() const { return name_; }
    core::String const& window_class() const { return window_class_; }
    core::CActiveScheduler& scheduler() { return *scheduler_; }

private:
    core::String window_class_;
    core::String name_;
    std::unique_ptr<core::CActiveScheduler> scheduler_;
};

} // namespace app
