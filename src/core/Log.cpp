#include "Log.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace core {

TextSink::~TextSink() = default;
LogSource::~LogSource() = default;

namespace {

struct LogHolder {
    std::mutex mutex;
    LogSource* source = nullptr;
    std::shared_ptr<TextSink> sink;
    bool is_file = false;
};

LogHolder& holder()
{
    // Never destroyed: threads may still log while the process ends.
    static auto* instance = new LogHolder;
    return *instance;
}

} // namespace

LogStream& LogStream::operator<<(StringView text)
{
    if (!text.empty())
        sink_->write(text.data(), text.size());
    return *this;
}

LogStream& LogStream::operator<<(char const* text)
{
    if (sink_->discards() || !text)
        return *this;
    char16_t buffer[256];
    size_t n = 0;
    for (; text[n] && n < 256; ++n)
        buffer[n] = static_cast<unsigned char>(text[n]);
    if (text[n] == 0)
        return *this << StringView(buffer, n);
    return *this << from_utf8(text);
}

LogStream& LogStream::operator<<(double number)
{
    if (sink_->discards())
        return *this;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", number);
    return *this << static_cast<char const*>(buffer);
}

void set_log_source(LogSource* source)
{
    auto& h = holder();
    std::lock_guard lock(h.mutex);
    h.source = source;
    h.sink.reset();
}

LogStream log()
{
    auto& h = holder();
    std::lock_guard lock(h.mutex);
    bool const on = h.source && h.source->logging_on();
    if (!h.sink || h.is_file != on) {
        h.sink.reset(); // the old file closes once no writer holds it any more
        std::unique_ptr<TextSink> fresh;
        if (on)
            fresh = h.source->open_file();
        h.sink = fresh ? std::shared_ptr<TextSink>(std::move(fresh)) : std::make_shared<NullSink>();
        h.is_file = on;
    }
    return LogStream(h.sink);
}

void fatal_error(StringView where, StringView message)
{
    {
        auto stream = log();
        stream << u"Gluck: " << message << u" @ " << where << u"\n";
        stream.flush();
    }
    std::fprintf(stderr, "ravelin: fatal: %s @ %s\n", to_utf8(message).c_str(), to_utf8(where).c_str());
    std::fflush(stderr);
    std::_Exit(FATAL_EXIT_CODE);
}

} // namespace core
