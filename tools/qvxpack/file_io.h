// Whole-file reads and all-or-nothing writes for the host tools, on Linux
// (file_io.cpp) and on Windows (file_io_win32.cpp).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qvx::pack {

// Reads a regular file whole. Fails, with a message naming the file, when it
// cannot be opened or read or is larger than maxSize bytes.
bool ReadWholeFile(const std::string& path, std::uint64_t maxSize, std::vector<std::uint8_t>* data,
                   std::string* error);

// Writes data to a temporary file beside path and renames it over path once
// it is complete, so that no partly written file ever stands under the name.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> data,
                         std::string* error);

// Creates a folder; one that exists already is fine.
bool CreateFolder(const std::string& path, std::string* error);

}  // namespace qvx::pack
