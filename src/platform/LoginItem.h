#pragma once

#include <QString>

// This program's entry among the programs the desktop session starts when the user logs in.
// The Linux implementation is XdgAutostartLoginItem; tests install FakeLoginItem with
// Shared<LoginItem>::Override. GUI thread.
class LoginItem {
public:
    // The status values of the item; only Enabled means the session will start the program.
    // RequiresApproval: registered but waiting for the user's consent (no Linux desktop has it).
    // Damaged: the program's own entry is there but cannot be read as one (garbage, cut short,
    // no command, a folder); it says nothing of the user's wish, which is kept elsewhere.
    // OtherCopy: the program's own entry, on, but starting a copy at another path (one the user
    // ran before, since moved or replaced by an installed package); registering points it here.
    enum class Status { NotRegistered, Enabled, RequiresApproval, NotFound, Damaged, OtherCopy };

    // The argument the session passes when it starts the program at login.
    static inline const QString kLoginLaunchArgument = QStringLiteral("--login-launch");

    virtual ~LoginItem() = default;

    static LoginItem& shared();

    // Read afresh from the system on every call.
    virtual Status status() const = 0;
    // Both throw an AppError when the system refuses.
    virtual void registerItem() = 0;
    virtual void unregisterItem() = 0;
    // Shows the user where login items are managed; never fails.
    virtual void openSettings() = 0;
};
