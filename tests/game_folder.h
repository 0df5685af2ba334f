#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

using Names = std::vector<std::string>;
using Contents = std::map<std::string, std::string>;

// The whole content of a file; empty when there is none.
std::string Slurp(const std::filesystem::path& path);

// A path's text in UTF-8, and a path from UTF-8, whatever the platform's narrow encoding.
std::string Utf8(const std::filesystem::path& path);
std::filesystem::path FromUtf8(const std::string& text);

Names Split(const std::string& words);

// A fresh game folder under a temporary directory for each test; the test runs with it as the
// working folder, as the program does. The folder name holds a blank on purpose.
class GameFolderTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Moves the test to a fresh game folder "KRS Game" in the folder `name` below `root`, which
    // becomes the working folder: a row of a table gets a folder of its own.
    void NewGame(const std::string& name);

    // Creates folders on the way; a name beginning with a dot is hidden on every platform.
    void Write(const std::string& relative, const std::string& content = "x");
    void WriteReadOnly(const std::string& relative, const std::string& content = "x");
    // Empties the game folder, which stays the working folder.
    void Clear();
    // The state file as the program writes it, with `word` installed.
    void Record(const std::string& word) { Write("jovo.ini", "\"" + word + "\"\r\n"); }
    std::string Read(const std::string& relative) const { return Slurp(Under(relative)); }
    bool Exists(const std::string& relative) const;
    // The regular files directly in a folder with their contents.
    Contents Files(const std::filesystem::path& folder) const;
    Contents Files() const { return Files(game); }
    std::string Path(const std::string& relative) const { return Utf8(Under(relative)); }
    std::filesystem::path Under(const std::string& relative) const
    {
        return game / FromUtf8(relative);
    }

    std::filesystem::path root;
    std::filesystem::path game;

private:
    std::filesystem::path original_;
};
