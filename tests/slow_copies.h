#pragma once

#include "platform/file_system.h"

#include <chrono>
#include <functional>
#include <thread>

// A slow disk for the window tests: each copy takes 0.3 s more, in three turns. Each turn asks,
// from the thread that copies, whether the window's thread `answers` within a second; before
// the first, `act` makes the player's input.
class SlowCopies final : public platform::ProxyFileSystem
{
public:
    SlowCopies(platform::FileSystem& inner, std::function<void()> act,
               std::function<bool()> answers)
        : ProxyFileSystem(inner), act_(std::move(act)), answers_(std::move(answers))
    {}

    void CopyFileReplacing(const std::string& source, const std::string& destination) override
    {
        for (int turn = 0; turn < 3; ++turn) {
            if (turns++ == 0) {
                act_();
            }
            // Once late, the window's thread is taken to be blocked: no more seconds spent.
            unanswered += unanswered == 0 && !answers_() ? 1 : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ProxyFileSystem::CopyFileReplacing(source, destination);
    }

    int turns = 0;
    int unanswered = 0;

private:
    std::function<void()> act_;
    std::function<bool()> answers_;
};
