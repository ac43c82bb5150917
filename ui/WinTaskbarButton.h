// The progress bar on a window's taskbar button (ITaskbarList3). Windows only.
#pragma once

#include <memory>

#include <windows.h>

struct ITaskbarList3;

class WinTaskbarButton {
public:
    WinTaskbarButton();
    ~WinTaskbarButton();
    WinTaskbarButton(const WinTaskbarButton&) = delete;
    WinTaskbarButton& operator=(const WinTaskbarButton&) = delete;

    // `share` (0 to 1) of the bar filled on `window`'s button. False when
    // the shell offers no taskbar list or refuses the call.
    bool ShowProgress(HWND window, double share);
    // The button without a bar.
    bool ClearProgress(HWND window);
    // The shell's answer to the last call (S_OK, or why it failed).
    HRESULT LastResult() const { return last_; }

private:
    bool Ready();

    struct Release {
        void operator()(ITaskbarList3* list) const;
    };
    // The thread's COM apartment, held as long as the list is used.
    HRESULT apartment_ = E_FAIL;
    std::unique_ptr<ITaskbarList3, Release> list_;
    bool tried_ = false;
    HRESULT last_ = S_OK;
};
