#pragma once

#include <platform/services/notifier.h>
#include <platform/services/registry_store.h>

#include <memory>

// The phone publisher of a real Linux phone, run inside the notifier service: the calls of ModemManager
// (system bus) become the phone state in the registry store, exactly as the simulator writes it, and the
// speaker hook-switch requests go to callaudiod (session bus), whose speaker state becomes "Speaker".
// While ModemManager is not on the bus it publishes nothing, so the simulator's values stand.
//
// Threads: start/registry_changed/stop on the service's main thread. The D-Bus work runs on a thread of
// its own with its own GLib main context (see phone_service.cpp).
namespace platform {

class PhoneService final : public ServiceCompanion {
public:
    explicit PhoneService(RegistryStore& store = RegistryStore::instance());
    ~PhoneService() override;

    void start() override;
    void registry_changed() override;
    void stop() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
