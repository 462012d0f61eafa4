#pragma once

#include <QString>

#include <linux/capability.h>

// Makes a file unreadable to the calling thread while this lives: mode 000, and, since the
// superuser (as CI runs) reads a mode 000 file all the same, the thread's own right to pass over
// file modes dropped from its effective capabilities and raised again at the end. Code under
// test that reads the file must run on this thread.
class UnreadableFile {
public:
    explicit UnreadableFile(const QString& path);
    ~UnreadableFile();
    UnreadableFile(const UnreadableFile&) = delete;
    UnreadableFile& operator=(const UnreadableFile&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[_LINUX_CAPABILITY_U32S_3]{};
};
