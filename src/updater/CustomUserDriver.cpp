#include "updater/CustomUserDriver.h"

void CustomUserDriver::standardUserDriverWillHandleShowingUpdate(bool, const UpdateInfo&, const UserUpdateState&) {}

void CustomUserDriver::standardUserDriverDidReceiveUserAttention(const UpdateInfo&) {}

bool CustomUserDriver::standardUserDriverShouldHandleShowingScheduledUpdate(const UpdateInfo&, bool) { return true; }
