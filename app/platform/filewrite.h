#pragma once
// Writing files the safe way: a file written whole goes to a temporary file in the same folder
// that is renamed over the old one only when every byte is on disk, so a failure or a crash
// leaves either the old file or the new one, never a partial file.

#include <QString>

#include <functional>
#include <string>
#include <string_view>

namespace vebix {

// A path of the program (UTF-8 in std::string) as Qt wants it, and back. Bytes that are not
// valid UTF-8 pass through as the file system's own encoding.
QString toQPath(std::string_view path);
std::string fromQPath(const QString& path);

// Receives the bytes of the file being written; may be called any number of times.
using ByteSink = std::function<void(std::string_view)>;

// Writes the file at path whole through a temporary file and a rename. produce is called once
// with a sink for the contents. Throws Error(failureMessage + ": " + the system's reason) when
// the file cannot be written; the old file, if any, is then left as it was.
void writeWholeFile(const QString& path, const std::function<void(const ByteSink&)>& produce,
                    const std::string& failureMessage);
// The same for contents already at hand.
void writeWholeFile(const QString& path, std::string_view contents,
                    const std::string& failureMessage);

}  // namespace vebix
