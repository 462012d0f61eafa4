#pragma once

#include <QString>

// Makes a call the process makes on its files fail, as a failing device or a network file
// system can, while this lives: `fsync`, `close` or `read` of any descriptor open on a file in
// `folder`, or `open` of a file there, reports `error`, from every thread (a descriptor closed that way is still released, as
// the system does). The test executable's own definitions of the calls stand in front of the C
// library's, so the code under test is the code that ships.
class FailingFileCall {
public:
    enum class Call { Fsync, Close, Read, Open };

    FailingFileCall(Call call, const QString& folder, int error);
    ~FailingFileCall();
    FailingFileCall(const FailingFileCall&) = delete;
    FailingFileCall& operator=(const FailingFileCall&) = delete;

    // How many calls were made to fail.
    int failures() const;
};
