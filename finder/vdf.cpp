#include "finder/vdf.h"

#include "platform/name_match.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace finder
{
namespace
{

// A key with either a text value or a block of children.
struct Node
{
    std::string key;
    std::string value;
    std::vector<Node> children;
    bool block = false;
};

class TextReader
{
public:
    explicit TextReader(std::string_view text) : text_(text) {}

    // Reads pairs until the closing brace of the block or the end of the text.
    std::vector<Node> Block(int level = 0)
    {
        std::vector<Node> nodes;
        while (std::optional<std::string> key = Token()) {
            // A platform condition such as [$WIN32] may follow a value or a key.
            while (key && key->starts_with("[$")) {
                key = Token();
            }
            if (!key || *key == "}") {
                break;
            }
            std::optional<std::string> value = Token();
            while (value && value->starts_with("[$")) {
                value = Token();
            }
            if (!value || *value == "}") {
                break;
            }
            Node node{*key, {}, {}, *value == "{"};
            if (node.block) {
                if (level < 32) {
                    node.children = Block(level + 1);
                }
            } else {
                node.value = *value;
            }
            nodes.push_back(std::move(node));
        }
        return nodes;
    }

private:
    // The next quoted or bare word, a brace, or nothing at the end; comments are skipped.
    std::optional<std::string> Token()
    {
        for (;;) {
            while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_]))) {
                ++at_;
            }
            if (at_ >= text_.size() || text_.substr(at_, 2) != "//") {
                break;
            }
            at_ = std::min(text_.find('\n', at_), text_.size());
        }
        if (at_ >= text_.size()) {
            return std::nullopt;
        }
        const char first = text_[at_];
        if (first == '{' || first == '}') {
            ++at_;
            return std::string(1, first);
        }
        std::string word;
        if (first != '"') {
            while (at_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[at_])) &&
                   text_[at_] != '{' && text_[at_] != '}' && text_[at_] != '"') {
                word += text_[at_++];
            }
            return word;
        }
        for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
            if (text_[at_] == '\\' && at_ + 1 < text_.size()) {
                const char escaped = text_[++at_];
                word += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
            } else {
                word += text_[at_];
            }
        }
        ++at_;
        return word;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

bool IsNumber(std::string_view key)
{
    return !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

// The binary form: a type byte, a NUL-ended key, then the value; 0x08 ends a block.
class BinaryReader
{
public:
    explicit BinaryReader(std::string_view bytes) : bytes_(bytes) {}

    void Block(std::vector<std::string>& startDirs, int level = 0)
    {
        while (at_ < bytes_.size() && level < 32) {
            const auto type = static_cast<unsigned char>(bytes_[at_++]);
            if (type == 0x08) {
                return;
            }
            const std::optional<std::string> key = Text();
            if (!key) {
                return;
            }
            switch (type) {
            case 0x00:
                Block(startDirs, level + 1);
                break;
            case 0x01: {
                const std::optional<std::string> value = Text();
                if (!value) {
                    return;
                }
                if (platform::FoldCase(*key) == "startdir") {
                    std::string dir = *value;
                    if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"') {
                        dir = dir.substr(1, dir.size() - 2);
                    }
                    startDirs.push_back(dir);
                }
                break;
            }
            case 0x02: // 32-bit number
            case 0x03: // float
                at_ += 4;
                break;
            case 0x07: // 64-bit number
                at_ += 8;
                break;
            default:
                at_ = bytes_.size();
                return;
            }
        }
    }

private:
    std::optional<std::string> Text()
    {
        const std::size_t end = bytes_.find('\0', at_);
        if (end == std::string_view::npos) {
            at_ = bytes_.size();
            return std::nullopt;
        }
        std::string text(bytes_.substr(at_, end - at_));
        at_ = end + 1;
        return text;
    }

    std::string_view bytes_;
    std::size_t at_ = 0;
};

} // namespace

std::vector<std::string> LibraryFolders(std::string_view text)
{
    // A Windows editor saves the file with a UTF-8 byte-order mark; Steam reads it all the same.
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    TextReader reader(text);
    const std::vector<Node> top = reader.Block();
    std::vector<std::string> folders;
    if (top.empty() || !top.front().block) {
        return folders;
    }
    for (const Node& library : top.front().children) {
        if (!IsNumber(library.key)) {
            continue;
        }
        if (!library.block) {
            folders.push_back(library.value);
            continue;
        }
        for (const Node& field : library.children) {
            if (!field.block && platform::FoldCase(field.key) == "path") {
                folders.push_back(field.value);
            }
        }
    }
    return folders;
}

std::vector<std::string> ShortcutStartDirs(std::string_view bytes)
{
    std::vector<std::string> startDirs;
    BinaryReader(bytes).Block(startDirs);
    return startDirs;
}

} // namespace finder
