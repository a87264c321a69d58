// The quorvane-icons command as a script would use it: output, exit status, files written.
#include "IconBuilders.h"
#include "RealFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvane::testing;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status;
    std::string out;
};

ToolRun tool(const std::string& args) {
    const std::string command =
        std::string(QUORVANE_ICONS_TOOL) + " " + args + " 2>&1; echo \"#$?\"";
    std::string out = runCommand(command);
    auto mark = out.rfind('#');
    return {std::stoi(out.substr(mark + 1)), out.substr(0, mark)};
}

class ToolTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("quorvane-tool-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string at(const std::string& name) const { return shellQuote((dir / name).string()); }
    fs::path dir;
};

// Runs the tool with ARGS under /usr/bin/time, standard output to /dev/null: its exit
// status, its standard error and its peak resident memory in KiB. (A fork of this process
// would count its memory as the child's; time's own child starts small.)
struct Measured {
    int status;
    std::string err;
    long peakKiB;
};
Measured measure(const std::vector<std::string>& args, const fs::path& dir) {
    const std::string peak = (dir / "peak").string(), err = (dir / "err").string();
    std::string command = "/usr/bin/time -f %M -o " + shellQuote(peak) + " " + QUORVANE_ICONS_TOOL;
    for (const std::string& a : args)
        command += " " + shellQuote(a);
    const int status =
        std::stoi(runCommand(command + " 2>" + shellQuote(err) + " >/dev/null; echo $?"));
    // With a non-zero status, time writes "Command exited with non-zero status N" first.
    const Bytes peakText = readWholeFile(peak), errText = readWholeFile(err);
    const std::string lines(peakText.begin(), peakText.end());
    const auto last = lines.find_last_of('\n', lines.size() - 2);
    return {status, std::string(errText.begin(), errText.end()),
            std::stol(lines.substr(last == std::string::npos ? 0 : last + 1))};
}

} // namespace

TEST_F(ToolTest, FilesThatClaimTooMuchStayWithinTheBudgets) {
#if defined(__SANITIZE_ADDRESS__)
    const long boundKiB = 256 << 10; // AddressSanitizer's shadow memory comes on top
#else
    const long boundKiB = 64 << 10;
#endif
    // The index that render and extract take, and the exit statuses of render, extract,
    // thumbnail and extract --all; count and list end 0.
    struct Case {
        const char* bomb;
        const char* index;
        int render, extract, thumbnail, all;
    };
    const Case cases[] = {
        {"ico-65535-images-past-the-end", "0", 1, 2, 1, 2}, // too many entries for a group
        {"ico-256-images-past-the-end", "0", 1, 2, 1, 2},   // 256 x 1 MiB: past the group budget
        {"pe-256-entries-one-image", "0", 0, 2, 0, 2},      // 256 x 270 kB, all one image
        {"png-65535x65535-header", "0", 1, 0, 1, 0},        // refused from its header
        {"png-4096x4096-of-zeros", "0", 1, 0, 1, 0},        // 16 kB that inflate to 16 MB
        {"pe-65535-groups", "65534", 0, 0, 0, 2},
    };
    const std::vector<Bomb> bombs = makeBombs();
    ASSERT_EQ(bombs.size(), std::size(cases));
    for (std::size_t i = 0; i < bombs.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.bomb);
        ASSERT_EQ(bombs[i].name, c.bomb);
        const std::string file = (dir / c.bomb).string();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(bombs[i].bytes.data()),
                   static_cast<std::streamsize>(bombs[i].bytes.size()));
        const std::string png = (dir / "out.png").string(), ico = (dir / "out.ico").string();
        const std::pair<std::vector<std::string>, int> runs[] = {
            {{"count", file}, 0},
            {{"list", file}, 0},
            {{"render", file, c.index, png}, c.render},
            {{"extract", file, c.index, ico}, c.extract},
            {{"thumbnail", file, png}, c.thumbnail},
            {{"extract", "--all", file, (dir / "all").string()}, c.all},
        };
        for (const auto& [args, expected] : runs) {
            SCOPED_TRACE(args[0]);
            const Measured run = measure(args, dir);
            EXPECT_EQ(run.status, expected);
            EXPECT_LE(run.peakKiB, boundKiB);
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), expected == 0 ? 0 : 1);
        }
        EXPECT_EQ(fs::exists(png), c.render == 0 || c.thumbnail == 0);
        EXPECT_EQ(fs::exists(ico), c.extract == 0);
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
}

TEST_F(ToolTest, RenderAndThumbnailWriteThePicturesPixels) {
    // At 48 notepad's 48x48 32-bit image is drawn unscaled: ImageMagick's own decoding of it,
    // flattened on white, must agree.
    const std::string notepad = kWineDir + "/notepad.exe";
    ASSERT_EQ(tool("render --size 48 " + notepad + " 0 " + at("ours.png")).status, 0);
    ASSERT_EQ(tool("extract " + notepad + " 0 " + at("group.ico")).status, 0);
    const std::string convert = " -background white -alpha remove -depth 8 rgb:-";
    const std::string ours = runCommand("convert " + at("ours.png") + convert);
    const std::string theirs = runCommand("convert " + at("group.ico") + "[1]" + convert);
    ASSERT_EQ(ours.size(), 48u * 48u * 3u);
    ASSERT_EQ(theirs.size(), ours.size());
    int worst = 0; // ImageMagick rounds the blend its own way
    for (std::size_t i = 0; i < ours.size(); ++i)
        worst =
            std::max(worst, std::abs(int(std::uint8_t(ours[i])) - int(std::uint8_t(theirs[i]))));
    EXPECT_LE(worst, 1);
    // A thumbnail goes into the file it is given, which a reader that opened it first sees.
    std::ofstream(dir / "thumb.png").put('x');
    const int fd = ::open((dir / "thumb.png").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(tool("thumbnail " + notepad + " " + at("thumb.png")).status, 0);
    Bytes seen(1 << 20);
    seen.resize(std::size_t(std::max<ssize_t>(0, ::pread(fd, seen.data(), seen.size(), 0))));
    ::close(fd);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_memory(&image, seen.data(), seen.size()));
    EXPECT_EQ(image.width, 128u);
    EXPECT_EQ(image.format, static_cast<png_uint_32>(PNG_FORMAT_RGBA));
    png_image_free(&image);
}

TEST_F(ToolTest, ListAndExtractEveryGroup) {
    const std::string stub = kNsisDir + "/Stubs/zlib-x86-unicode";
    EXPECT_EQ(
        tool("list --json " + stub).out,
        "{\"file\": \"" + stub +
            "\", \"kind\": \"PE\", \"icons\": [\n  {\"index\": 0, \"id\": 103, " +
            "\"images\": [{\"width\": 32, \"height\": 32, \"bits\": 4, \"format\": \"DIB\", " +
            "\"bytes\": 744}]}\n]}\n");
    // Names with quotes, backslashes and control characters stay valid JSON; a PNG whose entry
    // gives no bit count has 32.
    const auto picture = makePicture(16, 16, std::vector<std::uint32_t>(256, 0xFF0000FF));
    const Bytes pe =
        makePe(iconGroupResources(std::string("A\"B\\C\tD"), {{16, 16, 0, 1, makePng(picture)}}));
    std::ofstream(dir / "named.dll", std::ios::binary)
        .write(reinterpret_cast<const char*>(pe.data()), std::streamsize(pe.size()));
    const std::string names =
        " | /usr/bin/python3 -c 'import json, sys; d = json.load(sys.stdin)[\"icons\"]; "
        "print(len(d), repr(d[0][\"name\"]), d[0][\"images\"][0][\"bits\"])'";
    EXPECT_EQ(
        runCommand(std::string(QUORVANE_ICONS_TOOL) + " list --json " + at("named.dll") + names),
        "1 'A\"B\\\\C\\tD' 32\n");
    const std::string shell32 = kWineDir + "/shell32.dll";
    EXPECT_EQ(runCommand(std::string(QUORVANE_ICONS_TOOL) + " list --json " + shell32 + names),
              "184 'IDI_SHELL_OPTIONS' 32\n");
    ASSERT_EQ(tool("extract --all " + shell32 + " " + at("all")).status, 0);
    EXPECT_EQ(filesIn((dir / "all").string()).size(), 184u);
    // Each file is the group as wrestool writes it, which adds as many stray bytes as the
    // group directory is long; and it reads back as one icon.
    runCommand("wrestool -x --type=14 --name=1 -o " + at("theirs.ico") + " " + shell32);
    const Bytes ours = readWholeFile((dir / "all" / "2-1.ico").string());
    const Bytes theirs = readWholeFile((dir / "theirs.ico").string());
    ASSERT_GT(ours.size(), 20000u);
    ASSERT_GE(theirs.size(), ours.size());
    EXPECT_TRUE(std::equal(ours.begin(), ours.end(), theirs.begin()));
    EXPECT_EQ(tool("count " + at("all/2-1.ico")).out, "1\n");
}

TEST_F(ToolTest, FailuresSayWhyAndLeaveNoFile) {
    struct Case {
        const char* name;
        std::string args;
        int status;
        std::string message; // a part of the one-line message
    };
    const std::string stub = kNsisDir + "/Stubs/zlib-x86-unicode";
    const Case cases[] = {
        {"missing file", "count " + at("nothing.dll"), 2, "nothing.dll: no such file"},
        {"a directory", "count " + at(""), 2, "cannot be read"},
        {"no such icon", "render " + stub + " 1 " + at("out.png"), 1, "icon 1: no such icon"},
        {"no such group", "extract " + stub + " 5 " + at("out.ico"), 1, "icon 5: no such icon"},
        {"bad index", "render " + stub + " -1 " + at("out.png"), 2, "bad INDEX '-1'"},
        {"index not a number", "extract " + stub + " one " + at("out.ico"), 2, "bad INDEX 'one'"},
        {"unwritable output", "render " + stub + " 0 " + at("no/such/dir/out.png"), 2, "out.png"},
        {"unknown command", "show " + stub, 2, "bad command line"},
        {"no icons to thumbnail", "thumbnail " + kWineFontsDir + "/coure.fon " + at("t.png"), 1,
         "icon 0: no such icon"},
        {"size out of range", "thumbnail -s 513 " + stub + " " + at("t.png"), 2, "bad SIZE '513'"},
        {"option of another command", "count --json " + stub, 2, "bad command line"},
        {"no arguments", "", 2, "no command"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ToolRun run = tool(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    }
    EXPECT_TRUE(fs::is_empty(dir)); // no partial or temporary files
    EXPECT_NE(tool("--version").out.find("1.0.0.0"), std::string::npos);
}

TEST_F(ToolTest, OutputsThatAreNotRegularFilesAreWrittenThrough) {
    // A link stays a link and its file gets the picture; a pipe stays a pipe and is read. (A
    // file renamed over /dev/null once replaced the device.)
    const std::string stub = kNsisDir + "/Stubs/zlib-x86-unicode";
    std::ofstream(dir / "real.png") << "old";
    fs::create_symlink(dir / "real.png", dir / "link.png");
    EXPECT_EQ(tool("render " + stub + " 0 " + at("link.png")).status, 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
    EXPECT_EQ(readWholeFile((dir / "real.png").string()).at(1), 'P');
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    runCommand("timeout 10 cat " + at("pipe") + " >" + at("piped.ico") + " & " +
               QUORVANE_ICONS_TOOL + " extract " + stub + " 0 " + at("pipe") + "; wait");
    EXPECT_TRUE(fs::is_fifo(dir / "pipe"));
    EXPECT_EQ(tool("count " + at("piped.ico")).out, "1\n");
}
