#pragma once

#include <core/Strings.h>

// Path macros and path strings. A separator is "/" or "\"; "/" is the one written.
namespace os {

using core::String;
using core::StringView;

// The leading macro ("%app_path%", "%my_documents%", ...) replaced by its value, every "\" written as "/".
String expand_path(StringView path);

// The running executable's full path; fatal when it is 1024 characters or longer.
String get_app_path();
// The program itself, which call notifications and device buttons start: not the running executable,
// since the command-line companion renews the call notification too and what it registers must start the
// program.
String program_path();
// The command line that starts the program with `argument`: its quoted full path, a space, the argument.
String program_command(StringView argument);
// A special folder by its handheld id (platform/shell.h); empty when there is none.
String special_folder(int folder_id);

String strip_trailing_separator(StringView path);
String directory_part(StringView path);
String file_name(StringView path);
String parent_directory(StringView path);
String extension(StringView path);
String without_extension(StringView path);
String base_name(StringView path);
String join(StringView directory, StringView name);
String root_prefix(StringView path);
bool same_path(StringView a, StringView b);
bool is_under(StringView prefix, StringView path);
String replace_all(StringView text, StringView pattern, StringView replacement);
// The text before and after the first occurrence of `pattern`; false when it does not occur.
bool split_at(StringView text, StringView pattern, String& before, String& after);
String lower(StringView text);
String upper(StringView text);

} // namespace os
