#pragma once

#include <core/Strings.h>
#include <memory>

namespace document {
class Document;
}
namespace platform {
class StopSignalWatcher;
}

namespace app {

class Application;
class Starter;

// The three long-lived objects of a running program, built in their order (Application, Document,
// Starter) and destroyed in the reverse one. SIGINT and SIGTERM stop a running recording (the file keeps
// everything captured) and close the window.
// Threads: main thread; the stop signals must be blocked before any thread starts.
class Program {
public:
    static constexpr core::StringView NAME = u"Ravelin";

    explicit Program(core::String const& command_line);
    ~Program();

    // The message loop, until the quit message.
    void run();

    Application& application() { return *application_; }
    document::Document& document() { return *document_; }
    Starter& starter() { return *starter_; }

private:
    std::unique_ptr<Application> application_;
    std::unique_ptr<document::Document> document_;
    std::unique_ptr<Starter> starter_;
    std::unique_ptr<platform::StopSignalWatcher> signals_;
};

// The entry point: the single-instance check, then the program until its window closes. Returns 0 in
// every case.
int win_main(core::String const& command_line);

} // namespace app
