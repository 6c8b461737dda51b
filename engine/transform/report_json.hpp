// The report as JSON text: one line, members in the report's declaration order.
#pragma once

#include <string>

#include "transform/report.hpp"

namespace tersewright::transform {

std::string report_to_json(const Report& report);

}  // namespace tersewright::transform
