// The report's JSON text: one line, members in the report's declaration order.
#pragma once

#include <string>

#include "transform/report.hpp"

namespace tersewright::python {

std::string report_to_json(const transform::Report& report);

// The shortest decimal that reads back to the same double, in the report's notation:
// 0.0, 12.5, 0.0001, 4e-6, 1e16; null when not finite.
void append_json_double(std::string& out, double value);

}  // namespace tersewright::python
