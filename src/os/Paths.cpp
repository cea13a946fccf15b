#include "Paths.h"

#include <core/Log.h>
#include <platform/services/shell.h>
#include <platform/text.h>

namespace os {

namespace {

bool is_separator(char16_t c)
{
    return c == u'/' || c == u'\\';
}

// Index of the last separator, or npos.
size_t last_separator(StringView path)
{
    return path.find_last_of(u"/\\");
}

struct ProgramPaths {
    String full_name, folder, name;
};

ProgramPaths const& program_paths()
{
    static ProgramPaths const paths = [] {
        ProgramPaths p;
        p.full_name = get_app_path();
        auto const slash = last_separator(p.full_name);
        // The data folder, which is the executable's own in the build tree but share/ravelin beside bin/
        // in an installation.
        p.folder = platform::data_folder();
        p.name = slash == String::npos ? p.full_name : p.full_name.substr(slash + 1);
        return p;
    }();
    return paths;
}

} // namespace

String get_app_path()
{
    String path = platform::executable_path();
    if (path.size() >= 1024)
        core::fatal_error(u"get_app_path()", u"path is more then MAX_PATH long");
    return path;
}

String program_path()
{
    return expand_path(platform::main_program_path());
}

String program_command(StringView argument)
{
    return u"\"" + program_path() + u"\" " + String(argument);
}

String special_folder(int folder_id)
{
    return platform::special_folder(folder_id);
}

String expand_path(StringView path)
{
    struct Macro {
        StringView name;
        int folder; // 0: a program value
    };
    static constexpr Macro macros[] = {
        { u"%app_full_name%", 0 },
        { u"%app_path%", 0 },
        { u"%app_name%", 0 },
        { u"%my_documents%", platform::FOLDER_PERSONAL },
        { u"%windows%", platform::FOLDER_WINDOWS },
        { u"%startup%", platform::FOLDER_STARTUP },
        { u"%programs%", platform::FOLDER_PROGRAMS },
        { u"%start_menu%", platform::FOLDER_START_MENU },
        { u"%program_files%", platform::FOLDER_PROGRAM_FILES },
    };
    String result;
    size_t consumed = 0;
    for (auto const& macro : macros) {
        if (!path.starts_with(macro.name))
            continue;
        consumed = macro.name.size();
        if (macro.folder != 0)
            result = special_folder(macro.folder);
        else if (macro.name == u"%app_full_name%")
            result = program_paths().full_name;
        else if (macro.name == u"%app_path%")
            result = program_paths().folder;
        else
            result = program_paths().name;
        break;
    }
    result.reserve(result.size() + path.size() - consumed);
    for (size_t i = consumed; i < path.size(); ++i)
        result += is_separator(path[i]) ? u'/' : path[i];
    return result;
}

String strip_trailing_separator(StringView path)
{
    if (!path.empty() && is_separator(path.back()))
        path.remove_suffix(1);
    return String(path);
}

String directory_part(StringView path)
{
    auto const slash = last_separator(path);
    return slash == StringView::npos ? String() : String(path.substr(0, slash + 1));
}

String file_name(StringView path)
{
    auto const slash = last_separator(path);
    return String(slash == StringView::npos ? path : path.substr(slash + 1));
}

String parent_directory(StringView path)
{
    return directory_part(strip_trailing_separator(path));
}

namespace {

// Index of the extension's dot, or npos when there is none after the last separator.
size_t extension_dot(StringView path)
{
    auto const dot = path.rfind(u'.');
    if (dot == StringView::npos)
        return dot;
    auto const slash = last_separator(path);
    if (slash != StringView::npos && slash >= dot)
        return StringView::npos;
    return dot;
}

} // namespace

String extension(StringView path)
{
    auto const dot = extension_dot(path);
    return dot == StringView::npos ? String() : String(path.substr(dot + 1));
}

String without_extension(StringView path)
{
    auto const dot = extension_dot(path);
    return String(dot == StringView::npos ? path : path.substr(0, dot));
}

String base_name(StringView path)
{
    return without_extension(file_name(path));
}

String join(StringView directory, StringView name)
{
    if (directory.empty())
        return String(name);
    String result = strip_trailing_separator(directory);
    result += u'/';
    result += name;
    return result;
}

String root_prefix(StringView path)
{
    auto const first = path.find_first_of(u"/\\");
    if (first == StringView::npos)
        return {};
    // Where both kinds occur, the later of their first occurrences counts.
    auto const slash = path.find(u'/');
    auto const backslash = path.find(u'\\');
    size_t end = first;
    if (slash != StringView::npos && backslash != StringView::npos)
        end = std::max(slash, backslash);
    return String(path.substr(0, end + 1));
}

bool same_path(StringView a, StringView b)
{
    return lower(strip_trailing_separator(expand_path(a))) == lower(strip_trailing_separator(expand_path(b)));
}

bool is_under(StringView prefix, StringView path)
{
    if (prefix.size() > path.size())
        return false;
    return same_path(prefix, path.substr(0, prefix.size()));
}

String replace_all(StringView text, StringView pattern, StringView replacement)
{
    if (pattern.empty())
        return String(text);
    String result;
    size_t start = 0;
    for (;;) {
        auto const found = text.find(pattern, start);
        if (found == StringView::npos)
            break;
        result.append(text.substr(start, found - start));
        result.append(replacement);
        start = found + pattern.size();
    }
    result.append(text.substr(start));
    return result;
}

bool split_at(StringView text, StringView pattern, String& before, String& after)
{
    auto const found = text.find(pattern);
    if (found == StringView::npos)
        return false;
    before = String(text.substr(0, found));
    after = String(text.substr(found + pattern.size()));
    return true;
}

String lower(StringView text)
{
    String result(text);
    for (auto& c : result)
        c = platform::to_lower(c);
    return result;
}

String upper(StringView text)
{
    String result(text);
    for (auto& c : result)
        c = platform::to_upper(c);
    return result;
}

} // namespace os
