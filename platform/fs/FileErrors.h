// Error numbers of failed file operations, as the messages shown to the user are chosen by.
#pragma once

#include <stdexcept>
#include <string>

namespace files {

constexpr long kPermissionDenied = 70;
constexpr long kBadFileName = 52;
constexpr long kBadSyntax = -2147024773;  // 0x8007007B: name, folder or volume syntax
constexpr long kDiskFull = 61;            // no space left on the device or in the quota
constexpr long kNotWritten = 75;          // the device failed, or a size or link limit was reached

// The number for an errno value; -1 for any other failure.
long errorNumberOf(int err);

// A failed file operation with its number.
struct FileError : std::runtime_error {
    long number;
    FileError(long n, const std::string& what) : std::runtime_error(what), number(n) {}
};

// The text shown for a known number ("" for others); permissionText replaces the text of
// kPermissionDenied, which names what could not be saved. A reason (the operating system's
// words) is added on a line of its own.
std::string fileErrorText(long number, const std::string& permissionText, const std::string& reason = {});

}  // namespace files
