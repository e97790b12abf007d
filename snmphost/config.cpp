// Reading the SNMP service's registry keys.
#include "snmphost/config.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>

#include "platform/privatefs.h"
#include "platform/registry.h"

namespace snmphost {

namespace {

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;  // raw bytes as stored
};

// Keeps the first failure that is more than something missing.
bool Failed(LONG rc, ServiceConfig* config) {
    if (rc == ERROR_SUCCESS) return false;
    if (rc != ERROR_FILE_NOT_FOUND && rc != ERROR_NO_MORE_ITEMS && config->registryError == 0)
        config->registryError = rc;
    return true;
}

// Every value of an HKLM key; empty when the key is missing.
std::vector<Value> ListValues(const std::string& keyPath, ServiceConfig* config) {
    std::vector<Value> values;
    HKEY key = nullptr;
    if (Failed(RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, KEY_READ, &key), config))
        return values;
    std::string name(ORB_REG_MAX_VALUE_NAME + 1, '\0');
    std::string data(1024, '\0');
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        const LONG rc = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type,
                                      reinterpret_cast<LPBYTE>(data.data()), &dataLength);
        if (rc == ERROR_MORE_DATA && dataLength > data.size()) {
            data.resize(dataLength);  // same index again with room enough
            continue;
        }
        if (Failed(rc, config)) break;
        values.push_back({name.substr(0, nameLength), type, data.substr(0, dataLength)});
        ++index;
    }
    RegCloseKey(key);
    return values;
}

// REG_SZ data without its terminator(s).
std::string Text(const Value& value) {
    std::string text = value.data;
    const size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    return text;
}

// %NAME% replaced by the environment variable NAME (left as is when unset),
// as REG_EXPAND_SZ values are read on Windows.
std::string ExpandEnvironment(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t close = text[i] == '%' ? text.find('%', i + 1) : std::string::npos;
        if (close == std::string::npos) {
            out += text[i++];
            continue;
        }
        const std::string name = text.substr(i + 1, close - i - 1);
        const char* value = name.empty() ? nullptr : getenv(name.c_str());
        out += value ? std::string(value) : text.substr(i, close - i + 1);
        i = close + 1;
    }
    return out;
}

// Value names "1", "2", ... sort by number; others after them, by name.
bool NumericOrder(const Value& a, const Value& b) {
    char* endA = nullptr;
    char* endB = nullptr;
    const unsigned long na = strtoul(a.name.c_str(), &endA, 10);
    const unsigned long nb = strtoul(b.name.c_str(), &endB, 10);
    const bool numA = !a.name.empty() && *endA == '\0';
    const bool numB = !b.name.empty() && *endB == '\0';
    if (numA != numB) return numA;
    return numA ? na < nb : a.name < b.name;
}

void ReadAgents(ServiceConfig* config) {
    std::vector<Value> list = ListValues(std::string(kParametersKey) + "\\ExtensionAgents", config);
    std::stable_sort(list.begin(), list.end(), NumericOrder);
    for (const Value& entry : list) {
        const std::string agentKey = Text(entry);
        std::string pathname;
        if (Failed(orb::RegGetString(agentKey, "Pathname", &pathname), config) ||
            pathname.empty()) {
            config->warnings.push_back("agent key \"" + agentKey + "\" has no \"Pathname\"");
            continue;
        }
        pathname = ExpandEnvironment(pathname);
        std::replace(pathname.begin(), pathname.end(), '\\', '/');
        config->agents.push_back({agentKey, pathname});
    }
}

// A community is handed to the engine inside a quoted configuration line.
bool UsableCommunity(const std::string& name) {
    if (name.empty() || name.size() > 255) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return c > ' ' && c < 0x7F && c != '"' && c != '\\' && c != '#';
    });
}

void ReadCommunities(ServiceConfig* config) {
    for (const Value& value :
         ListValues(std::string(kParametersKey) + "\\ValidCommunities", config)) {
        if (!UsableCommunity(value.name)) {
            config->warnings.push_back("community \"" + value.name +
                                       "\" skipped: unusable characters");
            continue;
        }
        DWORD access = 0;
        if (value.type == REG_DWORD && value.data.size() == sizeof access)
            std::copy(value.data.begin(), value.data.end(), reinterpret_cast<char*>(&access));
        else
            config->warnings.push_back("community \"" + value.name + "\" skipped: not a REG_DWORD");
        const Access granted = AccessFromRegistry(access);
        if (granted != Access::kNone) config->communities.push_back({value.name, granted});
    }
}

// A setting that may be missing (false); a value of another type is a
// warning, not a damaged hive.
bool Present(LONG rc, const std::string& keyPath, const char* name, ServiceConfig* config) {
    if (rc == ERROR_UNSUPPORTED_TYPE) {
        config->warnings.push_back("\"" + keyPath + "\\" + name + "\" ignored: wrong type");
        return false;
    }
    return !Failed(rc, config);
}

bool ReadDword(const std::string& keyPath, const char* name, DWORD* out, ServiceConfig* config) {
    return Present(orb::RegGetDword(keyPath, name, out), keyPath, name, config);
}

unsigned Bounded(unsigned value, unsigned low, unsigned high, const std::string& what,
                 ServiceConfig* config) {
    const unsigned bounded = std::clamp(value, low, high);
    if (bounded != value)
        config->warnings.push_back(what + " " + std::to_string(value) + " taken as " +
                                   std::to_string(bounded));
    return bounded;
}

// The destination's own key, when it has one, says what it is sent.
// false (with a warning) when what it asks for cannot be sent.
bool ReadNotificationKind(const std::string& keyPath, TrapDestination* d, ServiceConfig* config) {
    DWORD value = 0;
    if (ReadDword(keyPath, "Version", &value, config)) d->version = static_cast<int>(value);
    if (ReadDword(keyPath, "Inform", &value, config)) d->inform = value != 0;
    if (ReadDword(keyPath, "Retries", &value, config))
        d->retries = Bounded(value, 0, kMaxInformRetries, "\"" + keyPath + "\\Retries\"", config);
    if (ReadDword(keyPath, "Timeout", &value, config))
        d->timeoutMs = Bounded(value, kMinInformTimeoutMs, kMaxInformTimeoutMs,
                               "\"" + keyPath + "\\Timeout\"", config);
    if (!Present(orb::RegGetString(keyPath, "User", &d->user), keyPath, "User", config))
        d->user.clear();
    const char* refusal = nullptr;
    if (d->version < 1 || d->version > 3)
        refusal = "\"Version\" is not 1, 2 or 3";
    else if (d->version == 1 && d->inform)
        refusal = "SNMPv1 has no inform";
    else if (d->version == 3 && d->user.empty())
        refusal = "\"Version\" 3 needs a \"User\"";
    if (!refusal) return true;
    config->warnings.push_back("trap destination \"" + d->address + "\" skipped: " + refusal);
    return false;
}

void ReadTrapDestinations(ServiceConfig* config) {
    const std::string trapKey = std::string(kParametersKey) + "\\TrapConfiguration";
    HKEY key = nullptr;
    if (Failed(RegOpenKeyExA(HKEY_LOCAL_MACHINE, trapKey.c_str(), 0, KEY_READ, &key), config))
        return;
    std::vector<std::string> communities;
    char name[ORB_REG_MAX_KEY_PATH + 1];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name;
        if (Failed(RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr),
                   config))
            break;
        communities.emplace_back(name, length);
    }
    RegCloseKey(key);
    for (const std::string& community : communities) {
        if (!UsableCommunity(community)) {
            config->warnings.push_back("trap community \"" + community +
                                       "\" skipped: unusable characters");
            continue;
        }
        std::vector<Value> hosts = ListValues(trapKey + "\\" + community, config);
        std::stable_sort(hosts.begin(), hosts.end(), NumericOrder);
        for (const Value& host : hosts) {
            if (Text(host).empty()) continue;
            TrapDestination destination;
            destination.community = community;
            destination.address = Text(host);
            if (ReadNotificationKind(trapKey + "\\" + community + "\\" + host.name, &destination,
                                     config))
                config->trapDestinations.push_back(destination);
        }
    }
}

void ReadAccessSettings(ServiceConfig* config) {
    std::vector<Value> managers =
        ListValues(std::string(kParametersKey) + "\\PermittedManagers", config);
    std::stable_sort(managers.begin(), managers.end(), NumericOrder);
    for (const Value& manager : managers)
        if (!Text(manager).empty()) config->permittedManagers.push_back(Text(manager));
    DWORD enable = 0;
    if (ReadDword(kParametersKey, "EnableAuthenticationTraps", &enable, config))
        config->authenticationTraps = enable != 0;
}

}  // namespace

Access AccessFromRegistry(unsigned value) {
    switch (value) {
        case 4:
            return Access::kReadOnly;
        case 8:
        case 16:
            return Access::kReadWrite;
        default:
            return Access::kNone;
    }
}

ServiceConfig ReadServiceConfig() {
    ServiceConfig config;
    config.registryError = orb::RegCheckHive();
    if (config.registryError != ERROR_SUCCESS) return config;
    ReadAgents(&config);
    ReadCommunities(&config);
    ReadTrapDestinations(&config);
    ReadAccessSettings(&config);
    return config;
}

// ---------------------------------------------------------------- SNMPv3 users

namespace {

// Longer passphrases gain nothing and the engine's parser has a bounded buffer.
constexpr size_t kMaxPassphrase = 255;
constexpr size_t kMinPassphrase = 8;  // the engine's own minimum, said clearly here
constexpr size_t kMaxPassphraseFile = 4096;

void WipeBytes(void* data, size_t size) {
    // volatile: the stores must happen although the memory is freed right after.
    volatile char* p = static_cast<char*>(data);
    for (size_t i = 0; i < size; ++i) p[i] = 0;
}

void Wipe(std::string* secret) {
    WipeBytes(secret->data(), secret->size());
    secret->clear();
}

bool SameText(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

std::string ValueText(const orb::RegValue& value) {
    if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return std::string();
    std::string text(value.data.begin(), value.data.end());
    const size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    return text;
}

// A user's values by name (any letter case), absent ones as null.
class UserValues {
  public:
    explicit UserValues(std::vector<orb::RegValue> values) : values_(std::move(values)) {}
    ~UserValues() {
        for (orb::RegValue& v : values_) WipeBytes(v.data.data(), v.data.size());  // passphrases
    }
    const orb::RegValue* Find(const char* name) const {
        for (const orb::RegValue& v : values_)
            if (SameText(v.name, name)) return &v;
        return nullptr;
    }
    std::string Text(const char* name) const {
        const orb::RegValue* v = Find(name);
        return v ? ValueText(*v) : std::string();
    }

  private:
    std::vector<orb::RegValue> values_;
};

// A user name goes into the engine's configuration lines, quoted; USM names
// are at most 32 characters.
bool UsableUserName(const std::string& name) {
    return name.size() <= 32 && name[0] != '-' && UsableCommunity(name);
}

// "" when the text names a level; else why not.
std::string ParseLevel(const std::string& text, SecurityLevel* level) {
    if (text.empty() || SameText(text, "authPriv"))
        *level = SecurityLevel::kAuthPriv;
    else if (SameText(text, "authNoPriv"))
        *level = SecurityLevel::kAuthNoPriv;
    else if (SameText(text, "noAuthNoPriv"))
        *level = SecurityLevel::kNoAuthNoPriv;
    else
        return "unknown \"SecurityLevel\" \"" + text + "\" (noAuthNoPriv, authNoPriv or authPriv)";
    return std::string();
}

std::string ParseAuth(const std::string& text, std::string* protocol) {
    if (text.empty() || SameText(text, "SHA-256"))
        *protocol = "SHA-256";
    else if (SameText(text, "SHA") || SameText(text, "SHA-1"))
        *protocol = "SHA";
    else if (SameText(text, "SHA-512"))
        *protocol = "SHA-512";
    else if (SameText(text, "MD5"))
        return "\"AuthProtocol\" MD5 is refused: it is broken; use SHA-256 or SHA-512";
    else
        return "unknown \"AuthProtocol\" \"" + text + "\" (SHA, SHA-256 or SHA-512)";
    return std::string();
}

std::string ParsePriv(const std::string& text, std::string* protocol) {
    if (text.empty() || SameText(text, "AES") || SameText(text, "AES-128"))
        *protocol = "AES";
    else if (SameText(text, "DES"))
        return "\"PrivProtocol\" DES is refused: its 56-bit key can be broken; use AES";
    else
        return "unknown \"PrivProtocol\" \"" + text + "\" (AES)";
    return std::string();
}

// Line 1 and line 2 of an owner-only file; "" or why it was refused.
std::string ReadPassphraseFile(const std::string& path, UsmUser* user) {
    std::string text;
    std::string why;
    if (!orb::ReadOwnerOnlyFile(path, kMaxPassphraseFile, &text, &why))
        return "\"PassphraseFile\" " + path + " " + why;
    std::string* lines[] = {&user->authPassphrase, &user->privPassphrase};
    size_t at = 0;
    for (std::string* line : lines) {
        if (at > text.size()) break;
        const size_t end = std::min(text.find('\n', at), text.size());
        line->assign(text, at, end - at);
        if (!line->empty() && line->back() == '\r') line->pop_back();
        at = end + 1;
    }
    Wipe(&text);
    return std::string();
}

std::string CheckPassphrase(const std::string& passphrase, const char* what) {
    if (passphrase.size() < kMinPassphrase)
        return std::string("the ") + what + " passphrase is shorter than 8 characters";
    if (passphrase.size() > kMaxPassphrase)
        return std::string("the ") + what + " passphrase is longer than 255 characters";
    return std::string();
}

// The hive and its write-ahead log (recent writes, passphrases included).
bool HiveOwnerOnly(std::string* why) {
    for (const std::string& file : {orb::RegHivePath(), orb::RegHivePath() + "-wal"})
        if (!orb::OwnerOnlyOrMissing(file, why)) {
            *why = "the registry hive " + file + " " + *why;
            return false;
        }
    return true;
}

// The passphrases from the file or the hive; "" or why the user is refused.
std::string ReadPassphrases(const UserValues& values, UsmUser* user) {
    const std::string file = values.Text("PassphraseFile");
    std::string why;
    if (!file.empty()) {
        why = ReadPassphraseFile(file, user);
    } else if (!HiveOwnerOnly(&why)) {
        why += "; passphrases there are not used";
    } else {
        user->authPassphrase = values.Text("AuthPassphrase");
        user->privPassphrase = values.Text("PrivPassphrase");
    }
    if (why.empty()) why = CheckPassphrase(user->authPassphrase, "authentication");
    if (why.empty() && user->level == SecurityLevel::kAuthPriv)
        why = CheckPassphrase(user->privPassphrase, "privacy");
    if (user->level != SecurityLevel::kAuthPriv) Wipe(&user->privPassphrase);
    return why;
}

// "" and *user filled, or why the user is refused.
std::string ReadUser(const std::string& keyPath, UsmUser* user, long* registryError) {
    std::vector<orb::RegValue> list;
    const LONG rc = orb::RegReadValues(keyPath, &list);
    if (rc != ERROR_SUCCESS) {
        if (rc != ERROR_FILE_NOT_FOUND && *registryError == 0) *registryError = rc;
        return "cannot be read: " + orb::RegErrorMessage(rc);
    }
    const UserValues values(std::move(list));
    std::string why = ParseLevel(values.Text("SecurityLevel"), &user->level);
    if (why.empty() && user->level != SecurityLevel::kNoAuthNoPriv)
        why = ParseAuth(values.Text("AuthProtocol"), &user->authProtocol);
    if (why.empty() && user->level == SecurityLevel::kAuthPriv)
        why = ParsePriv(values.Text("PrivProtocol"), &user->privProtocol);
    if (const orb::RegValue* access = values.Find("Access"); why.empty() && access) {
        DWORD number = 0;
        if (access->type == REG_DWORD && access->data.size() == sizeof number)
            std::copy(access->data.begin(), access->data.end(), reinterpret_cast<BYTE*>(&number));
        user->access = AccessFromRegistry(number);
        if (user->access == Access::kNone)
            why = "\"Access\" grants nothing (a REG_DWORD 4 read-only or 8 read-write)";
    }
    if (why.empty() && user->level != SecurityLevel::kNoAuthNoPriv)
        why = ReadPassphrases(values, user);
    return why;
}

}  // namespace

void UsmConfig::ForgetPassphrases() {
    for (UsmUser& user : users) {
        Wipe(&user.authPassphrase);
        Wipe(&user.privPassphrase);
    }
}

UsmConfig ReadUsmConfig() {
    UsmConfig config;
    config.registryError = orb::RegCheckHive();
    if (config.registryError != ERROR_SUCCESS) return config;
    DWORD v3Only = 0;
    const LONG switchRc = orb::RegGetDword(kParametersKey, "SNMPv3Only", &v3Only);
    config.v3Only = switchRc == ERROR_SUCCESS && v3Only != 0;
    if (switchRc == ERROR_UNSUPPORTED_TYPE)
        config.warnings.push_back(
            "\"SNMPv3Only\" is not a REG_DWORD and is ignored: "
            "communities stay served");
    const std::string usersKey = std::string(kParametersKey) + "\\Users";
    std::vector<std::string> names;
    const LONG rc = orb::RegReadSubkeys(usersKey, &names);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) config.registryError = rc;
    for (const std::string& name : names) {
        UsmUser user;
        user.name = name;
        std::string why = UsableUserName(name)
                              ? ReadUser(usersKey + "\\" + name, &user, &config.registryError)
                              : "unusable name (at most 32 characters, no "
                                "blanks, quotes, \\ or #, not starting with -)";
        if (why.empty()) {
            config.users.push_back(std::move(user));
        } else {
            Wipe(&user.authPassphrase);
            Wipe(&user.privPassphrase);
            config.warnings.push_back("SNMPv3 user \"" + name + "\" refused: " + why);
        }
    }
    return config;
}

}  // namespace snmphost
