#include "framework/orbweb/agent_status.h"

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
// clang-format on

#include <mutex>

#include "platform/environment.h"
#include "platform/sync.h"

namespace orbweb {
namespace {

// The agent's subtree and what the console reads of it.
const oid kRoot[] = {1, 3, 6, 1, 4, 1, 58231, 2, 12, 9};
constexpr size_t kRootLength = OID_LENGTH(kRoot);
constexpr oid kAgentState = 3;  // .3.1.0
constexpr oid kServices = 7;    // .7.k.0, k = 1..8
constexpr oid kWatchers = 12;   // .12.12.0, the worst status of the last pass
// Tables: .9 jobs, .10 media, .11 tape drives; column 1 of .N.1.1 has a row
// for every entry.
constexpr oid kJobs = 9, kMedia = 10, kTapeDrives = 11;

// A table walk stops after this many rows, and the whole read after this
// long, so that a large or slow agent cannot hold the console.
constexpr long kMaxRows = 100000;
constexpr unsigned kReadBudgetMs = 3000;
constexpr int kRepetitions = 200;

// The library's start and its USM tables are shared by all sessions.
std::mutex& LibraryMutex() {
    static std::mutex mutex;
    return mutex;
}

void StartLibrary() {
    static bool started = false;
    if (started) return;
    // No configuration files and no persistent state of the console's user.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    // Names are not printed, so no MIB module is read (and none is missed).
    SetEnvironmentVariableA("MIBS", "");
    SetEnvironmentVariableA("MIBDIRS", "");
    init_snmp("orbweb");
    started = true;
}

constexpr size_t kProtocolOidLength = OID_LENGTH(usmAESPrivProtocol);

oid* AuthProtocol(const std::string& word) {
    if (word == "SHA") return usmHMACSHA1AuthProtocol;
    if (word == "SHA-512") return usmHMAC384SHA512AuthProtocol;
    return usmHMAC192SHA256AuthProtocol;
}

bool Key(const oid* hash, const std::string& passphrase, u_char* key, size_t* length) {
    *length = USM_AUTH_KU_LEN;
    return generate_Ku(hash, kProtocolOidLength, reinterpret_cast<const u_char*>(passphrase.data()),
                       passphrase.size(), key, length) == SNMPERR_SUCCESS;
}

// One session towards the agent; closed with the object.
class Session {
  public:
    Session(const SnmpSettings& settings, const std::string& address) {
        netsnmp_session setup;
        snmp_sess_init(&setup);
        const std::string peer = "udp:" + address + ":" + std::to_string(settings.port);
        setup.peername = const_cast<char*>(peer.c_str());
        setup.timeout = static_cast<long>(settings.timeoutMs) * 1000;
        setup.retries = 0;
        if (settings.user.empty()) {
            setup.version = SNMP_VERSION_2c;
            setup.community =
                reinterpret_cast<u_char*>(const_cast<char*>(settings.community.c_str()));
            setup.community_len = settings.community.size();
        } else {
            setup.version = SNMP_VERSION_3;
            setup.securityModel = SNMP_SEC_MODEL_USM;
            setup.securityName = const_cast<char*>(settings.user.c_str());
            setup.securityNameLen = settings.user.size();
            setup.securityLevel = SNMP_SEC_LEVEL_AUTHPRIV;
            setup.securityAuthProto = AuthProtocol(settings.authProtocol);
            setup.securityAuthProtoLen = kProtocolOidLength;
            setup.securityPrivProto = usmAESPrivProtocol;
            setup.securityPrivProtoLen = kProtocolOidLength;
            if (!Key(setup.securityAuthProto, settings.authPassphrase, setup.securityAuthKey,
                     &setup.securityAuthKeyLen) ||
                !Key(setup.securityAuthProto, settings.privPassphrase, setup.securityPrivKey,
                     &setup.securityPrivKeyLen)) {
                error_ = "the SNMPv3 passphrases give no key";
                return;
            }
        }
        handle_ = snmp_sess_open(&setup);
        if (handle_ == nullptr) error_ = "cannot open an SNMP session";
    }
    ~Session() {
        if (handle_ != nullptr) snmp_sess_close(handle_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    const std::string& error() const { return error_; }

    // Sends the request; the answer (null when none) is the caller's to free.
    netsnmp_pdu* Ask(netsnmp_pdu* request) {
        if (handle_ == nullptr) {
            snmp_free_pdu(request);
            return nullptr;
        }
        netsnmp_pdu* response = nullptr;
        const int status = snmp_sess_synch_response(handle_, request, &response);
        if (status == STAT_SUCCESS && response != nullptr) return response;
        error_ = status == STAT_TIMEOUT ? "no answer" : "the request failed";
        if (response != nullptr) snmp_free_pdu(response);
        return nullptr;
    }

  private:
    void* handle_ = nullptr;
    std::string error_;
};

struct Name {
    oid parts[MAX_OID_LEN];
    size_t length = 0;
};

Name Below(std::initializer_list<oid> tail) {
    Name name;
    for (size_t i = 0; i < kRootLength; ++i) name.parts[name.length++] = kRoot[i];
    for (oid part : tail) name.parts[name.length++] = part;
    return name;
}

std::string Text(const netsnmp_variable_list* var) {
    if (var->type == ASN_OCTET_STR && var->val.string != nullptr)
        return {reinterpret_cast<const char*>(var->val.string), var->val_len};
    if (var->type == ASN_INTEGER && var->val.integer != nullptr)
        return std::to_string(*var->val.integer);
    return "";
}

bool IsValue(const netsnmp_variable_list* var) {
    return var->type != SNMP_NOSUCHOBJECT && var->type != SNMP_NOSUCHINSTANCE &&
           var->type != SNMP_ENDOFMIBVIEW;
}

// Rows in a table's first column, by bulk requests from the column's start.
std::optional<long> CountRows(Session& session, oid table, uint64_t deadline, bool* cut) {
    const Name column = Below({table, 1, 1, 1});
    Name cursor = column;
    long rows = 0;
    while (rows < kMaxRows) {
        if (GetTickCount() >= deadline) {
            *cut = true;
            return rows;
        }
        netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GETBULK);
        request->non_repeaters = 0;
        request->max_repetitions = kRepetitions;
        snmp_add_null_var(request, cursor.parts, cursor.length);
        netsnmp_pdu* response = session.Ask(request);
        if (response == nullptr) return std::nullopt;
        bool more = response->errstat == SNMP_ERR_NOERROR && response->variables != nullptr;
        for (netsnmp_variable_list* var = response->variables; more && var;
             var = var->next_variable) {
            if (!IsValue(var) || var->name_length <= column.length ||
                snmp_oid_ncompare(var->name, var->name_length, column.parts, column.length,
                                  column.length) != 0) {
                more = false;
                break;
            }
            ++rows;
            cursor.length = std::min<size_t>(var->name_length, MAX_OID_LEN);
            std::copy(var->name, var->name + cursor.length, cursor.parts);
        }
        snmp_free_pdu(response);
        if (!more) return rows;
    }
    *cut = true;
    return rows;
}

}  // namespace

const std::vector<std::string>& BackupServiceNames() {
    static const std::vector<std::string> names = {
        "NWSDBEngine",      "NWSDiscoverySvc", "NWSJobEngine",     "NWSMsgEngine",
        "NWSSvcControlSvr", "NWSTapeEngine",   "NWSUnivDomainSvr", "NWTIRPC"};
    return names;
}

bool IsIpv4Address(const std::string& text) {
    int parts = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t digits = 0;
        unsigned value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4) {
            value = value * 10 + static_cast<unsigned>(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        ++parts;
        if (at == text.size()) return parts == 4;
        if (text[at] != '.' || parts == 4) return false;
        ++at;
    }
    return false;
}

std::string WatcherStatusText(long status) {
    switch (status) {
        case 1:
            return "OK";
        case 2:
            return "WARNING";
        case 3:
            return "CRITICAL";
        default:
            return "connect error " + std::to_string(status);
    }
}

AgentReader::AgentReader(SnmpSettings settings) : settings_(std::move(settings)) {
    std::lock_guard<std::mutex> lock(LibraryMutex());
    StartLibrary();
}

AgentReader::~AgentReader() = default;

AgentStatus AgentReader::Read(const std::string& address) {
    AgentStatus status;
    status.address = address;
    if (!IsIpv4Address(address)) {
        status.error = "no IPv4 address to ask";
        return status;
    }
    status.asked = true;
    std::lock_guard<std::mutex> lock(LibraryMutex());
    const uint64_t deadline = GetTickCount() + kReadBudgetMs;
    Session session(settings_, address);
    if (!session.error().empty()) {
        status.error = session.error();
        return status;
    }
    netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GET);
    std::vector<Name> names{Below({kAgentState, 1, 0})};
    for (oid k = 1; k <= BackupServiceNames().size(); ++k)
        names.push_back(Below({kServices, k, 0}));
    names.push_back(Below({kWatchers, 12, 0}));
    for (Name& name : names) snmp_add_null_var(request, name.parts, name.length);
    netsnmp_pdu* response = session.Ask(request);
    if (response == nullptr) {
        status.error = session.error();
        return status;
    }
    status.answered = response->errstat == SNMP_ERR_NOERROR;
    if (!status.answered) status.error = snmp_errstring(static_cast<int>(response->errstat));
    size_t index = 0;
    for (netsnmp_variable_list* var = response->variables; status.answered && var;
         var = var->next_variable, ++index) {
        const std::string text = IsValue(var) ? Text(var) : "";
        if (index == 0) {
            status.agentState = text;
        } else if (index <= BackupServiceNames().size()) {
            status.services.emplace_back(BackupServiceNames()[index - 1], text);
        } else if (var->type == ASN_INTEGER && var->val.integer != nullptr) {
            status.worstWatcher = *var->val.integer;
        }
    }
    snmp_free_pdu(response);
    if (!status.answered) return status;
    status.jobs = CountRows(session, kJobs, deadline, &status.countsCut);
    if (status.jobs) status.media = CountRows(session, kMedia, deadline, &status.countsCut);
    if (status.media)
        status.tapeDrives = CountRows(session, kTapeDrives, deadline, &status.countsCut);
    if (!status.tapeDrives) status.error = "the tables did not answer in time";
    return status;
}

}  // namespace orbweb
