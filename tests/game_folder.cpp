#include "game_folder.h"

#include "host.h"

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

void GameFolderTest::SetUp()
{
    original_ = fs::current_path();
    std::random_device random;
    do {
        root = fs::temp_directory_path() / ("jov-test-" + std::to_string(random()));
    } while (!fs::create_directory(root));
    NewGame("");
}

void GameFolderTest::NewGame(const std::string& name)
{
    game = root / FromUtf8(name) / "KRS Game";
    fs::create_directories(game);
    fs::current_path(game);
}

void GameFolderTest::TearDown()
{
    fs::current_path(original_);
    std::error_code ignored;
    // Windows deletes no read-only file.
    for (const auto& entry : fs::recursive_directory_iterator(root, ignored)) {
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(root, ignored);
}

void GameFolderTest::Clear()
{
    std::error_code ignored; // Windows deletes no read-only file
    for (const auto& entry : fs::recursive_directory_iterator(game)) {
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    for (const auto& entry : fs::directory_iterator(game)) {
        fs::remove_all(entry.path());
    }
}

void GameFolderTest::Write(const std::string& relative, const std::string& content)
{
    fs::create_directories(Under(relative).parent_path());
    std::ofstream(Under(relative), std::ios::binary) << content;
    HideIfDotName(Under(relative));
}

void GameFolderTest::WriteReadOnly(const std::string& relative, const std::string& content)
{
    Write(relative, content);
    fs::permissions(Under(relative), fs::perms(0444));
}

// Read whole, not a character at a time: the fault tests read megabytes in the sanitizers' build.
std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return std::move(data).str();
}

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

fs::path FromUtf8(const std::string& text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

bool GameFolderTest::Exists(const std::string& relative) const
{
    return fs::exists(fs::symlink_status(Under(relative)));
}

Names Split(const std::string& words)
{
    std::istringstream in(words);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

Contents GameFolderTest::Files(const fs::path& folder) const
{
    Contents files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[Utf8(entry.path().filename())] = Slurp(entry.path());
        }
    }
    return files;
}
