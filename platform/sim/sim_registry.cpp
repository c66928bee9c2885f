#include "platform/sim/sim_registry.h"

#include <algorithm>
#include <cstring>

#include "platform/win_values.h"

namespace qvx::sim {

namespace {

constexpr std::int32_t kSuccess = static_cast<std::int32_t>(kErrorSuccess);
constexpr std::int32_t kNotFound = static_cast<std::int32_t>(kErrorFileNotFound);
constexpr std::int32_t kBadHandle = static_cast<std::int32_t>(kErrorInvalidHandle);
constexpr std::int32_t kBadParameter = static_cast<std::int32_t>(kErrorInvalidParameter);
constexpr std::int32_t kMoreData = static_cast<std::int32_t>(kErrorMoreData);
constexpr std::uint32_t kCreatedNewKey = 1;      // REG_CREATED_NEW_KEY
constexpr std::uint32_t kOpenedExistingKey = 2;  // REG_OPENED_EXISTING_KEY

// Registry names compare as Windows compares them for ANSI names: letters
// without regard to case.
std::string Fold(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

}  // namespace

struct SimRegistry::Key {
  std::string name;
  Key* parent = nullptr;
  std::map<std::string, std::unique_ptr<Key>> children;  // by folded name
  std::map<std::string, Value> values;                   // by folded name; "" is the default
};

SimRegistry::SimRegistry()
    : currentUser_(std::make_unique<Key>(Key{"HKCU", nullptr, {}, {}})),
      localMachine_(std::make_unique<Key>(Key{"HKLM", nullptr, {}, {}})) {}

SimRegistry::~SimRegistry() = default;

SimRegistry::Key* SimRegistry::RootKey(RegKey root) const {
  if (root == kHkeyCurrentUser) return currentUser_.get();
  if (root == kHkeyLocalMachine) return localMachine_.get();
  return nullptr;
}

SimRegistry::Key* SimRegistry::Resolve(RegKey handle) const {
  if (Key* root = RootKey(handle)) return root;
  auto found = handles_.find(handle);
  return found == handles_.end() ? nullptr : found->second;
}

SimRegistry::Key* SimRegistry::Walk(Key* start, const std::string& path, bool create) {
  Key* key = start;
  for (const std::string& part : SplitPath(path)) {
    if (!key) return nullptr;
    auto found = key->children.find(Fold(part));
    if (found != key->children.end()) {
      key = found->second.get();
    } else if (create) {
      auto child = std::make_unique<Key>(Key{part, key, {}, {}});
      Key* raw = child.get();
      key->children.emplace(Fold(part), std::move(child));
      key = raw;
    } else {
      return nullptr;
    }
  }
  return key;
}

SimRegistry::Key* SimRegistry::Find(RegKey root, const std::string& path) const {
  return const_cast<SimRegistry*>(this)->Walk(RootKey(root), path, false);
}

RegKey SimRegistry::NewHandle(Key* key) {
  RegKey handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = key;
  ++openCount_;
  return handle;
}

std::string SimRegistry::FullPath(const Key* key) {
  std::string path = key->name;
  for (const Key* k = key->parent; k; k = k->parent) path = k->name + "\\" + path;
  return path;
}

std::string SimRegistry::FaultName(RegKey root, const std::string& path, const std::string& value) {
  std::string name = root == kHkeyCurrentUser ? "HKCU" : "HKLM";
  for (const std::string& part : SplitPath(path)) name += "\\" + part;
  return Fold(name + "|" + value);
}

std::int32_t SimRegistry::RegOpenKeyA(RegKey parent, const char* subKey, RegKey* result) {
  if (!result) return kBadParameter;
  *result = kNullKey;
  Event event{EventKind::Open, kNullKey, Text(subKey), Text(subKey), kSuccess};
  Key* from = Resolve(parent);
  if (!from) {
    event.status = kBadHandle;
  } else {
    event.path = FullPath(from) + (subKey && *subKey ? "\\" + Text(subKey) : "");
    // Unlike Windows, an empty sub-key opens a new handle to the same key, so
    // that every handle a caller holds is its own to close.
    Key* key = Walk(from, Text(subKey), false);
    if (!key) {
      event.status = kNotFound;
    } else {
      *result = NewHandle(key);
      event.key = *result;
      event.path = FullPath(key);
    }
  }
  events_.push_back(event);
  return event.status;
}

std::int32_t SimRegistry::RegCreateKeyExA(RegKey parent, const char* subKey, std::uint32_t options,
                                          std::uint32_t desiredAccess, RegKey* result,
                                          std::uint32_t* disposition) {
  Event event{EventKind::Create, kNullKey, Text(subKey), Text(subKey),
              kSuccess,          options,  desiredAccess};
  Key* from = Resolve(parent);
  if (!result || !subKey) {
    event.status = kBadParameter;
  } else if (!from) {
    event.status = kBadHandle;
  } else {
    std::string wanted = FullPath(from) + (*subKey ? "\\" + Text(subKey) : "");
    event.path = wanted;
    auto fault = createFaults_.find(Fold(wanted + "|"));
    if (fault != createFaults_.end()) {
      // A refused create leaves the out handle as it was, as Windows does not
      // promise anything about it.
      event.status = fault->second;
    } else {
      bool existed = Walk(from, subKey, false) != nullptr;
      Key* key = Walk(from, subKey, true);
      *result = NewHandle(key);
      if (disposition) *disposition = existed ? kOpenedExistingKey : kCreatedNewKey;
      event.key = *result;
      event.path = FullPath(key);
    }
  }
  events_.push_back(event);
  return event.status;
}

std::int32_t SimRegistry::RegSetValueExA(RegKey handle, const char* valueName, std::uint32_t type,
                                         const void* data, std::uint32_t size) {
  Event event{EventKind::Set, handle, Text(valueName), {}, kSuccess, 0, 0, type, size};
  Key* key = Resolve(handle);
  if (!key) {
    event.status = kBadHandle;
  } else {
    event.path = FullPath(key);
    auto fault = setFaults_.find(Fold(event.path + "|" + Text(valueName)));
    if (fault != setFaults_.end()) {
      event.status = fault->second;
    } else if (!data && size > 0) {
      event.status = kBadParameter;
    } else {
      const auto* bytes = static_cast<const std::uint8_t*>(data);
      Value& value = key->values[Fold(Text(valueName))];
      if (value.name.empty()) value.name = Text(valueName);
      value.type = type;
      value.data.assign(bytes, bytes + size);
    }
  }
  events_.push_back(event);
  return event.status;
}

std::int32_t SimRegistry::RegQueryValueExA(RegKey handle, const char* valueName,
                                           std::uint32_t* type, void* data, std::uint32_t* size) {
  Event event{EventKind::Query, handle, Text(valueName), {}, kSuccess, 0, 0, 0, size ? *size : 0};
  Key* key = Resolve(handle);
  if (!key) {
    event.status = kBadHandle;
  } else {
    event.path = FullPath(key);
    auto fault = queryFaults_.find(Fold(event.path + "|" + Text(valueName)));
    auto found = key->values.find(Fold(Text(valueName)));
    if (fault != queryFaults_.end()) {
      event.status = fault->second;
    } else if (data && !size) {
      event.status = kBadParameter;
    } else if (found == key->values.end()) {
      event.status = kNotFound;
    } else {
      const Value& value = found->second;
      auto needed = static_cast<std::uint32_t>(value.data.size());
      if (type) *type = value.type;
      if (data && *size < needed) {
        event.status = kMoreData;
      } else if (data) {
        std::memcpy(data, value.data.data(), needed);
      }
      if (size) *size = needed;
    }
  }
  events_.push_back(event);
  return event.status;
}

std::int32_t SimRegistry::RegCloseKey(RegKey handle) {
  Event event{EventKind::Close, handle, {}, {}, kSuccess};
  if (Key* root = RootKey(handle)) {
    // Closing a predefined root succeeds and changes nothing.
    event.path = root->name;
  } else if (auto found = handles_.find(handle); found != handles_.end()) {
    event.path = FullPath(found->second);
    handles_.erase(found);
    ++closeCount_;
  } else {
    event.status = kBadHandle;
  }
  events_.push_back(event);
  return event.status;
}

void SimRegistry::SeedStandardKeys(const std::string& desktop, const std::string& programs) {
  const std::string version = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  CreateKey(kHkeyLocalMachine, version + "\\App Paths");
  CreateKey(kHkeyLocalMachine, version + "\\Uninstall");
  const std::string shell = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  SetString(kHkeyCurrentUser, shell, "Desktop", desktop);
  SetString(kHkeyCurrentUser, shell, "Programs", programs);
}

void SimRegistry::CreateKey(RegKey root, const std::string& path) {
  Walk(RootKey(root), path, true);
}

void SimRegistry::DeleteKey(RegKey root, const std::string& path) {
  Key* key = Find(root, path);
  if (!key || !key->parent) return;
  std::vector<const Key*> doomed{key};
  for (std::size_t i = 0; i < doomed.size(); ++i) {
    for (const auto& child : doomed[i]->children) doomed.push_back(child.second.get());
  }
  std::erase_if(handles_, [&](const auto& entry) {
    return std::find(doomed.begin(), doomed.end(), entry.second) != doomed.end();
  });
  key->parent->children.erase(Fold(key->name));
}

void SimRegistry::SetValue(RegKey root, const std::string& path, const std::string& name,
                           std::uint32_t type, std::vector<std::uint8_t> data) {
  Key* key = Walk(RootKey(root), path, true);
  if (!key) return;
  Value& value = key->values[Fold(name)];
  if (value.name.empty()) value.name = name;
  value.type = type;
  value.data = std::move(data);
}

void SimRegistry::SetString(RegKey root, const std::string& path, const std::string& name,
                            const std::string& text) {
  std::vector<std::uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  SetValue(root, path, name, kRegSz, std::move(data));
}

void SimRegistry::DeleteValue(RegKey root, const std::string& path, const std::string& name) {
  if (Key* key = Find(root, path)) key->values.erase(Fold(name));
}

bool SimRegistry::KeyExists(RegKey root, const std::string& path) const {
  return Find(root, path) != nullptr;
}

std::optional<SimRegistry::Value> SimRegistry::GetValue(RegKey root, const std::string& path,
                                                        const std::string& name) const {
  Key* key = Find(root, path);
  if (!key) return std::nullopt;
  auto found = key->values.find(Fold(name));
  if (found == key->values.end()) return std::nullopt;
  return found->second;
}

std::optional<std::string> SimRegistry::GetString(RegKey root, const std::string& path,
                                                  const std::string& name) const {
  std::optional<Value> value = GetValue(root, path, name);
  if (!value || value->type != kRegSz || value->data.empty() || value->data.back() != 0) {
    return std::nullopt;
  }
  std::string text(value->data.begin(), value->data.end() - 1);
  return text.substr(0, text.find('\0'));
}

std::vector<SimRegistry::Value> SimRegistry::Values(RegKey root, const std::string& path) const {
  std::vector<Value> values;
  if (Key* key = Find(root, path)) {
    for (const auto& entry : key->values) values.push_back(entry.second);
  }
  return values;
}

std::vector<std::string> SimRegistry::SubKeys(RegKey root, const std::string& path) const {
  std::vector<std::string> names;
  if (Key* key = Find(root, path)) {
    for (const auto& entry : key->children) names.push_back(entry.second->name);
  }
  return names;
}

std::vector<std::string> SimRegistry::Dump() const {
  std::vector<std::string> lines;
  std::vector<const Key*> pending{currentUser_.get(), localMachine_.get()};
  while (!pending.empty()) {
    const Key* key = pending.back();
    pending.pop_back();
    std::string path = FullPath(key);
    lines.push_back(path);
    for (const auto& [folded, value] : key->values) {
      lines.push_back(path + " : " + value.name + " = " + std::to_string(value.type) + "/" +
                      std::to_string(value.data.size()));
    }
    for (const auto& child : key->children) pending.push_back(child.second.get());
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

void SimRegistry::FailCreate(RegKey root, const std::string& path, std::int32_t error) {
  createFaults_[FaultName(root, path, "")] = error;
}

void SimRegistry::FailSet(RegKey root, const std::string& path, const std::string& name,
                          std::int32_t error) {
  setFaults_[FaultName(root, path, name)] = error;
}

void SimRegistry::FailQuery(RegKey root, const std::string& path, const std::string& name,
                            std::int32_t error) {
  queryFaults_[FaultName(root, path, name)] = error;
}

}  // namespace qvx::sim
