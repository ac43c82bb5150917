#include "ui/WinTaskbarButton.h"

#include <algorithm>
#include <cmath>

#include <objbase.h>
#include <shobjidl.h>

void WinTaskbarButton::Release::operator()(ITaskbarList3* list) const {
    list->Release();
}

// Created on first use: by then the window has its taskbar button.
WinTaskbarButton::WinTaskbarButton() = default;

WinTaskbarButton::~WinTaskbarButton() {
    list_.reset();
    // S_FALSE (the apartment was there already, as Qt's) is counted too.
    if (SUCCEEDED(apartment_))
        ::CoUninitialize();
}

bool WinTaskbarButton::Ready() {
    if (list_)
        return true;
    if (tried_)
        return false;
    tried_ = true;
    apartment_ = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITaskbarList3* list = nullptr;
    last_ = ::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                               reinterpret_cast<void**>(&list));
    if (FAILED(last_) || !list)
        return false;
    list_.reset(list);
    last_ = list_->HrInit();
    if (FAILED(last_)) {
        list_.reset();
        return false;
    }
    return true;
}

bool WinTaskbarButton::ShowProgress(HWND window, double share) {
    if (!window || !Ready())
        return false;
    const auto done = static_cast<ULONGLONG>(std::lround(std::clamp(share, 0.0, 1.0) * 1000));
    last_ = list_->SetProgressState(window, TBPF_NORMAL);
    if (SUCCEEDED(last_))
        last_ = list_->SetProgressValue(window, done, 1000);
    return SUCCEEDED(last_);
}

bool WinTaskbarButton::ClearProgress(HWND window) {
    if (!window || !Ready())
        return false;
    last_ = list_->SetProgressState(window, TBPF_NOPROGRESS);
    return SUCCEEDED(last_);
}
