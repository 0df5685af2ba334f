#pragma once

#include "platform/file_system.h"

#include <chrono>
#include <functional>
#include <thread>

// A slow disk for the window tests: each copy takes 0.3 s more, in three turns that each first
// run `during` on the thread that copies, so that a test acts and probes while the command works.
class SlowCopies final : public platform::ProxyFileSystem
{
public:
    SlowCopies(platform::FileSystem& inner, std::function<void()> during)
        : ProxyFileSystem(inner), during_(std::move(during))
    {}

    void CopyFileReplacing(const std::string& source, const std::string& destination) override
    {
        for (int turn = 0; turn < 3; ++turn) {
            during_();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ProxyFileSystem::CopyFileReplacing(source, destination);
    }

private:
    std::function<void()> during_;
};
