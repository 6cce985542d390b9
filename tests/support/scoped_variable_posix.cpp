// CScopedVariable over setenv and unsetenv.
#include "tests/support/scoped_variable.h"

#include <stdlib.h>

CScopedVariable::CScopedVariable(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = getenv(name)) {
        old_ = old;
    }
    Apply(value);
}

CScopedVariable::~CScopedVariable() {
    Apply(old_);
}

void CScopedVariable::Apply(const std::optional<std::string>& value) {
    if (value) {
        setenv(name_, value->c_str(), 1);
    } else {
        unsetenv(name_);
    }
}
