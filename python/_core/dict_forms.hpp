// The dict forms of a report and of a profile description: keys in ascending order at every level.
#pragma once

#include <Python.h>

#include "transform/profiles.hpp"
#include "transform/report.hpp"

namespace tersewright::python {

// Each a new reference, or null with a Python exception set.
PyObject* report_dict(const transform::Report& report);
PyObject* profile_dict(const transform::Profile& profile);

}  // namespace tersewright::python
