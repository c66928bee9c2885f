// qvxpack's commands, each on its own page, and what they share: the exit
// statuses and the way a failure reaches the vendor.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/qvxpack/build_checks.h"
#include "tools/qvxpack/payload_builder.h"
#include "tools/qvxpack/version_record.h"

namespace qvx::pack {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A payload or executable to read is never near this; it only bounds memory.
inline constexpr std::uint64_t kMaxInputSize = kMaxFileSize;

// The whole run of qvxpack with its arguments (the command first), in UTF-8;
// returns the exit status.
int RunQvxpack(const std::vector<std::string>& args);

// Prints "qvxpack: message" on standard error; returns kExitFailure.
int Report(const std::string& message);
// Prints "qvxpack: warning: message" on standard error.
void Warn(const std::string& message);

// What a compressed file whose stream does not yield its header's expanded
// size claims and what its stream yields, for a message.
std::string ClaimAndYield(std::uint32_t expandedSize, std::span<const std::uint8_t> stream);

// compress IN OUT, expand IN OUT (command_single_file.cpp).
int Compress(const std::string& in, const std::string& out);
int Expand(const std::string& in, const std::string& out);

// pack and build (command_build.cpp). Pack checks against `limits`, or, when
// it is null, against the 64-bit installer's with a warning past the 32-bit
// one's. Build stamps the installed installer when `stub` is empty, and
// keeps the stub's version record unless `version` is given.
int Pack(const std::string& out, const std::vector<std::string>& inputs,
         const InstallerLimits* limits);
int Build(const std::string& out, const std::string& stub, const std::vector<std::string>& inputs,
          const VersionNumber* version);

// list, verify and unpack (command_inspect.cpp).
int List(const std::string& path);
int Verify(const std::string& path, const std::vector<std::string>& inputs);
// Unpack writes over files in dir only when `force` says so.
int Unpack(const std::string& path, const std::string& dir, bool force);

}  // namespace qvx::pack
