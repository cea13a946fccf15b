#pragma once

#include "accessible_tree.h"

#include <cstdint>
#include <memory>
#include <string>

// The program's elements on the desktop's accessibility bus (AT-SPI2), for screen readers such as Orca.
// Nothing is connected until an assistive technology is on: start() asks the session bus once, on the
// bridge's own thread, whether the accessibility bus says so (org.a11y.Status IsEnabled or
// ScreenReaderEnabled); when neither is true the thread ends there and the program never hears of the
// bridge again. NO_AT_BRIDGE=1 skips even that question.
//
// Threads: start(), update(), take_request() and the destructor on the owner's (main) thread; the bus
// is served on the bridge's thread. A request of the screen reader (press, set a value, focus) reaches
// the owner as the thread message `message` and is taken with take_request().
namespace platform {

class AccessibilityBridge {
public:
    AccessibilityBridge(uint32_t owner_thread, uint32_t message, std::string application_name);
    ~AccessibilityBridge();
    AccessibilityBridge(AccessibilityBridge const&) = delete;
    AccessibilityBridge& operator=(AccessibilityBridge const&) = delete;

    // Asks in the background whether an assistive technology is on, and connects when it is.
    void start();
    // True once the bridge is on the accessibility bus: only then is the tree worth making.
    bool active() const;
    // The top form as it is now; the bridge tells the screen reader what changed.
    void update(AccessibleTree tree);
    // The oldest request not yet carried out.
    bool take_request(AccessibleRequest& request);

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
