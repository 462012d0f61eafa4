#pragma once

#include "updater/UserDriverDelegate.h"

// The application's user-driver delegate: the framework shows every update itself, scheduled
// or asked for, and nothing else is done. GUI thread; owned by the application delegate.
class CustomUserDriver : public UserDriverDelegate {
public:
    void standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate, const UpdateInfo& update,
        const UserUpdateState& state) override;
    void standardUserDriverDidReceiveUserAttention(const UpdateInfo& update) override;
    bool standardUserDriverShouldHandleShowingScheduledUpdate(const UpdateInfo& update, bool immediateFocus) override;
};
