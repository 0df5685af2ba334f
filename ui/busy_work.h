#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace ui
{

// A command's work on a thread of its own, so that the window's thread stays free to paint and
// to answer the desktop while files are copied. What the work asks of the window is handed to
// the window's thread and waited for: the window is only ever touched from its own thread, in
// the order the work asks, and a message box the work shows is answered before it goes on.
//
// The toolkit's part (Toolkit::RunBusy) is to start it, to run its own events but no input
// until Serve says the work has ended, and to call Serve each time it is woken.
class BusyWork final
{
public:
    // Made on the window's thread, which it takes for the window's.
    explicit BusyWork(std::function<void()> work);
    // Waits for the work's thread; a work still waiting for the window is told it never will be.
    ~BusyWork();
    BusyWork(const BusyWork&) = delete;
    BusyWork& operator=(const BusyWork&) = delete;

    // Starts the work. `wake` is called from the work's thread each time Serve has something to
    // do, last when the work has ended, and never once Serve has returned true.
    void Start(std::function<void()> wake);
    // On the window's thread: runs what the work handed over, if anything; true once the work has
    // ended. A call that shows a box may run events that call Serve again: that does nothing.
    bool Serve();
    // Once Serve returned true: rethrows what the work threw, on the window's thread.
    void Finish();

    // From the work: runs `call` on the window's thread, returns once it has run and rethrows
    // what it threw. From the window's thread itself, runs it at once.
    void OnWindowThread(const std::function<void()>& call);

private:
    std::function<void()> work_;
    std::function<void()> wake_;
    const std::thread::id windowThread_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable served_;
    const std::function<void()>* call_ = nullptr; // handed over and not yet run
    std::exception_ptr callError_;
    std::exception_ptr workError_;
    bool serving_ = false;
    bool ended_ = false;
    bool abandoned_ = false;
};

} // namespace ui
