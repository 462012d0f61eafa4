#pragma once

#include "pictor/PictorError.h"
#include "pictor/Source.h"

namespace pictor {

// One failed source of a retrieval that went on to another source.
struct PropagationError {
    Source source;
    PictorError error;
};

} // namespace pictor
