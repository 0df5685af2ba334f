#pragma once

#include "platform/file_system.h"

#include <chrono>
#include <functional>
#include <thread>

// A slow disk for the window tests: each copy takes 0.3 s more, in three turns. Each turn asks,
// from the thread that copies, whether the window's thread `answers` within a second (once late,
// it is taken to be blocked and asked no more); before the first, `act` makes the player's input.
struct SlowCopies final : platform::ProxyFileSystem
{
    using ProxyFileSystem::ProxyFileSystem;

    std::string Stage(const std::string& source, const std::string& folder) override
    {
        for (int turn = 0; turn < 3; ++turn, ++turns) {
            turns == 0 ? act() : void();
            unanswered += unanswered == 0 && !answers() ? 1 : 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return ProxyFileSystem::Stage(source, folder);
    }

    std::function<void()> act;
    std::function<bool()> answers;
    int turns = 0;
    int unanswered = 0;
};
