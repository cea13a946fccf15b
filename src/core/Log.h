#pragma once

#include "Strings.h"

#include <concepts>
#include <memory>

namespace core {

// Text output in UTF-16 code units.
class TextSink {
public:
    virtual ~TextSink();
    virtual void write(char16_t const* text, size_t count) = 0;
    virtual void flush() = 0;

    // A sink that throws everything away lets the log skip formatting.
    bool discards() const { return discards_; }

protected:
    explicit TextSink(bool discards = false)
        : discards_(discards)
    {
    }

private:
    bool const discards_;
};

class NullSink final : public TextSink {
public:
    NullSink()
        : TextSink(true)
    {
    }
    void write(char16_t const*, size_t) override { }
    void flush() override { }
};

// What log() answers: the current sink, kept alive while a line is written even when another thread
// switches the log meanwhile. Each << is one write.
class LogStream {
public:
    explicit LogStream(std::shared_ptr<TextSink> sink)
        : sink_(std::move(sink))
    {
    }

    LogStream& operator<<(StringView text);
    LogStream& operator<<(String const& text) { return *this << StringView(text); }
    LogStream& operator<<(char16_t const* text) { return *this << StringView(text); }
    // ASCII text.
    LogStream& operator<<(char const* text);
    // Numbers in signed decimal.
    template <std::integral Number>
    requires(!std::same_as<Number, bool> && !std::same_as<Number, char> && !std::same_as<Number, char16_t>) LogStream&
    operator<<(Number number)
    {
        if (!sink_->discards())
            *this << decimal(static_cast<int64_t>(number));
        return *this;
    }
    LogStream& operator<<(double number);
    void flush() { sink_->flush(); }
    TextSink& sink() { return *sink_; }

private:
    std::shared_ptr<TextSink> sink_;
};

// Where the log goes: whether it is switched on (read at every log call) and the file it writes to.
class LogSource {
public:
    virtual ~LogSource();
    virtual bool logging_on() = 0;
    virtual std::unique_ptr<TextSink> open_file() = 0;
};

// Installs the source the log consults (not owned); without one everything is discarded.
void set_log_source(LogSource* source);

// The process-wide log. Switching it on starts a fresh file at the next call; switching it off closes it.
// Threads: any.
LogStream log();

// The one reaction to a broken invariant: logs "Gluck: " + message + " @ " + where as the last line,
// reports it on standard error and ends the process with exit code FATAL_EXIT_CODE. Never returns.
constexpr int FATAL_EXIT_CODE = 70;
[[noreturn]] void fatal_error(StringView where, StringView message);

} // namespace core
