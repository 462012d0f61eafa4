#pragma once

struct UpdateInfo;
struct UserUpdateState;

// What the update framework's standard user interface asks the application about an update it
// found. Called on the GUI thread, before the update is shown.
class UserDriverDelegate {
public:
    virtual ~UserDriverDelegate() = default;

    // The framework is about to show `update`; `handleShowingUpdate` says whether it shows it itself.
    virtual void standardUserDriverWillHandleShowingUpdate(bool handleShowingUpdate, const UpdateInfo& update,
        const UserUpdateState& state) = 0;
    // The user has turned to the update shown.
    virtual void standardUserDriverDidReceiveUserAttention(const UpdateInfo& update) = 0;
    // Whether the framework shows an update found by a scheduled check itself.
    virtual bool standardUserDriverShouldHandleShowingScheduledUpdate(const UpdateInfo& update, bool immediateFocus) = 0;
};
