#include "SampleCatalogue.h"
