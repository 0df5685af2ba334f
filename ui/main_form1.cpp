#include "ui/main_form1.h"

#include "ui/failure_guard.h"
#include "ui/forms.h"
#include "ui/virtual_store_notice.h"

#include <chrono>

namespace ui
{

Main_Form1::Main_Form1(Toolkit& toolkit, platform::FileSystem* files)
    : toolkit_(toolkit),
      ownFiles_(files != nullptr ? nullptr : std::make_unique<platform::NativeFileSystem>()),
      files_(files != nullptr ? *files : *ownFiles_)
{}

int Main_Form1::Run()
{
    return Form_Load() ? toolkit_.ShowAndRun() : exitCode_;
}

bool Main_Form1::Form_Load()
{
    bool locked = false;
    Handle([this, &locked] {
        lock_ = platform::FolderLock::Acquire(".", std::chrono::seconds(5));
        if (!lock_) {
            ShowMessage(std::string(forms::kFolderBusyMessage));
            return;
        }
        locked = true;
        switcher_.Start();
    });
    if (failed_) {
        exitCode_ = kFailureExitCode;
        return false;
    }
    if (!locked) {
        exitCode_ = 1;
        return false;
    }
    return true;
}

void Main_Form1::Click(switcher::Control control)
{
    Handle([this, control] {
        // After a switch, once: what the game reads from the VirtualStore instead.
        std::string notice;
        RunBusy([this, control, &notice] {
            if (switcher_.Click(control) == switcher::Outcome::Done &&
                switcher::SetOf(control) != nullptr) {
                notice = VirtualStoreNotice(switcher_.State().GameDir);
            }
        });
        if (!notice.empty()) {
            toolkit_.ShowBox(notice, BoxIcon::Warning);
        }
    });
}

void Main_Form1::Country_Click(int index)
{
    Handle([this, index] {
        RunBusy([this, index] { switcher_.Country_Click(static_cast<std::int16_t>(index)); });
    });
}

void Main_Form1::mnuHelp_Click()
{
    Handle([this] {
        // Loaded at the first showing, and again after a close through the title bar.
        if (!help_ || help_->Unloaded()) {
            help_ = toolkit_.LoadHelp();
        }
        help_->ShowModal();
        if (help_->Unloaded()) {
            help_.reset();
        }
    });
}

void Main_Form1::Handle(const std::function<void()>& handler)
{
    // A command already running takes no other handler, whatever a toolkit lets through.
    if (failed_ || work_ != nullptr) {
        return;
    }
    ++handlerDepth_;
    const bool done = RunGuarded(
        handler, [this](const std::string& text) { toolkit_.ShowBox(text, BoxIcon::Error); });
    --handlerDepth_;
    if (!done) {
        failed_ = true;
        busy_ = true;
        toolkit_.SetWindowEnabled(false);
        toolkit_.EndProgram(kFailureExitCode);
        return;
    }
    if (handlerDepth_ == 0 && enablePending_) {
        EnableAfterCommand();
    }
}

void Main_Form1::RunBusy(const std::function<void()>& work)
{
    BusyWork busy(work);
    work_ = &busy;
    try {
        toolkit_.RunBusy(busy);
    } catch (...) {
        work_ = nullptr;
        throw;
    }
    work_ = nullptr;
    busy.Finish();
}

void Main_Form1::OnWindowThread(const std::function<void()>& call)
{
    if (work_ != nullptr) {
        work_->OnWindowThread(call);
    } else {
        call();
    }
}

void Main_Form1::EnableAfterCommand()
{
    toolkit_.DropQueuedInput();
    enablePending_ = false;
    busy_ = false;
    toolkit_.SetWindowEnabled(true);
}

void Main_Form1::SetCaption(const std::string& text)
{
    OnWindowThread([this, &text] { toolkit_.SetCaption(text); });
}

void Main_Form1::SetEnabled(switcher::Control control, bool flag)
{
    OnWindowThread([this, control, flag] { toolkit_.SetButtonEnabled(control, flag); });
}

void Main_Form1::SetWindowEnabled(bool flag)
{
    OnWindowThread([this, flag] { ApplyWindowEnabled(flag); });
}

void Main_Form1::ApplyWindowEnabled(bool flag)
{
    if (!flag) {
        busy_ = true;
        enablePending_ = false;
        toolkit_.SetWindowEnabled(false);
        return;
    }
    // Within a handler the enabling waits until the handler has ended.
    if (handlerDepth_ > 0) {
        enablePending_ = true;
        return;
    }
    busy_ = false;
    toolkit_.SetWindowEnabled(true);
}

void Main_Form1::ShowMessage(const std::string& text)
{
    OnWindowThread([this, &text] { toolkit_.ShowBox(text, BoxIcon::None); });
}

} // namespace ui
