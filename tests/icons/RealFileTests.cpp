// The reader against real Windows files from Debian packages, checked with independent tools:
// icoutils' wrestool for the group lists, ImageMagick for the pixels.
#include "IconApi.h"
#include "IconBuilders.h"
#include "IconReader.h"
#include "RealFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

using namespace quorvane::icons;
using namespace quorvane::testing;

namespace {

bool isIcoFile(const std::string& path) {
    Bytes head = readWholeFile(path);
    return head.size() >= 6 && head[0] == 0 && head[1] == 0 && head[2] == 1 && head[3] == 0;
}

// Group names in resource-directory order, each once, as wrestool lists them.
std::vector<std::string> wrestoolGroups(const std::string& path) {
    std::vector<std::string> names;
    std::istringstream lines(
        runCommand("wrestool -l --type=14 " + shellQuote(path) + " 2>/dev/null"));
    static const std::regex name(R"(--name=('([^']*)'|(\d+)))");
    std::string line;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, name))
            continue;
        std::string text = m[2].matched ? m[2].str() : m[3].str();
        if (std::find(names.begin(), names.end(), text) == names.end())
            names.push_back(text);
    }
    return names;
}

std::vector<std::string> allRealFiles() {
    std::vector<std::string> files = filesIn(kWineDir);
    for (const auto& f : filesIn(kNsisDir + "/Stubs"))
        files.push_back(f);
    for (const auto& f : filesIn(kNsisDir + "/Contrib/Graphics/Icons"))
        files.push_back(f);
    for (const auto& f : filesIn(kWineFontsDir))
        files.push_back(f);
    return files;
}

} // namespace

TEST(RealFiles, GroupsAgreeWithWrestool) {
    const auto files = allRealFiles();
    ASSERT_GT(files.size(), 700u) << "install wine64, fonts-wine and nsis (see .ci/setup)";
    std::size_t withIcons = 0, fonts = 0, icoFiles = 0;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        auto source = FileSource::open(path);
        ASSERT_TRUE(source);
        std::vector<std::string> ours;
        if (auto file = IconFile::open(**source)) {
            for (std::uint32_t i = 0; i < file->groupCount(); ++i) {
                auto group = file->group(i);
                ASSERT_TRUE(group);
                ours.push_back(group->name.text());
            }
        }
        const std::uint32_t count = ExtractIconA(HINSTANCE{1}, path, -1).value();
        EXPECT_EQ(count, ours.size());
        if (isIcoFile(path)) {
            ++icoFiles;
            EXPECT_EQ(count, 1u); // wrestool does not read .ico files: one icon, by definition
            continue;
        }
        fonts += path.ends_with(".fon");
        withIcons += count > 0;
        EXPECT_EQ(ours, wrestoolGroups(path));
    }
    // The sample must hold what it is meant to: icon-bearing DLLs, NE fonts and .ico files.
    EXPECT_GT(withIcons, 30u);
    EXPECT_GT(fonts, 20u);
    EXPECT_GT(icoFiles, 30u);
    EXPECT_EQ(ExtractIconA(HINSTANCE{1}, kWineDir + "/shell32.dll", -1).value(), 184u);
}

TEST(RealFiles, RenderedPixelsAgreeWithImageMagick) {
    struct Sample {
        std::string path;
        std::uint32_t groups; // how many groups of the file to check, from the first
    };
    std::vector<Sample> samples = {
        {kWineDir + "/shell32.dll", 40},           {kWineDir + "/user32.dll", 10},
        {kWineDir + "/comctl32.dll", 10},          {kWineDir + "/explorer.exe", 10},
        {kNsisDir + "/Stubs/zlib-x86-unicode", 1}, {kNsisDir + "/Stubs/lzma-amd64-unicode", 1},
    };
    for (const auto& f : filesIn(kNsisDir + "/Contrib/Graphics/Icons"))
        samples.push_back({f, 1});
    const auto dir =
        std::filesystem::temp_directory_path() / ("quorvane-im-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::size_t compared = 0;
    for (const Sample& sample : samples) {
        auto source = FileSource::open(sample.path);
        ASSERT_TRUE(source) << sample.path;
        auto file = IconFile::open(**source);
        ASSERT_TRUE(file) << sample.path;
        for (std::uint32_t g = 0; g < std::min(sample.groups, file->groupCount()); ++g) {
            SCOPED_TRACE(sample.path + " group " + std::to_string(g));
            auto group = file->group(g);
            ASSERT_TRUE(group);
            auto chosen = chooseImage(group->entries);
            ASSERT_TRUE(chosen);
            const IconDirEntry& entry = group->entries[*chosen];
            if (entry.width() != 32 || entry.height() != 32)
                continue; // only unscaled pictures have an exact independent answer
            std::string ico = sample.path;
            if (file->kind() != FileKind::Ico) {
                ico = (dir / "group.ico").string();
                const std::string name = group->name.isId ? group->name.text() : group->name.name;
                runCommand("wrestool -x --type=14 --name=" + shellQuote(name) + " -o " +
                           shellQuote(ico) + " " + shellQuote(sample.path));
            }
            const std::string theirs =
                runCommand("convert " + shellQuote(ico + "[" + std::to_string(*chosen) + "]") +
                           " -background white -alpha remove -depth 8 rgb:- 2>/dev/null");
            ASSERT_EQ(theirs.size(), 32u * 32u * 3u);
            auto icon = extractIcon(**source, g);
            ASSERT_TRUE(icon);
            std::vector<std::uint32_t> ours(32 * 32, 0xFFFFFFFF);
            drawIconBitmap(Surface{ours.data(), 32, 32, 32}, 0, 0, *icon);
            int worst = 0;
            for (std::size_t i = 0; i < ours.size(); ++i)
                for (int c = 0; c < 3; ++c) {
                    int mine = static_cast<int>((ours[i] >> (16 - 8 * c)) & 0xFF);
                    int other = static_cast<std::uint8_t>(theirs[3 * i + c]);
                    worst = std::max(worst, std::abs(mine - other));
                }
            EXPECT_LE(worst, 1); // rounding of the alpha blend may differ by one
            ++compared;
        }
    }
    std::filesystem::remove_all(dir);
    EXPECT_GT(compared, 40u);
}
