// korvix-thumbnailer: the program file managers run for a thumbnail of a
// texture or a volume (the desktop's thumbnailer entry names it):
//
//   korvix-thumbnailer -s SIZE INPUT OUTPUT
//
// INPUT is a path or a file:// URI; OUTPUT receives a PNG, written beside it
// and renamed into place when complete, so a failure leaves no file. It needs
// no display: it links the core alone, no Qt.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace thumbnailer {

constexpr int exitSuccess = 0;
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

// The local path a file manager's INPUT names: a path as it is, or a file://
// URI (host empty or "localhost") with its %XX escapes decoded. Nothing for
// any other URI, another host, a bad escape or an escaped zero byte.
std::optional<std::string> localPath(std::string_view input);

// Runs the program on its arguments (without the program name); messages go
// to `err` as "korvix-thumbnailer: <file>: <detail>", help and version to `out`.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace thumbnailer
