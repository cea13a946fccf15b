#include "phone_service.h"

#include "call_audio.h"
#include "modem_manager.h"

#include <cstdio>
#include <gio/gio.h>
#include <platform/phone/phone_publisher.h>
#include <thread>

namespace platform {

// GLib runs on a thread of the service rather than in its main loop: the notifier's loop blocks on the
// registry store's folder watch and a signal descriptor and knows nothing of GLib, while libmm-glib and
// GDBus want a GLib main context to dispatch in. That thread runs the process's global default context:
// nothing else in the service uses GLib, and libmm-glib's object manager subscribes to its signals from
// a worker thread of its asynchronous set-up, where they land in the global default context and not in
// a thread-default one. So every D-Bus callback, every registry write of the phone state and every
// speaker request happen on that one thread; the main thread only hands it "the store changed" and
// "stop" as idle sources attached to the context, which is safe from any thread.
struct PhoneService::Impl {
    RegistryStore& store;
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    std::thread thread;
    // Only touched on the GLib thread:
    PhonePublisher publisher { store };
    std::unique_ptr<ModemCalls> modems;
    std::unique_ptr<CallAudio> audio;

    explicit Impl(RegistryStore& s)
        : store(s)
    {
    }

    void run()
    {
        g_main_context_push_thread_default(context);
        modems = std::make_unique<ModemCalls>([this](bool present, std::vector<PhoneCall> const& calls) {
            // Gone mid-call, ModemManager takes its calls along: they end.
            publisher.publish(present ? summarise_calls(calls) : PhoneSummary {});
            check_requests();
        });
        audio = std::make_unique<CallAudio>([this](bool on) {
            publisher.write_speaker(on);
            check_requests();
        });
        g_main_loop_run(loop);
        modems.reset();
        audio.reset();
        // Replies still under way finish (cancelled) before the context goes.
        while (g_main_context_iteration(context, FALSE)) { }
        g_main_context_pop_thread_default(context);
    }

    // A speaker request goes to callaudiod. On a phone without it (ModemManager here, callaudiod not) the
    // request is dropped, since nobody else would carry it out; with neither, it is left for the
    // simulator's `ravelin-phone serve`.
    void check_requests()
    {
        if (!audio || !modems)
            return;
        if (audio->present()) {
            if (auto const on = publisher.take_speaker_request())
                audio->enable_speaker(*on);
        } else if (modems->present()) {
            if (auto const on = publisher.take_speaker_request())
                std::fprintf(stderr,
                    "ravelin-notifier: no callaudiod on the session bus: the request to switch the speaker %s is "
                    "dropped\n",
                    *on ? "on" : "off");
        } else if (publisher.has_speaker_request() != told_left) {
            // Said once a request, so that whoever waits on it knows the service has seen and left it.
            told_left = !told_left;
            if (told_left)
                std::fprintf(stderr, "ravelin-notifier: the speaker request is left to the phone simulator\n");
        }
    }
    bool told_left = false;

    static gboolean registry_changed(gpointer data)
    {
        static_cast<Impl*>(data)->check_requests();
        return G_SOURCE_REMOVE;
    }
    static gboolean quit(gpointer data)
    {
        g_main_loop_quit(static_cast<Impl*>(data)->loop);
        return G_SOURCE_REMOVE;
    }

    // Always dispatched on the GLib thread, even before its loop runs (g_main_context_invoke would call
    // at once on the calling thread while nobody owns the context).
    void post(GSourceFunc function)
    {
        GSource* source = g_idle_source_new();
        g_source_set_callback(source, function, this, nullptr);
        g_source_attach(source, context);
        g_source_unref(source);
    }
};

PhoneService::PhoneService(RegistryStore& store)
    : impl_(std::make_unique<Impl>(store))
{
}

PhoneService::~PhoneService()
{
    stop();
}

void PhoneService::start()
{
    if (impl_->thread.joinable())
        return;
    impl_->context = g_main_context_ref(g_main_context_default());
    impl_->loop = g_main_loop_new(impl_->context, FALSE);
    impl_->thread = std::thread([this] { impl_->run(); });
}

void PhoneService::registry_changed()
{
    if (impl_->context)
        impl_->post(Impl::registry_changed);
}

void PhoneService::stop()
{
    if (!impl_->thread.joinable())
        return;
    impl_->post(Impl::quit);
    impl_->thread.join();
    g_main_loop_unref(impl_->loop);
    g_main_context_unref(impl_->context);
    impl_->loop = nullptr;
    impl_->context = nullptr;
}

} // namespace platform
