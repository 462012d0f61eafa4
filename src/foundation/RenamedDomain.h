#pragma once

#include <QString>

class UserDefaults;

// A defaults domain that earlier versions kept under another name: what the old database holds
// comes over into the new domain once, and the old file is then kept beside it, renamed
// ("<file>.imported"), never deleted. A value the new domain already has wins. An old file that
// cannot be read, or values that cannot be committed, stay where they are for the next launch.
// GUI thread, on the profile whose lock this process holds.
namespace RenamedDomain {

// Brings what `oldDomain` holds into `target`; true when there was something to bring and it is
// now in `target` with the old file renamed.
bool bringOver(UserDefaults& target, const QString& oldDomain);

} // namespace RenamedDomain
