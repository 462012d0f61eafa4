#pragma once

#include "FailingFileCall.h"

#include <QString>

#include <optional>

// A failure to read a file that passes, made to happen while this lives: the process out of file
// descriptors when it opens a file of the folder, an I/O error on every read of one, or a
// directory in the file's place (the file kept under another name and put back at the end). Out
// of descriptors is injected rather than made by lowering the process's limit: the sanitizers
// need descriptors of their own for their checks.
class PassingFileFault {
public:
    enum class Kind { TooManyOpenFiles, IoError, DirectoryInPlace };
    static constexpr Kind kKinds[] = {Kind::TooManyOpenFiles, Kind::IoError, Kind::DirectoryInPlace};

    PassingFileFault(Kind kind, const QString& path);
    ~PassingFileFault();
    PassingFileFault(const PassingFileFault&) = delete;
    PassingFileFault& operator=(const PassingFileFault&) = delete;

    // A name for the case, fit for a folder.
    static QString name(Kind kind);
    // The system's words for it.
    static QString reason(Kind kind);

private:
    const Kind kind_;
    const QString path_;
    std::optional<FailingFileCall> failingCalls_;
};
