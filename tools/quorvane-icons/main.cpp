// quorvane-icons: counts, lists, renders and extracts the icons of program and icon files.
// This file reads the command line and hands over to the command.
#include "Commands.h"
#include "Listing.h"
#include "quorvane/icons/IconBitmap.h"
#include "quorvane_version.h"

#include <getopt.h>

#include <algorithm>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace quorvane::tool;

constexpr int kDefaultThumbnailSize = 128;

const char* const kUsage =
    "Usage: quorvane-icons COMMAND FILE [ARGS]\n"
    "Reads the icons stored in Windows program files (PE32, PE32+, NE) and .ico files.\n"
    "\n"
    "Commands:\n"
    "  count FILE                   print the number of icons, as the icon browser counts them\n"
    "  list [--json] FILE           print each icon group and its images (as JSON with --json)\n"
    "  render [--size N] FILE INDEX OUT.png\n"
    "                               write icon INDEX as drawn at NxN (default 32, at most 512)\n"
    "                               on white, as an RGB PNG\n"
    "  extract FILE INDEX OUT.ico   write icon group INDEX as an .ico file, images unchanged\n"
    "  extract --all FILE DIR       write every group into DIR as INDEX-NAME.ico, or none\n"
    "  thumbnail [-s SIZE] FILE OUT.png\n"
    "                               write the first icon as a PNG with alpha, no larger than\n"
    "                               SIZExSIZE (default 128; never enlarged), for file managers\n"
    "\n"
    "Options:\n"
    "  --help      show this help\n"
    "  --version   show the version\n"
    "\n"
    "Exit status: 0 success, 1 no such icon, 2 any other error.\n";

struct Options {
    bool json = false;
    bool all = false;
    std::optional<std::string> size;
    std::vector<std::string> operands;
};

// What getopt could not take: the option as it was written.
std::string badOption(char** argv) {
    const std::string written = argv[optind - 1];
    if (written.starts_with("--"))
        return written.substr(0, written.find('='));
    return std::string("-") + static_cast<char>(optopt);
}

// The options and operands after the command. Options may come anywhere; "--" ends them. An
// operand that starts with "-" and a digit is taken for a negative INDEX.
std::optional<Options> parseOptions(int argc, char** argv, int& status) {
    static const option kLongOptions[] = {{"json", no_argument, nullptr, 'j'},
                                          {"all", no_argument, nullptr, 'a'},
                                          {"size", required_argument, nullptr, 's'},
                                          {nullptr, 0, nullptr, 0}};
    Options options;
    opterr = 0;
    optind = 1;
    // getopt takes the command for the program's name.
    for (int c; (c = getopt_long(argc - 1, argv + 1, ":s:", kLongOptions, nullptr)) != -1;) {
        if (c == 'j') {
            options.json = true;
        } else if (c == 'a') {
            options.all = true;
        } else if (c == 's') {
            options.size = optarg;
        } else if (c == ':') {
            status = usageError("option '" + escaped(badOption(argv + 1)) + "' needs a value");
            return std::nullopt;
        } else if (optopt >= '0' && optopt <= '9') {
            status = usageError("bad INDEX '" + escaped(badOption(argv + 1)) +
                                "': expected a number from 0");
            return std::nullopt;
        } else {
            status = usageError("unknown option '" + escaped(badOption(argv + 1)) +
                                "'; try 'quorvane-icons --help'");
            return std::nullopt;
        }
    }
    options.operands.assign(argv + 1 + optind, argv + argc);
    return options;
}

// A size: a whole number from 1, any number of digits; a number past `largest` is `largest`.
std::optional<int> parseSize(const std::string& text, int largest) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (text.empty() || !std::all_of(text.begin(), text.end(), digit))
        return std::nullopt;
    const std::string digits = text.substr(std::min(text.find_first_not_of('0'), text.size()));
    if (digits.empty())
        return std::nullopt;
    if (digits.size() > 9)
        return largest;
    return std::min(std::stoi(digits), largest);
}

// The size that render (NxN, at most kMaxDrawSize) or thumbnail asks for. A thumbnail is never
// enlarged: a size past the largest picture there can be gives that picture, as the largest
// size does. Empty, after the usage error, for a size that is no such number.
std::optional<int> sizeFor(bool render, const std::optional<std::string>& given) {
    const int largest = render ? quorvane::icons::kMaxDrawSize + 1 : quorvane::icons::kMaxImageSide;
    if (!given)
        return render ? quorvane::icons::kIconSize : kDefaultThumbnailSize;
    const std::optional<int> parsed = parseSize(*given, largest);
    if (!parsed || (render && *parsed == largest)) {
        usageError("bad SIZE '" + escaped(*given) + "': expected a number from 1" +
                   (render ? " to " + std::to_string(largest - 1) : std::string()));
        return std::nullopt;
    }
    return parsed;
}

// Runs the command with its operands, when the options suit it.
int dispatch(const std::string& command, const Options& options) {
    const std::vector<std::string>& operands = options.operands;
    const bool render = command == "render";
    const bool sized = render || command == "thumbnail";
    const std::optional<int> size = sized ? sizeFor(render, options.size) : 0;
    if (!size)
        return kExitError;
    const bool fits = (!options.json || command == "list") &&
                      (!options.all || command == "extract") && (!options.size || sized);
    auto expect = [&](std::size_t n) { return fits && operands.size() == n; };
    if (command == "count" && expect(1))
        return count(operands[0]);
    if (command == "list" && expect(1))
        return list(operands[0], options.json);
    if (render && expect(3))
        return quorvane::tool::render(operands[0], operands[1], operands[2], *size);
    if (command == "extract" && options.all && expect(2))
        return extractAll(operands[0], operands[1]);
    if (command == "extract" && !options.all && expect(3))
        return extract(operands[0], operands[1], operands[2]);
    if (command == "thumbnail" && expect(2))
        return thumbnail(operands[0], operands[1], *size);
    return usageError("bad command line; try 'quorvane-icons --help'");
}

int run(int argc, char** argv) {
    if (argc < 2)
        return usageError("no command; try 'quorvane-icons --help'");
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return kExitOk;
    }
    if (command == "--version") {
        std::cout << "quorvane-icons " << QUORVANE_VERSION_TEXT << '\n';
        return kExitOk;
    }
    int status = kExitOk;
    const std::optional<Options> options = parseOptions(argc, argv, status);
    if (!options)
        return status;
    return dispatch(command, *options);
}

} // namespace

// Every way out is exit status 0, 1 or 2 with at most one line on standard error: an
// exception that escapes a command (memory running out, as a last resort) is one more error.
int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        return usageError("out of memory");
    } catch (const std::exception& e) {
        return usageError(e.what());
    }
}
