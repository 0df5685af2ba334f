// Name matching and case-blind resolution on arbitrary names: no crash, no sanitizer report,
// and the rules hold (blind to case, "*" matches all, an exact name wins, else the smallest
// variant).
#include "platform/file_ops.h"
#include "platform/name_match.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace
{

namespace fs = std::filesystem;

std::string Upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

void Require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void CheckMatching(const std::string& name, const std::string& pattern)
{
    const bool matched = platform::MatchesPattern(name, pattern);
    Require(platform::MatchesPattern(Upper(name), pattern) == matched);
    Require(platform::MatchesPattern(name, Upper(pattern)) == matched);
    Require(platform::MatchesPattern(name, "*"));
    Require(platform::MatchesPattern(name, "*.*"));
    if (!platform::HasWildcard(name)) {
        Require(platform::MatchesPattern(name, name));
    }
    if (!platform::HasWildcard(pattern)) {
        Require(matched == (platform::FoldCase(name) == platform::FoldCase(pattern)));
    }
}

// Names from a small alphabet, so case variants meet often.
std::string NameFrom(const std::uint8_t* data, std::size_t size)
{
    static constexpr char kAlphabet[] = "aAbB.x";
    std::string name;
    for (std::size_t i = 0; i < size; ++i) {
        name += kAlphabet[data[i] % (sizeof(kAlphabet) - 1)];
    }
    return name == "." || name == ".." || name.empty() ? "a" : name;
}

void CheckResolution(const std::uint8_t* data, std::size_t size)
{
    static const fs::path folder = [] {
        std::string pattern = "/tmp/jov-fuzz-names-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return fs::path(pattern);
    }();
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at < size && names.size() < 5) {
        const std::size_t length = 1 + data[at] % 4;
        if (at + 1 + length > size) {
            break;
        }
        names.push_back(NameFrom(data + at + 1, length));
        at += 1 + length;
    }
    if (names.size() < 2) {
        return;
    }
    const std::string query = names.back();
    names.pop_back();
    for (const std::string& name : names) {
        std::ofstream(folder / name) << name;
    }
    std::vector<std::string> variants;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (platform::FoldCase(name) == platform::FoldCase(query)) {
            variants.push_back(name);
        }
    }
    std::sort(variants.begin(), variants.end());
    const bool exact = std::find(variants.begin(), variants.end(), query) != variants.end();
    const std::string expected =
        (folder / (exact || variants.empty() ? query : variants.front())).string();
    Require(platform::ResolvePath((folder / query).string()) == expected);
    for (const auto& entry : fs::directory_iterator(folder)) {
        fs::remove(entry.path());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto cut = text.find('\0');
    if (cut != std::string::npos) {
        CheckMatching(text.substr(0, cut), text.substr(cut + 1));
    } else {
        CheckMatching(text, text);
    }
    CheckResolution(data, size);
    return 0;
}
