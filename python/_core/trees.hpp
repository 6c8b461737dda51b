// The value trees of a report (its dictionary form) and of a profile description.
#pragma once

#include "transform/profiles.hpp"
#include "transform/report.hpp"
#include "value_tree.hpp"

namespace tersewright::python {

Value report_tree(const transform::Report& report);
Value profile_tree(const transform::Profile& profile);

}  // namespace tersewright::python
