// Reading the SNMP service's registry keys.
#include "snmphost/config.h"

#include <algorithm>
#include <cstdlib>

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

}  // namespace snmphost
