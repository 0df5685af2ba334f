#include "game_folder.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

void GameFolderTest::SetUp()
{
    original_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "jov-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root = pattern;
    game = root / "KRS Game";
    fs::create_directories(game);
    fs::current_path(game);
}

void GameFolderTest::TearDown()
{
    fs::current_path(original_);
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

void GameFolderTest::Write(const std::string& relative, const std::string& content)
{
    fs::create_directories((game / relative).parent_path());
    std::ofstream(game / relative, std::ios::binary) << content;
}

void GameFolderTest::WriteReadOnly(const std::string& relative, const std::string& content)
{
    Write(relative, content);
    fs::permissions(game / relative,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return std::move(data).str();
}

bool GameFolderTest::Exists(const std::string& relative) const
{
    return fs::exists(fs::symlink_status(game / relative));
}

Names GameFolderTest::Entries(const std::string& relative) const
{
    Names names;
    for (const auto& entry : fs::directory_iterator(game / relative)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Contents GameFolderTest::Files(const fs::path& folder) const
{
    Contents files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[entry.path().filename().string()] = Slurp(entry.path());
        }
    }
    return files;
}
