#include "platform/ActivationPolicy.h"

#include "foundation/Shared.h"

ActivationPolicy& ActivationPolicy::shared() { return Shared<ActivationPolicy>::instance(); }

void ActivationPolicy::setPolicy(Policy policy)
{
    if (policy == policy_)
        return;
    policy_ = policy;
    Q_EMIT policyChanged();
}
