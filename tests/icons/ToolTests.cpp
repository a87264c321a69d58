// The quorvane-icons command as a script would use it: output, exit status, files written.
#include "IconBuilders.h"
#include "RealFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <png.h>
#include <sys/wait.h>

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

} // namespace

TEST_F(ToolTest, CountAndList) {
    EXPECT_EQ(tool("count " + kWineDir + "/shell32.dll").out, "184\n");
    EXPECT_EQ(tool("count " + kWineFontsDir + "/coure.fon").out, "0\n");
    EXPECT_EQ(tool("list " + kNsisDir + "/Stubs/zlib-x86-unicode").out,
              "0 103 32x32 4bpp DIB 744 bytes\n");
    ToolRun list = tool("list " + kWineDir + "/shell32.dll");
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 184);
    EXPECT_EQ(
        list.out.rfind("0 \"IDI_SHELL_OPTIONS\" 256x256 32bpp PNG 20617 bytes, 48x48 32bpp DIB", 0),
        0u);
}

TEST_F(ToolTest, ExtractWritesTheGroupsImagesUnchanged) {
    // wrestool writes the same .ico for a group, followed by as many stray bytes as the group
    // directory is long.
    ASSERT_EQ(tool("extract " + kWineDir + "/shell32.dll 2 " + at("ours.ico")).status, 0);
    runCommand("wrestool -x --type=14 --name=1 -o " + at("theirs.ico") + " " + kWineDir +
               "/shell32.dll");
    Bytes ours = readWholeFile((dir / "ours.ico").string());
    Bytes theirs = readWholeFile((dir / "theirs.ico").string());
    ASSERT_GT(ours.size(), 20000u);
    ASSERT_GE(theirs.size(), ours.size());
    EXPECT_TRUE(std::equal(ours.begin(), ours.end(), theirs.begin()));
    // Our own .ico output reads back as the same single icon.
    EXPECT_EQ(tool("count " + at("ours.ico")).out, "1\n");
}

TEST_F(ToolTest, RenderWritesA32x32RgbPng) {
    ASSERT_EQ(tool("render " + kNsisDir + "/Stubs/zlib-x86-unicode 0 " + at("icon.png")).status, 0);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir / "icon.png").c_str()));
    EXPECT_EQ(image.width, 32u);
    EXPECT_EQ(image.height, 32u);
    EXPECT_EQ(image.format, static_cast<png_uint_32>(PNG_FORMAT_RGB));
    png_image_free(&image);
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
    EXPECT_EQ(tool("--help").status, 0);
    EXPECT_NE(tool("--version").out.find("1.0.0.0"), std::string::npos);
}
