#pragma once

#include "registry_store.h"

#include <functional>

// The loop of a service that acts on changes of the registry store (the notifier, the phone simulator's
// serve): it calls `on_change` at once and after every change any process makes, and `on_child` when a
// child process ended, until SIGTERM or SIGINT arrives. Blocks on the store's files and the signals; no
// polling beyond a long safety timeout.
//
// Threads: the calling thread, which should be the process's only one (the signals are blocked here).
namespace platform {

void watch_registry(
    RegistryStore& store, std::function<void()> const& on_change, std::function<void()> const& on_child = {});

} // namespace platform
