// Fuzz targets: each takes arbitrary bytes and drives one reader or command through the
// stand-in host. A target returns normally for any input the code handles soundly and throws a
// Finding when the host is left holding something or an invariant breaks (uncaught under the
// fuzzer, which then keeps the input); sanitizers report the rest. The same functions replay kept
// inputs in the test suite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/Host.h"

namespace mf::fuzz {

class Finding : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Arbitrary bytes as the stored record: restored, flattened again and rendered into a tiny frame.
void StoredRecord(host::Host& host, const uint8_t* data, size_t size);
// Arbitrary text as a scene file: loaded, its effect set up, its controls applied.
void SceneFile(host::Host& host, const uint8_t* data, size_t size);
// A small composition, passes of any float bits and controls at any value their ranges allow,
// rendered at a chosen depth.
void Frame(host::Host& host, const uint8_t* data, size_t size);
// Arbitrary bytes as a compiled resource file: every dialog, bitmap and property list in it.
void Resources(host::Host& host, const uint8_t* data, size_t size);

// Arbitrary bytes as an EXR header carrying a camera (first byte odd) or as the text of a .chan
// file (even), with the import's options chosen by the first byte.
void CameraImport(host::Host& host, const uint8_t* data, size_t size);

struct Target {
  const char* name;
  void (*run)(host::Host&, const uint8_t*, size_t);
};
// Every target, by the name of its corpus folder.
const std::vector<Target>& Targets();

// The host the fuzzers share for their whole run (one host per process), with its preferences
// in a scratch folder.
host::Host& SharedHost();

}  // namespace mf::fuzz
