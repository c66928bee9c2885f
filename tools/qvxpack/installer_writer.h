// Writes an installer to a file without holding its payload: the payload
// goes straight to its place in the output as it is produced, and the
// headers, which depend on its size, are written over their place last.
#pragma once

#include <functional>
#include <string>

#include "tools/qvxpack/byte_stream.h"
#include "tools/qvxpack/file_io.h"
#include "tools/qvxpack/installer_builder.h"

namespace qvx::pack {

// Writes the payload, in order, to the writer it is given; false with the
// reason in *error.
using PayloadProducer = std::function<bool(ByteWriter& out, std::string* error)>;

// Writes the installer made of stub and the payload that producePayload
// writes into out, from its first byte: the same bytes as BuildInstaller
// makes in memory. The caller commits out.
bool WriteInstaller(const InstallerStub& stub, const PayloadProducer& producePayload,
                    AtomicFileWriter& out, std::string* error);

}  // namespace qvx::pack
