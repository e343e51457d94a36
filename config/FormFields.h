// Form fields sent with an upload: name to value, both byte strings, in byte order of names.
#pragma once

#include <boost/shared_ptr.hpp>
#include <map>
#include <string>

typedef std::map<std::string, std::string> FormFieldMap;
typedef boost::shared_ptr<FormFieldMap> FormFields;

inline FormFields MakeFormFields() {
    return FormFields(new FormFieldMap());
}
// A copy that later changes to the original do not reach (a worker's snapshot).
inline FormFields SnapshotFormFields(const FormFields& fields) {
    return FormFields(fields ? new FormFieldMap(*fields) : new FormFieldMap());
}
