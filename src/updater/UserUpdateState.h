#pragma once

// What the update framework tells the user driver about an update it is about to show.
struct UserUpdateState {
    bool userInitiated = false; // the user asked for the check (the menu's command)
};
