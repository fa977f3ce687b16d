#include "catalog/file_access.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velorin::tool::testing {

namespace fs = std::filesystem;

namespace {

fs::path FreshFolder(const std::string& name) {
    const fs::path folder = fs::path(VELORIN_TEST_TMP) / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(CatalogFileAccess, TemporaryNameLiesBesideTargetAndDoesNotGrowWithIt) {
    EXPECT_EQ(TemporaryFileName("out.txt", 42, 7), "velorin-export-42-7.tmp");
    EXPECT_EQ(TemporaryFileName("dir/out.txt", 42, 0), "dir/velorin-export-42-0.tmp");
    EXPECT_EQ(TemporaryFileName(std::string(4000, 'n'), 1, 1), TemporaryFileName("n", 1, 1));
}

TEST(CatalogFileAccess, ReplacesContentsAndLeavesNoTemporaryFile) {
    const fs::path folder = FreshFolder("file_access_replace");
    const std::string target = (folder / "out.txt").string();
    ASSERT_TRUE(ReplaceFileContents(target, "first"));
    ASSERT_TRUE(ReplaceFileContents(target, "second"));
    EXPECT_EQ(ReadFile(target), "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
    fs::create_directory(folder / "taken");
    EXPECT_FALSE(ReplaceFileContents((folder / "taken").string(), "x"));
    EXPECT_TRUE(fs::is_directory(folder / "taken"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);
}

// A later target that cannot be replaced stops the whole write before the first target is
// touched, and leaves no temporary file behind.
TEST(CatalogFileAccess, SeveralFilesAreReplacedAllOrNone) {
    const fs::path folder = FreshFolder("file_access_several");
    const std::string first = (folder / "first.txt").string();
    const std::string second = (folder / "second.txt").string();
    ASSERT_TRUE(ReplaceFilesContents({{first, "one"}, {second, "two"}}));
    EXPECT_EQ(ReadFile(first), "one");
    EXPECT_EQ(ReadFile(second), "two");
    fs::create_directory(folder / "taken");
    EXPECT_FALSE(ReplaceFilesContents({{first, "new"}, {(folder / "taken").string(), "x"}}));
    EXPECT_EQ(ReadFile(first), "one");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
}

#ifndef _WIN32
// Links planted at the names this process would pick first are passed over, never followed.
TEST(CatalogFileAccess, PlantedLinksAreNeverFollowed) {
    const fs::path folder = FreshFolder("file_access_links");
    const std::string target = (folder / "out.txt").string();
    constexpr unsigned kPlanted = 64;
    for (unsigned attempt = 0; attempt < kPlanted; ++attempt) {
        fs::create_symlink(
            folder / "planted",
            TemporaryFileName(target, static_cast<unsigned long>(getpid()), attempt));
    }
    ASSERT_TRUE(ReplaceFileContents(target, "text"));
    EXPECT_EQ(ReadFile(target), "text");
    EXPECT_FALSE(fs::exists(fs::symlink_status(folder / "planted")));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()),
              kPlanted + 1);
}

// A link at the target's name is replaced itself; the file it names keeps its contents.
TEST(CatalogFileAccess, LinkAtTheTargetIsReplacedNotWrittenThrough) {
    const fs::path folder = FreshFolder("file_access_target_link");
    std::ofstream(folder / "planted") << "keep";
    fs::create_symlink(folder / "planted", folder / "out.txt");
    ASSERT_TRUE(ReplaceFilesContents({{(folder / "out.txt").string(), "new"}}));
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(folder / "out.txt")));
    EXPECT_EQ(ReadFile(folder / "out.txt"), "new");
    EXPECT_EQ(ReadFile(folder / "planted"), "keep");
}

TEST(CatalogFileAccess, ReplacedFileKeepsItsPermissions) {
    const fs::path folder = FreshFolder("file_access_mode");
    const fs::path target = folder / "out.txt";
    std::ofstream(target) << "old";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(ReplaceFileContents(target.string(), "new"));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}
#endif

}  // namespace

}  // namespace velorin::tool::testing
