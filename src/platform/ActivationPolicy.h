#pragma once

#include <QObject>

// Whether the application shows in the task bar and dock as a regular application, or lives
// only in the tray (accessory). Linux desktops have no such switch for a running program, so
// this stand-in only keeps the policy and announces its changes; the task bar follows the
// windows themselves. GUI thread; one shared instance.
class ActivationPolicy : public QObject {
    Q_OBJECT
    Q_PROPERTY(Policy policy READ policy WRITE setPolicy NOTIFY policyChanged)

public:
    enum class Policy { Regular, Accessory };
    Q_ENUM(Policy)

    using QObject::QObject;

    static ActivationPolicy& shared();

    Policy policy() const { return policy_; }
    void setPolicy(Policy policy);

Q_SIGNALS:
    void policyChanged();

private:
    Policy policy_ = Policy::Regular;
};
