// The storage-area-network view: every SAN that holds a machine running the
// backup server is copied (members and fibre-channel connections) and the
// copy is linked under the view. Machines that run the backup server stand
// in the copy as "VLT_SAN" objects.
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "kestorb/BusinessViews.h"
#include "kestorb/DsProbe.h"
#include "kestorb/ModelKit.h"
#include "kestorb/ObjectModel.h"
#include "kestorb/Text.h"
#include "platform/uuid.h"

namespace kest {
namespace {

constexpr const char* kSanClass = "SAN";
constexpr const char* kVltSanClass = "VLT_SAN";
constexpr const char* kFibreChannelClass = "FibreChannel";
constexpr int32_t kAutoArrange = 5;
// A machine without a backup server object under its container.
constexpr int32_t kNoBackupServer = 4096;

// Machines that may stand in a SAN copy (exact names).
constexpr const char* kSanMachineClasses[] = {"WindowsNT_Server", "Windows2000_Server",
                                              "WindowsXP",        "Windows_NetServer",
                                              "DellServer_NT",    "DellServer_W2K"};
// Machines whose backup server the check asks about (any letter case).
constexpr const char* kCheckedMachineClasses[] = {
    "WindowsNT_Server", "Windows2000_Server",      "DellServer_NT",
    "DellServer_W2K",   "Windows_NetServer",       "Compaq_WindowsNT_Server",
    "Compaq_Windows2000_Server"};

template <size_t N>
bool IsOneOf(const char* cls, const char* const (&names)[N], bool ignoreCase) {
    for (const char* name : names) {
        if ((ignoreCase ? strcasecmp(cls, name) : std::strcmp(cls, name)) == 0) return true;
    }
    return false;
}

// A member of the old SAN: its UUID and its link's sequence number, ordered
// by the UUID's bytes taken as unsigned, then by the sequence number.
struct MemberKey {
    UUID uuid;
    int32_t sequence;
};
struct MemberLess {
    bool operator()(const MemberKey& a, const MemberKey& b) const {
        int byBytes = std::memcmp(&a.uuid, &b.uuid, sizeof(UUID));
        return byBytes != 0 ? byBytes < 0 : a.sequence < b.sequence;
    }
};
using MemberMap = std::map<MemberKey, LinkRecord, MemberLess>;

// The backup server object under the machine's container: 0 and its UUID,
// kNoBackupServer and a zero UUID when container or object is missing.
int32_t BackupServerOf(KestContext& ctx, const char* machineClass, const UUID& machine,
                       UUID* out) {
    *out = UUID{};
    int32_t count = 0;
    UUID kestSpace{};
    int32_t rc = FindKestSpace(ctx, KestSpaceFrom::Machine, machineClass, machine, &count,
                               &kestSpace);
    if (rc == ORBOM_RC_SUCCESS && count > 0) {
        rc = FindKestObject(ctx, kestSpace, "Vaultline", &count, out);
    }
    if (rc != ORBOM_RC_SUCCESS || count == 0) {
        *out = UUID{};
        return rc != ORBOM_RC_SUCCESS ? rc : kNoBackupServer;
    }
    return ORBOM_RC_SUCCESS;
}

// The first object of cls whose "uuid" is the given one, all properties selected.
std::unique_ptr<COrbObjectList> SelectByUuid(KestContext& ctx, const char* cls,
                                             const UUID& uuid) {
    COrbObjectCriteria criteria;
    if (BuildCriteria(ctx, criteria, {UuidField("uuid", uuid)}, nullptr) != ORBOM_RC_SUCCESS) {
        return nullptr;
    }
    int32_t rc = 0;
    auto list = OpenSelection(ctx, cls, "*", &criteria, &rc);
    if (!list || !NextObject(*list)) return nullptr;
    return list;
}

// Whether the link's child is a machine running the backup server.
bool MachineRunsBackupServer(KestContext& ctx, COrbObjectList& link) {
    char cls[KESTORB_MAX_CLASS_NAME + 1];
    UUID machine{};
    if (!ReadText(link, "child_class", cls) || !ReadUuid(link, "child_uuid", &machine)) {
        return false;
    }
    if (!IsOneOf(cls, kCheckedMachineClasses, true)) return false;
    UUID server{};
    if (BackupServerOf(ctx, cls, machine, &server) != ORBOM_RC_SUCCESS ||
        orb::UuidIsNil(server)) {
        return false;
    }
    auto product = SelectByUuid(ctx, "LumoraEB", server);
    char serverName[260];
    if (!product || !ReadText(*product, "ServerName", serverName)) return false;
    return IsVLProductFound(ctx, serverName, kVaultlineProductId);
}

// The "VLT_SAN" object of that name and label, created when missing.
int32_t FindOrCreateVltSan(KestContext& ctx, const char* name, const char* label, UUID* out) {
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(ctx, criteria, {TextField("name", name), TextField("label", label)},
                               nullptr);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    int32_t count = 0;
    rc = FindObject(ctx, kVltSanClass, &criteria, &count, out);
    if (rc != ORBOM_RC_SUCCESS || count > 0) return rc;
    static const CreateTexts texts = {
        "BusinessProcessView() - Failed to allocate property list [%d]",
        "BusinessProcessView() - Failed to create new UUID [%d]",
        "BusinessProcessView() - Failed to create object [%d]",
    };
    return CreateWithNewUuid(ctx, kVltSanClass,
                             {TextField("class_name", kVltSanClass), TextField("name", name),
                              TextField("label", label)},
                             texts, out);
}

// What a member becomes in the copy: a machine running the backup server
// is replaced by its "VLT_SAN" stand-in; anything else stays itself.
void CopyTarget(KestContext& ctx, const char* childClass, const UUID& child,
                const char** targetClass, UUID* target) {
    *targetClass = childClass;
    *target = child;
    UUID server{};
    if (!IsOneOf(childClass, kSanMachineClasses, false) ||
        BackupServerOf(ctx, childClass, child, &server) != ORBOM_RC_SUCCESS) {
        return;
    }
    auto machine = SelectByUuid(ctx, childClass, child);
    char label[KESTORB_MAX_CLASS_NAME + 1];
    char name[KESTORB_MAX_CLASS_NAME + 1];
    if (!machine || !ReadText(*machine, "label", label) || !ReadText(*machine, "name", name)) {
        return;
    }
    char sanLabel[sizeof label + 4];
    char sanName[sizeof name + 4];
    std::snprintf(sanLabel, sizeof sanLabel, "%s_SAN", label);
    std::snprintf(sanName, sizeof sanName, "%s_SAN", name);
    UUID standIn{};
    if (FindOrCreateVltSan(ctx, sanName, sanLabel, &standIn) == ORBOM_RC_SUCCESS) {
        *targetClass = kVltSanClass;
        *target = standIn;
    }
}

// Links the old SAN's members (or their stand-ins) under the copy; the map
// learns each new link. The last link's result.
int32_t CopyMembers(KestContext& ctx, const UUID& copy, const UUID& oldSan, MemberMap& members) {
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(
        ctx, criteria, {UuidField("parent_uuid", oldSan), TextField("parent_class", kSanClass)},
        nullptr);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    auto links = OpenSelection(ctx, kInclusionClass, "*", &criteria, &rc);
    if (!links) return rc;
    while (NextObject(*links)) {
        UUID child{};
        char childClass[KESTORB_MAX_CLASS_NAME + 1];
        int32_t sequence = 0;
        if (!ReadUuid(*links, "child_uuid", &child) || !ReadText(*links, "child_class", childClass)) {
            continue;
        }
        ReadInt(*links, "child_sequence_no", &sequence);
        const char* targetClass = nullptr;
        UUID target{};
        CopyTarget(ctx, childClass, child, &targetClass, &target);
        LinkRecord record;
        rc = ConnectObjects(ctx, kSanClass, copy, targetClass, target, nullptr, &record);
        if (rc == ORBOM_RC_SUCCESS) members[MemberKey{child, sequence}] = record;
    }
    return rc;
}

// Copies every connection whose two ends are both members of the old SAN.
int32_t CopyFibreChannels(KestContext& ctx, const MemberMap& members) {
    int32_t rc = 0;
    auto channels = OpenSelection(ctx, kFibreChannelClass, "*", nullptr, &rc);
    if (!channels) return rc;
    static const CreateTexts texts = {
        "BusinessProcessView() - Failed to allocate property list [%d]",
        "BusinessProcessView() - Failed to create new UUID [%d]",
        "BusinessProcessView() - Failed to create object [%d]",
    };
    while (NextObject(*channels)) {
        MemberKey source{};
        MemberKey dest{};
        if (!ReadUuid(*channels, "source_uuid", &source.uuid) ||
            !ReadUuid(*channels, "dest_uuid", &dest.uuid) ||
            !ReadInt(*channels, "source_seq", &source.sequence) ||
            !ReadInt(*channels, "dest_seq", &dest.sequence)) {
            continue;
        }
        auto from = members.find(source);
        auto to = members.find(dest);
        if (from == members.end() || to == members.end()) continue;
        char sourceClass[KESTORB_MAX_CLASS_NAME + 1];
        char destClass[KESTORB_MAX_CLASS_NAME + 1];
        int32_t sourcePort = 0;
        int32_t destPort = 0;
        ReadText(*channels, "source_class", sourceClass);
        ReadText(*channels, "dest_class", destClass);
        ReadInt(*channels, "source_port", &sourcePort);
        ReadInt(*channels, "dest_port", &destPort);
        const LinkRecord& a = from->second;
        const LinkRecord& b = to->second;
        rc = CreateWithNewUuid(
            ctx, kFibreChannelClass,
            {UuidField("source_uuid", a.child), UuidField("dest_uuid", b.child),
             TextField("source_class", a.childClass), TextField("dest_class", b.childClass),
             IntField("source_seq", a.sequence), IntField("dest_seq", b.sequence),
             IntField("source_port", sourcePort), IntField("dest_port", destPort)},
            texts, nullptr);
    }
    return rc;
}

// A copy of the SAN named copyName, with its members and connections.
int32_t CopySan(KestContext& ctx, const char* copyName, const UUID& oldSan, UUID* out) {
    static const CreateTexts texts = {
        "BusinessProcessView() - Failed to allocate property list [%d]",
        "BusinessProcessView() - Failed to create new UUID [%d]",
        "BusinessProcessView() - Failed to create object [%d]",
    };
    int32_t rc = CreateWithNewUuid(
        ctx, kSanClass,
        {TextField("class_name", kSanClass), TextField("name", copyName),
         TextField("label", copyName), IntField("autoarrange_type", kAutoArrange)},
        texts, out);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    MemberMap members;
    rc = CopyMembers(ctx, *out, oldSan, members);
    if (!members.empty()) rc = CopyFibreChannels(ctx, members);
    return rc;
}

// Copies one SAN when one of its machines runs the backup server, and links
// the copy under the view.
int32_t CopySanIfServed(KestContext& ctx, const UUID& view, COrbObjectList& san) {
    UUID sanUuid{};
    if (!ReadUuid(san, "uuid", &sanUuid)) return ORBOM_RC_UNKNOWN;
    // One criterion per property: the repository joins criteria with "and",
    // so the machine classes are told apart here, not in the selection.
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(
        ctx, criteria, {UuidField("parent_uuid", sanUuid), TextField("parent_class", kSanClass)},
        nullptr);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    auto links = OpenSelection(ctx, kInclusionClass, "*", &criteria, &rc);
    if (!links) return rc;
    while (NextObject(*links)) {
        char childClass[KESTORB_MAX_CLASS_NAME + 1];
        if (!ReadText(*links, "child_class", childClass) ||
            !IsOneOf(childClass, kSanMachineClasses, false) ||
            !MachineRunsBackupServer(ctx, *links)) {
            continue;
        }
        char label[KESTORB_MAX_CLASS_NAME + 1];
        ReadText(san, "label", label);
        char copyName[sizeof label + 16];
        std::snprintf(copyName, sizeof copyName, "%s_Vaultline", label);
        UUID copy{};
        rc = CopySan(ctx, copyName, sanUuid, &copy);
        if (!orb::UuidIsNil(copy)) rc = ConnectObjects(ctx, kBusinessViewClass, view, kSanClass, copy);
        break;
    }
    return rc;
}

// The view's UUID: found, or created (then it has no old SAN links).
int32_t FindOrCreateSanView(KestContext& ctx, const char* viewName, UUID* view, bool* created) {
    ctx.Trace("BusinessProcessView() - Searching for BusinessView [%s]", viewName);
    int32_t count = 0;
    int32_t rc = CountViews(ctx, viewName, &count, view);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    ctx.Trace("BusinessProcessView() - Found [%d] view(s)", count);
    *created = count == 0;
    if (count > 0) return rc;
    static const CreateTexts texts = {
        "CreateInocObject() - Failed to allocate property list [%d]",
        "BusinessProcessView() - Failed to create new UUID [%d]",
        "BusinessProcessView() - Failed to create object [%d]",
    };
    rc = CreateWithNewUuid(ctx, kBusinessViewClass,
                           {TextField("name", viewName), TextField("label", viewName),
                            IntField("autoarrange_type", kAutoArrange)},
                           texts, view);
    if (rc == ORBOM_RC_SUCCESS) {
        ctx.Trace("BusinessProcessView() - [%s] object created [%s]", kBusinessViewClass,
                  viewName);
    }
    return rc;
}

// Removes the view's SAN links; failures are traced and do not stop the builder.
void UnlinkSans(KestContext& ctx, const UUID& view) {
    COrbObjectCriteria criteria;
    if (BuildCriteria(ctx, criteria,
                      {UuidField("parent_uuid", view), TextField("parent_class", kBusinessViewClass),
                       TextField("child_class", kSanClass)},
                      "BusinessProcessView() - Failed to allocate deletion criteria [%d]") !=
        ORBOM_RC_SUCCESS) {
        return;
    }
    uint32_t deleted = 0;
    if (ctx.repository->ObjectDelete(kInclusionClass, &criteria, &deleted) == ORBOM_RC_SUCCESS) {
        ctx.Trace("BusinessProcessView() - [%lu] objects of class [%s] deleted",
                  static_cast<unsigned long>(deleted), kInclusionClass);
    } else {
        ctx.Trace("BusinessProcessView() - Failed to delete object of class [%s]",
                  kInclusionClass);
    }
}

}  // namespace

int32_t BusinessProcessView(KestContext& ctx, const char* viewName) {
    const char* name = viewName == nullptr ? "" : viewName;
    UUID view{};
    bool created = false;
    int32_t rc = FindOrCreateSanView(ctx, name, &view, &created);
    // Without a view there is nothing to link the copies under.
    if (rc != ORBOM_RC_SUCCESS) return rc;
    if (!created) UnlinkSans(ctx, view);
    // Every property: the copy's name comes from the SAN's "label".
    auto sans = OpenSelection(ctx, kSanClass, "*", nullptr, &rc);
    if (!sans) return rc;
    while (NextObject(*sans)) rc = CopySanIfServed(ctx, view, *sans);
    return rc;
}

}  // namespace kest
