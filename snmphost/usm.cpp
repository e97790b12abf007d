// The engine's own configuration parser creates the users ("createUser" as
// its configuration files would say it), so that key derivation stays the
// engine's; the lines are built in memory, used once and overwritten.
#include "snmphost/usm.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "platform/machine.h"
#include "platform/textfile.h"
#include "snmphost/engine.h"
#include "snmphost/netsnmp.h"

// From the engine's MIB modules library: snmpEngine (.1.3.6.1.6.3.10.2.1,
// the engine ID, boots and time a station discovers) and usmStats
// (.1.3.6.1.6.3.15.1.1, the counters of refused SNMPv3 messages).
extern "C" {
void init_snmpEngine(void);
void init_usmStats(void);
}

namespace snmphost {

namespace {

// Made once by the engine at the first start, never rewritten.
constexpr const char* kEngineIdFile = "snmp/engineid";
// The engine's boot count, one more at every start (stations reject a
// message whose count went backwards for the same engine ID).
constexpr const char* kEngineBootsFile = "snmp/engineboots";

std::string Hex(const u_char* data, size_t size) {
    std::string text;
    char digits[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof digits, "%02x", data[i]);
        text += digits;
    }
    return text;
}

// Hex text (surrounding blanks allowed) into bytes; false unless it is an
// engine ID's length (5 to 32 bytes).
bool FromHex(std::string text, std::vector<u_char>* bytes) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    const size_t last = text.find_last_not_of(" \t\r\n");
    text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    if (text.size() % 2 != 0 || text.size() < 10 || text.size() > 2 * SNMP_MAX_ENG_SIZE)
        return false;
    bytes->clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 1])))
            return false;
        bytes->push_back(static_cast<u_char>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    }
    return true;
}

bool WriteFile(const char* relative, const std::string& text) {
    const std::string path = orb::MachinePath(relative);
    if (orb::EditTextFile(path, [&](std::string& content) {
            content = text;
            return true;
        }))
        return true;
    Log(LOG_WARNING, "cannot write " + path + ": the engine ID or boot count is not kept");
    return false;
}

// A configuration word in quotes, as the engine's parser reads it back;
// appended in place, so that no temporary copy of a passphrase is left.
void AppendQuoted(std::string* line, const std::string& word) {
    *line += line->empty() ? "\"" : " \"";
    for (char c : word) {
        if (c == '"' || c == '\\') *line += '\\';
        *line += c;
    }
    *line += '"';
}

void Forget(std::string* secret) {
    volatile char* p = secret->data();
    for (size_t i = 0; i < secret->size(); ++i) p[i] = 0;
    secret->clear();
}

const char* LevelWord(SecurityLevel level) {
    switch (level) {
        case SecurityLevel::kNoAuthNoPriv:
            return "noauth";
        case SecurityLevel::kAuthNoPriv:
            return "auth";
        default:
            return "priv";
    }
}

}  // namespace

std::vector<std::string> PrepareUsm(const UsmConfig& config, bool* engineIdKept) {
    std::vector<std::string> lines;
    *engineIdKept = false;
    if (config.users.empty()) return lines;  // no SNMPv3 station to keep anything for
    std::string text;
    std::vector<u_char> id;
    const std::string idPath = orb::MachinePath(kEngineIdFile);
    if (orb::ReadRegularTextFile(idPath, 256, &text)) {
        if (FromHex(text, &id) && set_exact_engineID(id.data(), id.size()) == SNMPERR_SUCCESS) {
            *engineIdKept = true;
            // The engine counts boots on from the kept count only for the
            // same engine ID.
            lines.push_back("oldEngineID 0x" + Hex(id.data(), id.size()));
            std::string boots;
            if (orb::ReadRegularTextFile(orb::MachinePath(kEngineBootsFile), 64, &boots))
                lines.push_back("engineBoots " +
                                std::to_string(std::strtoul(boots.c_str(), nullptr, 10)));
        } else {
            Log(LOG_WARNING, idPath + " holds no engine ID; a new one is made");
        }
    }
    init_snmpEngine();
    init_usmStats();
    for (const UsmUser& user : config.users) {
        const char* kind = user.access == Access::kReadWrite ? "rwuser" : "rouser";
        std::string line = std::string(kind) + " -s usm";
        AppendQuoted(&line, user.name);
        lines.push_back(line + " " + LevelWord(user.level));
    }
    return lines;
}

void CreateUsmUsers(const UsmConfig& config, bool engineIdKept) {
    if (config.users.empty()) return;
    u_char id[SNMP_MAX_ENG_SIZE];
    const size_t idLength = snmpv3_get_engineID(id, sizeof id);
    if (!engineIdKept && idLength > 0)
        engineIdKept = WriteFile(kEngineIdFile, Hex(id, idLength) + "\n");
    if (engineIdKept)
        WriteFile(kEngineBootsFile, std::to_string(snmpv3_local_snmpEngineBoots()) + "\n");

    for (const UsmUser& user : config.users) {
        std::string line;
        line.reserve(2048);  // never reallocated: no stray copy of a passphrase
        AppendQuoted(&line, user.name);
        if (user.level != SecurityLevel::kNoAuthNoPriv) {
            line += " " + user.authProtocol;
            AppendQuoted(&line, user.authPassphrase);
        }
        if (user.level == SecurityLevel::kAuthPriv) {
            line += " " + user.privProtocol;
            AppendQuoted(&line, user.privPassphrase);
        }
        usm_parse_create_usmUser("createUser", line.data());
        Forget(&line);
        if (usm_get_user(id, idLength, user.name.c_str()))
            Log(LOG_INFO,
                "SNMPv3 user \"" + user.name + "\" (" + LevelWord(user.level) +
                    (user.access == Access::kReadWrite ? ", read-write)" : ", read-only)"));
        else
            Log(LOG_ERR, "SNMPv3 user \"" + user.name + "\" could not be created");
    }
}

}  // namespace snmphost
