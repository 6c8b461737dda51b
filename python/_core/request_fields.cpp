#include "request_fields.hpp"

#include "convert.hpp"

namespace tersewright::python {

bool convert_field(RequestFields& fields, Field field, PyObject* value, bool required) {
  const char* name = field_name(field);
  switch (field) {
#define TERSEWRIGHT_CONVERT_FIELD(member, type, initial) \
  case Field::member: return convert_argument(value, name, fields.member, required);
    TERSEWRIGHT_REQUEST_FIELDS(TERSEWRIGHT_CONVERT_FIELD, TERSEWRIGHT_CONVERT_FIELD)
#undef TERSEWRIGHT_CONVERT_FIELD
  }
  return true;
}

}  // namespace tersewright::python
