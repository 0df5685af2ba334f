#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// Paths as text, without asking the file system: where a path splits into its folder and its
// last name, how two parts join, what is absolute, how a path is shown, and the names of our
// own temporaries. The separator style is a parameter, so the Windows rules run and are tested
// on every platform; callers take the native style.
namespace platform
{

enum class PathStyle
{
    Posix,   // "/" separates; a name may hold a backslash
    Windows, // "\" separates, "/" too; "C:" starts a drive
};

#ifdef _WIN32
inline constexpr PathStyle kNativeStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativeStyle = PathStyle::Posix;
#endif

constexpr char SeparatorOf(PathStyle style)
{
    return style == PathStyle::Windows ? '\\' : '/';
}

// The separator this platform joins paths with.
inline constexpr char kSeparator = SeparatorOf(kNativeStyle);

struct Split
{
    std::string folder; // empty: the working folder
    std::string leaf;
};

// Splits at the last separator. A root keeps its separator: "/", "\", "C:\".
Split SplitPath(std::string_view path, PathStyle style = kNativeStyle);

// `leaf` in `folder`, with a separator between them unless `folder` is empty (the working
// folder) or already ends in one (or, on Windows, in a drive's colon).
std::string Join(std::string_view folder, std::string_view leaf, PathStyle style = kNativeStyle);

// `name` after `folder` and one separator, whatever `folder` ends in: the game's own way of
// forming its paths, kept as it stands.
std::string Under(std::string_view folder, std::string_view name, PathStyle style = kNativeStyle);

// "." for the working folder's empty name.
std::string FolderOrHere(std::string_view folder);

// "/games/krs"; on Windows "C:\Games", "\Games" or "C:Games".
bool IsAbsolute(std::string_view path, PathStyle style = kNativeStyle);

// As a message shows `path`: a relative one with `workingDir` in front.
std::string Shown(std::string_view path, std::string_view workingDir,
                  PathStyle style = kNativeStyle);

// The longest path this system takes, in bytes of UTF-8: PATH_MAX less its closing zero on
// Linux; on Windows, where every path reaches the system in its long form ("\\?\"), 32,767
// UTF-16 units less that prefix, which never count more than the UTF-8 bytes.
#ifdef _WIN32
inline constexpr std::size_t kLongestPath = 32760;
#else
inline constexpr std::size_t kLongestPath = 4095;
#endif

// Hidden temporaries start with this prefix and go on with the process id of the program that
// made them: "<prefix><pid>-<serial>.tmp".
inline constexpr std::string_view kTemporaryPrefix = ".jov-enable-";

std::string TemporaryName(unsigned long processId, unsigned serial);

// The process id in a name of exactly our temporaries' form; nothing for any other name, which
// is the player's whatever it begins with.
std::optional<unsigned long> TemporaryOwner(std::string_view name);

// Whether a leftover temporary may go: its name is exactly of our form, and its maker is this
// process (which holds none open between its writes) or has ended.
bool IsStaleTemporary(std::string_view name, unsigned long self,
                      const std::function<bool(unsigned long)>& processIsAlive);

} // namespace platform
