// Any state file: no crash or sanitizer report, and the field read is that of its first 4096 bytes.
#include "platform/native_file_system.h"
#include "switcher/state_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <unistd.h>

namespace
{

const std::string& ScratchFile()
{
    static const std::string path = [] {
        std::string pattern = "/tmp/jov-fuzz-state-XXXXXX";
        const int fd = ::mkstemp(pattern.data());
        if (fd < 0) {
            std::abort();
        }
        ::close(fd);
        return pattern;
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string field = switcher::ParseStateLine(text);
    if (field.size() > text.size()) {
        std::abort();
    }
    // A quoted word without quotes inside reads back as itself.
    if (text.size() >= 4 && text.front() == '"' && text.ends_with("\"\r\n") &&
        text.substr(1, text.size() - 4).find('"') == std::string_view::npos &&
        field != text.substr(1, text.size() - 4)) {
        std::abort();
    }

    FILE* file = std::fopen(ScratchFile().c_str(), "wb");
    if (file == nullptr) {
        std::abort();
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    static platform::NativeFileSystem files;
    if (switcher::ParseStateLine(files.ReadFile(ScratchFile(), switcher::kStateReadLimit)) !=
        switcher::ParseStateLine(text.substr(0, std::min<std::size_t>(size, 4096)))) {
        std::abort();
    }
    return 0;
}
