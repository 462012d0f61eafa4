#pragma once

#include "platform/LoginItem.h"

#include <optional>

// A login item a test controls: the status it reports, what registering and unregistering do
// to it, and whether they fail. Install with Shared<LoginItem>::Override.
class FakeLoginItem : public LoginItem {
public:
    Status status() const override { return status_; }
    void registerItem() override;
    void unregisterItem() override;
    void openSettings() override { ++settingsOpened; }

    void setStatus(Status status) { status_ = status; }

    // The status a successful registration leaves (Enabled unless a test wants the approval wait).
    Status statusAfterRegistering = Status::Enabled;
    // When set, the call throws an error with this text and changes nothing.
    std::optional<QString> registerFailure;
    std::optional<QString> unregisterFailure;

    int registerCalls = 0;
    int unregisterCalls = 0;
    int settingsOpened = 0;

private:
    Status status_ = Status::NotRegistered;
};
