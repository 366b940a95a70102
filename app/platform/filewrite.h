#pragma once
// Writing the user's own files the safe way (see safefile.h): a file written whole goes to a
// temporary file in the same folder that is renamed over the old one only when every byte is
// on disk, so a failure or a crash leaves either the old file or the new one, never a partial
// file.

#include <QString>

#include <string>
#include <string_view>

#include "app/platform/safefile.h"

namespace vebix {

// A path of the program (UTF-8 in std::string) as Qt wants it, and back. Bytes that are not
// valid UTF-8 pass through as the file system's own encoding.
QString toQPath(std::string_view path);
std::string fromQPath(const QString& path);

// Writes the user's file at path whole through a temporary file and a rename (a symbolic link
// there is followed: its target is replaced). produce is called once with a sink for the
// contents. Throws Error(failureMessage + ": " + the system's reason) when the file cannot be
// written; the old file, if any, is then left as it was.
void writeWholeFile(const QString& path, const ByteProducer& produce,
                    const std::string& failureMessage);
// The same for contents already at hand.
void writeWholeFile(const QString& path, std::string_view contents,
                    const std::string& failureMessage);

}  // namespace vebix
