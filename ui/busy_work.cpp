#include "ui/busy_work.h"

#include <stdexcept>
#include <utility>

namespace ui
{

BusyWork::BusyWork(std::function<void()> work)
    : work_(std::move(work)), windowThread_(std::this_thread::get_id())
{}

BusyWork::~BusyWork()
{
    {
        const std::lock_guard lock(mutex_);
        abandoned_ = true;
    }
    served_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void BusyWork::Start(std::function<void()> wake)
{
    wake_ = std::move(wake);
    thread_ = std::thread([this] {
        std::exception_ptr error;
        try {
            work_();
        } catch (...) {
            error = std::current_exception();
        }
        // Woken under the lock: once Serve has seen the end, nothing calls `wake` any more.
        const std::lock_guard lock(mutex_);
        workError_ = error;
        ended_ = true;
        wake_();
    });
}

bool BusyWork::Serve()
{
    std::unique_lock lock(mutex_);
    if (serving_) {
        return false;
    }
    if (call_ == nullptr) {
        return ended_;
    }
    const std::function<void()>& call = *call_;
    serving_ = true;
    lock.unlock();
    std::exception_ptr error;
    try {
        call();
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    serving_ = false;
    callError_ = error;
    call_ = nullptr;
    served_.notify_all();
    return false;
}

void BusyWork::Finish()
{
    if (thread_.joinable()) {
        thread_.join();
    }
    if (workError_) {
        std::rethrow_exception(std::exchange(workError_, nullptr));
    }
}

void BusyWork::OnWindowThread(const std::function<void()>& call)
{
    if (std::this_thread::get_id() == windowThread_) {
        call();
        return;
    }
    std::unique_lock lock(mutex_);
    call_ = &call;
    if (!abandoned_) {
        wake_();
    }
    served_.wait(lock, [this] { return call_ == nullptr || abandoned_; });
    if (call_ != nullptr) {
        call_ = nullptr;
        throw std::runtime_error("The window stopped before the command had ended.");
    }
    if (callError_) {
        std::rethrow_exception(std::exchange(callError_, nullptr));
    }
}

} // namespace ui
