// The one error type that the bindings and pickers raise to their callers.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class TeskError : public std::runtime_error {
public:
    // Numbers used by the program.
    static constexpr int32_t kInvalidCall = 5;          // an engine call is already running
    static constexpr int32_t kSubscriptOutOfRange = 9;  // an index outside a list
    static constexpr int32_t kLibraryNotLoaded = 48;    // an engine library cannot be loaded
    static constexpr int32_t kPathNotFound = 76;        // a base folder that does not exist
    static constexpr int32_t kEntryPointNotFound = 453;

    TeskError(int32_t number, std::string source, std::string description)
        : std::runtime_error(description),
          number_(number),
          source_(std::move(source)),
          description_(std::move(description)) {}

    int32_t Number() const { return number_; }
    const std::string &Source() const { return source_; }
    const std::string &Description() const { return description_; }

    // The same error, reported by another source.
    TeskError WithSource(std::string source) const {
        return TeskError(number_, std::move(source), description_);
    }

private:
    int32_t number_;
    std::string source_;
    std::string description_;
};
