// CScopedVariable: sets or clears one environment variable for the length of a scope and puts
// the old value back when the scope ends (POSIX tests of the folder taken from the
// environment).
#pragma once

#include <optional>
#include <string>

class CScopedVariable {
public:
    CScopedVariable(const char* name, std::optional<std::string> value);
    ~CScopedVariable();
    CScopedVariable(const CScopedVariable&) = delete;
    CScopedVariable& operator=(const CScopedVariable&) = delete;

private:
    void Apply(const std::optional<std::string>& value);

    const char* name_;
    std::optional<std::string> old_;
};
