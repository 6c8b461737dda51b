// The fold: the engine's one entry point.
#pragma once

#include "analyzer/syntax.hpp"
#include "result.hpp"
#include "transform/errors.hpp"
#include "transform/profiles.hpp"
#include "transform/report.hpp"
#include "transform/request.hpp"

namespace tersewright::transform {

// Deterministic; keeps no state between calls. Problems with the content become warnings.
Result<FoldResult, EngineError> fold(const analyzer::AnalyzerRegistry& registry, FoldRequest request);

}  // namespace tersewright::transform
