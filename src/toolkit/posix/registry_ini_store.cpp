// SPDX-License-Identifier: GPL-3.0-or-later
// The registry of a system without one: a per-user INI file, "[HKEY_CURRENT_USER\Control Panel\desktop]"
// sections of "name=value" lines.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "toolkit/exceptions.h"
#include "toolkit/files.h"
#include "toolkit/registry_store.h"
#include "toolkit/text_lines.h"
#include "toolkit/utf8.h"

namespace lumora {

namespace {

constexpr std::array<std::string_view, 5> kRootNames = {
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS", "HKEY_CURRENT_CONFIG"};

// The store holds a few settings. Anything far bigger is not ours (or is garbage), and reading it
// whole could exhaust memory, so it is treated like any other damaged store.
constexpr off_t kMaxStoreSize = 16 * 1024 * 1024;

// ---- text helpers ----------------------------------------------------------------------------------

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Windows compares key and value names ignoring case; only ASCII folding is attempted, which is what
// matters for the names the program uses and cannot misfire on UTF-8.
bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsControl(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

// Lines the store never contains as written: raw control characters or broken UTF-8 mean the file
// was damaged or is not a store at all.
bool IsCleanLine(std::string_view line) {
  for (std::size_t i = 0; i < line.size();) {
    const auto c = static_cast<unsigned char>(line[i]);
    if (c != '\t' && IsControl(c)) return false;
    const std::size_t length = Utf8SequenceLength(line, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

void AppendHexEscape(std::string& out, unsigned char c) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[c >> 4];
  out += kDigits[c & 0x0F];
}

// Makes a name or value safe for one "name=value" line that survives editors and trimming readers:
// line ends, control characters, bytes that are not UTF-8, and spaces at either end become escapes;
// in names so do '=' and a leading '[', ';' or '#', which would otherwise read as structure.
std::string Escape(std::string_view text, bool isName) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      AppendHexEscape(out, c);
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(text.substr(i, length));
      i += length;
      continue;
    }
    const bool atEdge = i == 0 || i + 1 == text.size();
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (IsControl(c) || (c == ' ' && atEdge)) {
      AppendHexEscape(out, c);
    } else if (isName && (c == '=' || (i == 0 && (c == '[' || c == ';' || c == '#')))) {
      out += '\\';
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  return out;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The inverse of Escape; nullopt for an escape Escape never writes, which marks a damaged line.
std::optional<std::string> Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return std::nullopt;
    switch (text[i]) {
      case '\\':
      case '=':
      case '[':
      case ';':
      case '#':
        out += text[i];
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'x': {
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = HexDigitValue(text[i + 1]);
        const int low = HexDigitValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return out;
}

// ---- key names -------------------------------------------------------------------------------------

// Names the store can write back: no control characters, nothing that is not UTF-8.
bool StorableKeyName(const registry_store::KeyName& key) {
  for (const std::string& part : key.path) {
    if (!IsCleanLine(part) || part.find('\t') != std::string::npos) return false;
  }
  return true;
}

// "HKEY_CURRENT_USER\Control Panel\desktop": the hive's name and the path, the store's section name.
std::string SectionName(const registry_store::KeyName& key) {
  std::string name(kRootNames[static_cast<std::size_t>(key.root)]);
  for (const std::string& part : key.path) {
    name += '\\';
    name += part;
  }
  return name;
}

// True when section is key itself or lies below it: on Windows creating A\B\C creates A and A\B too.
bool IsKeyOrBelow(std::string_view section, std::string_view key) {
  if (section.size() < key.size() || !SameText(section.substr(0, key.size()), key)) return false;
  return section.size() == key.size() || section[key.size()] == '\\';
}

// ---- the store file --------------------------------------------------------------------------------

struct StoreValue {
  std::string name;
  std::string value;
};

struct StoreSection {
  std::string key;  // hive included
  std::vector<StoreValue> values;
};

struct Store {
  std::vector<StoreSection> sections;

  StoreSection* Find(std::string_view key) {
    for (StoreSection& section : sections) {
      if (SameText(section.key, key)) return &section;
    }
    return nullptr;
  }

  std::size_t FindOrAddIndex(std::string_view key) {
    for (std::size_t i = 0; i < sections.size(); ++i) {
      if (SameText(sections[i].key, key)) return i;
    }
    sections.push_back(StoreSection{std::string(key), {}});
    return sections.size() - 1;
  }

  StoreSection& FindOrAdd(std::string_view key) { return sections[FindOrAddIndex(key)]; }

  bool KeyExists(std::string_view key) const {
    for (const StoreSection& section : sections) {
      if (IsKeyOrBelow(section.key, key)) return true;
    }
    return false;
  }
};

const StoreValue* FindValue(const StoreSection& section, std::string_view name) {
  for (const StoreValue& value : section.values) {
    if (SameText(value.name, name)) return &value;
  }
  return nullptr;
}

void SetValue(StoreSection& section, std::string name, std::string value) {
  for (StoreValue& existing : section.values) {
    // The name keeps the spelling it was created with, as on Windows.
    if (SameText(existing.name, name)) {
      existing.value = std::move(value);
      return;
    }
  }
  section.values.push_back(StoreValue{std::move(name), std::move(value)});
}

// "[HKEY_CURRENT_USER\Control Panel\desktop]" -> "HKEY_CURRENT_USER\Control Panel\desktop".
std::optional<std::string> ParseSectionHeader(std::string_view line) {
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
  const std::vector<std::string> parts = registry_store::SplitKeyName(line.substr(1, line.size() - 2));
  if (parts.empty()) return std::nullopt;
  for (std::size_t root = 0; root < kRootNames.size(); ++root) {
    if (!SameText(parts[0], kRootNames[root])) continue;
    const registry_store::KeyName key{static_cast<TRootKey>(root), {parts.begin() + 1, parts.end()}};
    if (!StorableKeyName(key)) return std::nullopt;
    return SectionName(key);
  }
  return std::nullopt;
}

bool ParseValueLine(std::string_view line, StoreSection& section) {
  std::size_t equals = 0;
  while (equals < line.size() && line[equals] != '=') equals += line[equals] == '\\' ? 2 : 1;
  if (equals >= line.size()) return false;
  auto name = Unescape(Trim(line.substr(0, equals)));
  auto value = Unescape(Trim(line.substr(equals + 1)));
  if (!name || !value) return false;
  SetValue(section, std::move(*name), std::move(*value));
  return true;
}

// Reads what can be read. Damaged lines are skipped; after a damaged section header the values that
// follow are skipped too, because they cannot be told apart from the previous section's.
Store ParseStore(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Store store;
  // Index of the section that value lines belong to; none before the first header or after a bad one.
  constexpr std::size_t kNoSection = static_cast<std::size_t>(-1);
  std::size_t current = kNoSection;
  for (const std::string& rawLine : SplitTextLines(text)) {
    const std::string_view line = Trim(rawLine);
    const bool looksLikeHeader = !line.empty() && line.front() == '[';
    if (!IsCleanLine(rawLine)) {
      if (looksLikeHeader) current = kNoSection;
      continue;
    }
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (looksLikeHeader) {
      current = kNoSection;
      if (const auto key = ParseSectionHeader(line)) current = store.FindOrAddIndex(*key);
      continue;
    }
    if (current != kNoSection) ParseValueLine(line, store.sections[current]);
  }
  return store;
}

std::string SerializeStore(const Store& store) {
  std::string text =
      "; Lumora settings: the per-user stand-in for the Windows registry.\n"
      "; Lumora rewrites this file as a whole on every change.\n";
  for (const StoreSection& section : store.sections) {
    text += '\n';
    text += '[';
    text += section.key;
    text += "]\n";
    for (const StoreValue& value : section.values) {
      text += Escape(value.name, true);
      text += '=';
      text += Escape(value.value, false);
      text += '\n';
    }
  }
  return text;
}

Store LoadStore(const std::string& fileName) {
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxStoreSize) {
    return {};
  }
  try {
    return ParseStore(ReadFileText(fileName));
  } catch (const Exception&) {
    return {};
  }
}

std::string DirectoryOf(const std::string& fileName) {
  const std::size_t pos = fileName.find_last_of('/');
  if (pos == std::string::npos) return ".";
  if (pos == 0) return "/";
  return fileName.substr(0, pos);
}

// mkdir -p with the 0700 the XDG base-directory rules ask for.
bool MakeDirectories(const std::string& directory) {
  struct stat info {};
  if (::stat(directory.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
  const std::size_t pos = directory.find_last_of('/');
  if (pos != std::string::npos && pos > 0 && !MakeDirectories(directory.substr(0, pos))) return false;
  return ::mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST;
}

// Serialises read-modify-write cycles of all processes sharing the directory; the lock goes with the
// descriptor. Without it two writers could both read the old file and the second rename would drop the
// first one's value. If the directory cannot be locked the change still goes ahead: a lost race is
// better than a setting that can never be saved.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::string& directory)
      : fd_(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~DirectoryLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

 private:
  int fd_;
};

// Applies change to the current contents of the store and writes the result back if change says it
// changed something. False when the store could not be written.
bool ChangeStore(const std::string& fileName, const std::function<bool(Store&)>& change) {
  const std::string directory = DirectoryOf(fileName);
  if (!MakeDirectories(directory)) return false;
  DirectoryLock lock(directory);
  Store store = LoadStore(fileName);
  if (!change(store)) return true;
  try {
    // Settings belong to one user; nobody else needs to read them.
    WriteFileAtomically(fileName, SerializeStore(store), 0600);
  } catch (const Exception&) {
    return false;
  }
  return true;
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* result = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
      result->pw_dir != nullptr) {
    return result->pw_dir;
  }
  return ".";
}

}  // namespace

std::string DefaultRegistryStorePath() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  // Relative values are invalid by the XDG rules and must be ignored.
  const std::string base = (configHome != nullptr && configHome[0] == '/') ? std::string(configHome)
                                                                           : HomeDirectory() + "/.config";
  return base + "/lumora/registry.ini";
}

namespace registry_store {

bool KeyExists(const std::string& storeFileName, const KeyName& key) {
  return StorableKeyName(key) && LoadStore(storeFileName).KeyExists(SectionName(key));
}

bool CreateKey(const std::string& storeFileName, const KeyName& key) {
  if (!StorableKeyName(key)) return false;
  const std::string section = SectionName(key);
  return ChangeStore(storeFileName, [&](Store& store) {
    if (store.KeyExists(section)) return false;
    store.FindOrAdd(section);
    return true;
  });
}

std::optional<std::string> ReadString(const std::string& storeFileName, const KeyName& key,
                                      const std::string& name) {
  if (!StorableKeyName(key)) return std::nullopt;
  Store store = LoadStore(storeFileName);
  const StoreSection* section = store.Find(SectionName(key));
  if (section == nullptr) return std::nullopt;
  const StoreValue* value = FindValue(*section, name);
  if (value == nullptr) return std::nullopt;
  return value->value;
}

bool WriteString(const std::string& storeFileName, const KeyName& key, const std::string& name,
                 const std::string& value) {
  if (!StorableKeyName(key)) return false;
  const std::string section = SectionName(key);
  return ChangeStore(storeFileName, [&](Store& store) {
    SetValue(store.FindOrAdd(section), name, value);
    return true;
  });
}

}  // namespace registry_store

}  // namespace lumora
