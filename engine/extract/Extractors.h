// The extractor component of each archive type.
#pragma once

#include <memory>

#include "engine/core/ArcType.h"
#include "engine/core/UnBase.h"

namespace quil {

// A new extractor for archives of type `t`; nullptr when the type has none (yet).
std::unique_ptr<TUnBase> ExtractorFor(TArcType t);

}  // namespace quil
