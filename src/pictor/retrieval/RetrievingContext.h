#pragma once

#include "pictor/retrieval/PictorParsedOptionsInfo.h"
#include "pictor/core/PropagationError.h"
#include "pictor/retrieval/Source.h"

#include <QList>

#include <mutex>
#include <optional>

namespace pictor {

// What one retrieval carries from attempt to attempt: its options (alternatives and the low-data
// source are consumed from them), the source first asked for and the failures met so far.
// Shared between the threads the attempts finish on.
class RetrievingContext {
public:
    RetrievingContext(PictorParsedOptionsInfo options, Source originalSource)
        : options_(std::move(options)), originalSource_(std::move(originalSource)) {}

    PictorParsedOptionsInfo options() const;
    void setOptions(PictorParsedOptionsInfo options);
    const Source& originalSource() const { return originalSource_; }

    // Takes the first alternative source out of the options; nothing when none is left.
    std::optional<Source> nextAlternativeSource();
    // Takes the low-data source out of the options, so that it is tried once.
    std::optional<Source> takeLowDataModeSource();

    void recordError(const PictorError& error, const Source& source);
    QList<PropagationError> propagationErrors() const;

private:
    mutable std::mutex mutex_;
    PictorParsedOptionsInfo options_;
    const Source originalSource_;
    QList<PropagationError> propagationErrors_;
};

} // namespace pictor
