// An in-memory registry for the host tests: a tree of keys under
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE whose names compare without regard
// to case but keep the letters they were first written in, typed values with
// raw bytes, and one unnamed default value per key. It behaves as the
// Windows calls do where the installer relies on them, logs every open,
// create and close, and can refuse chosen creates, writes and reads.
//
// Paths given to the helpers are relative to a root and separated by
// backslashes ("SOFTWARE\\Microsoft"); an empty path is the root itself, an
// empty value name the default value.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qvx::sim {

class SimRegistry : public Registry {
 public:
  struct Value {
    std::string name;  // as first written; empty for the default value
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };

  enum class EventKind { Open, Create, Set, Query, Close };
  struct Event {
    EventKind kind = EventKind::Open;
    // The handle opened, created, closed or used; kNullKey when none came of it.
    RegKey key = kNullKey;
    // Open, Create: the sub-key as passed. Set, Query: the value name as
    // passed, "" for a null name.
    std::string name;
    // The key's full path as stored ("HKLM\\SOFTWARE\\Microsoft"); for a
    // failed open or create, the path asked for.
    std::string path;
    std::int32_t status = 0;  // what the call returned
    // Create: the options and access passed.
    std::uint32_t options = 0;
    std::uint32_t access = 0;
    // Set: the type and size passed. Query: the buffer's size on entry.
    std::uint32_t type = 0;
    std::uint32_t size = 0;
  };

  SimRegistry();
  ~SimRegistry();

  // Registry
  std::int32_t RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) override;
  std::int32_t RegCreateKeyExA(RegKey parent, const char* subKey, std::uint32_t options,
                               std::uint32_t desiredAccess, RegKey* result,
                               std::uint32_t* disposition) override;
  std::int32_t RegSetValueExA(RegKey key, const char* valueName, std::uint32_t type,
                              const void* data, std::uint32_t size) override;
  std::int32_t RegQueryValueExA(RegKey key, const char* valueName, std::uint32_t* type, void* data,
                                std::uint32_t* size) override;
  std::int32_t RegCloseKey(RegKey key) override;

  // Seeding and reading back.
  // The levels the installer expects on a Windows machine: "App Paths" and
  // "Uninstall" under HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion, and the
  // user's Shell Folders key with "Desktop" and "Programs".
  static constexpr char kDefaultDesktop[] = "C:\\WINDOWS\\Desktop";
  static constexpr char kDefaultPrograms[] = "C:\\WINDOWS\\Start Menu\\Programs";
  void SeedStandardKeys(const std::string& desktop = kDefaultDesktop,
                        const std::string& programs = kDefaultPrograms);
  // Creates every missing level of path.
  void CreateKey(RegKey root, const std::string& path);
  // Removes the key, its sub-keys and its values; open handles to them go stale.
  void DeleteKey(RegKey root, const std::string& path);
  // Creates the key as needed and sets the value.
  void SetValue(RegKey root, const std::string& path, const std::string& name, std::uint32_t type,
                std::vector<std::uint8_t> data);
  // REG_SZ text with its terminating zero.
  void SetString(RegKey root, const std::string& path, const std::string& name,
                 const std::string& text);
  void DeleteValue(RegKey root, const std::string& path, const std::string& name);

  bool KeyExists(RegKey root, const std::string& path) const;
  std::optional<Value> GetValue(RegKey root, const std::string& path,
                                const std::string& name) const;
  // A REG_SZ value's text up to its terminating zero; nullopt when the value is
  // absent, of another type, or has no terminating zero.
  std::optional<std::string> GetString(RegKey root, const std::string& path,
                                       const std::string& name) const;
  // Values of a key in name order (default value first); empty for no key.
  std::vector<Value> Values(RegKey root, const std::string& path) const;
  std::vector<std::string> SubKeys(RegKey root, const std::string& path) const;
  // Every key and value of the tree as lines "HKLM\\path" and
  // "HKLM\\path : name = type/size", for comparing whole trees.
  std::vector<std::string> Dump() const;

  // Handles and the event log.
  int openCount() const { return openCount_; }    // successful opens and creates
  int closeCount() const { return closeCount_; }  // successful closes
  std::size_t OpenHandleCount() const { return handles_.size(); }
  const std::vector<Event>& events() const { return events_; }
  void ClearEvents() { events_.clear(); }

  // Fault injection: the named key (its full path below root) refuses to be
  // created, or a value of it refuses to be set or read, with error.
  void FailCreate(RegKey root, const std::string& path, std::int32_t error = 5);
  void FailSet(RegKey root, const std::string& path, const std::string& name,
               std::int32_t error = 5);
  void FailQuery(RegKey root, const std::string& path, const std::string& name,
                 std::int32_t error = 5);

 private:
  struct Key;
  using Fault = std::map<std::string, std::int32_t>;  // folded full path -> error

  Key* RootKey(RegKey root) const;
  Key* Find(RegKey root, const std::string& path) const;
  Key* Resolve(RegKey handle) const;
  Key* Walk(Key* start, const std::string& path, bool create);
  RegKey NewHandle(Key* key);
  static std::string FullPath(const Key* key);
  static std::string FaultName(RegKey root, const std::string& path, const std::string& value);

  std::unique_ptr<Key> currentUser_;
  std::unique_ptr<Key> localMachine_;
  std::map<RegKey, Key*> handles_;
  RegKey nextHandle_ = 0x1000;
  int openCount_ = 0;
  int closeCount_ = 0;
  std::vector<Event> events_;
  Fault createFaults_;
  Fault setFaults_;
  Fault queryFaults_;
};

}  // namespace qvx::sim
