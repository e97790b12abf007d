// Reading the server-state file into records.
#include "backup/ebqry/state.h"

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "backup/ebqry/records.h"
#include "platform/debug.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/sync.h"

namespace ebqry {
namespace {

std::string Text(const nlohmann::json& server, const char* key, const std::string& fallback) {
    if (!server.contains(key)) return fallback;
    if (!server[key].is_string()) throw StateError(std::string("server.") + key + ": not a text");
    return server[key].get<std::string>();
}

void ParseServer(const nlohmann::json& server, ServerState* out) {
    if (!server.is_object()) throw StateError("server: not an object");
    for (auto item = server.begin(); item != server.end(); ++item) {
        static const char* const kKeys[] = {"name", "domain", "version", "database", "batchSize"};
        bool known = false;
        for (const char* key : kKeys) known = known || item.key() == key;
        if (!known) throw StateError("server." + item.key() + ": unknown field");
    }
    out->name = Text(server, "name", out->name);
    out->domain = Text(server, "domain", out->domain);
    out->version = Text(server, "version", out->version);
    out->database = Text(server, "database", out->database);
    if (server.contains("batchSize")) {
        const nlohmann::json& size = server["batchSize"];
        if (!size.is_number_integer() || size.get<int64_t>() < 1 || size.get<int64_t>() > 65536)
            throw StateError("server.batchSize: not an integer in 1..65536");
        out->batchSize = size.get<size_t>();
    }
    if (out->name.size() >= sizeof(VlvServerInfo::serverName))
        throw StateError("server.name: text longer than 63 characters");
}

// A history entry carries the file's path beside its record fields.
nlohmann::json TakeHistoryPath(const nlohmann::json& entry, ServerState* out) {
    if (!entry.is_object() || !entry.contains("path") || !entry["path"].is_string())
        throw StateError("path: missing or not a text");
    std::string directory, file;
    SplitPath(entry["path"].get<std::string>(), &directory, &file);
    if (file.empty()) throw StateError("path: names no file");
    nlohmann::json fields = entry;
    fields.erase("path");
    if (!fields.contains("fileName") && file.size() < sizeof(VlvHistoryRecord::fileName))
        fields["fileName"] = file;
    out->historyDirectories.push_back(directory);
    out->historyFiles.push_back(file);
    return fields;
}

void ParseSection(const nlohmann::json& root, const RecordLayout& layout, time_t now, ServerState* out) {
    if (!root.contains(layout.section)) return;
    const nlohmann::json& list = root[layout.section];
    if (!list.is_array()) throw StateError(std::string(layout.section) + ": not an array");
    const size_t size = VlvRecordSize(layout.type);
    std::vector<uint8_t>& records = out->records[layout.type];
    records.assign(list.size() * size, 0);
    for (size_t i = 0; i < list.size(); ++i) {
        try {
            if (layout.type == VLV_OBJ_HISTORY)
                EncodeRecord(layout, TakeHistoryPath(list[i], out), &records[i * size], now);
            else
                EncodeRecord(layout, list[i], &records[i * size], now);
        } catch (const StateError& e) {
            throw StateError(std::string(layout.section) + "[" + std::to_string(i) + "]." + e.what());
        }
    }
}

}  // namespace

size_t ServerState::Count(int32_t type) const {
    size_t size = VlvRecordSize(type);
    return size == 0 ? 0 : records[type].size() / size;
}

const uint8_t* ServerState::Record(int32_t type, size_t index) const {
    return records[type].data() + index * VlvRecordSize(type);
}

void SplitPath(const std::string& path, std::string* directory, std::string* file) {
    size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) {
        directory->clear();
        *file = path;
        return;
    }
    *directory = path.substr(0, cut);
    *file = path.substr(cut + 1);
}

LONG ParseServerState(const std::string& text, time_t now, ServerState* out, std::string* error) {
    *out = ServerState{};
    try {
        nlohmann::json root = nlohmann::json::parse(text);
        if (!root.is_object()) throw StateError("the file holds no JSON object");
        for (auto item = root.begin(); item != root.end(); ++item) {
            bool known = item.key() == "server";
            for (int32_t type : {VLV_OBJ_JOB, VLV_OBJ_MEDIA, VLV_OBJ_TAPEDRIVE, VLV_OBJ_HISTORY})
                known = known || item.key() == FindRecordLayout(type)->section;
            if (!known) throw StateError(item.key() + ": unknown section");
        }
        if (root.contains("server")) ParseServer(root["server"], out);
        for (int32_t type : {VLV_OBJ_JOB, VLV_OBJ_MEDIA, VLV_OBJ_TAPEDRIVE, VLV_OBJ_HISTORY})
            ParseSection(root, *FindRecordLayout(type), now, out);
        return VLV_OK;
    } catch (const std::exception& e) {  // StateError and the parser's own errors
        *error = e.what();
        *out = ServerState{};
        return VLV_E_BAD_SERVER_STATE;
    }
}

std::string StateFilePath() {
    std::string home;
    if (orb::RegGetString(kProductPathKey, "HOME", &home) != ERROR_SUCCESS || home.empty()) return "";
    if (home.back() != '/') home += '/';
    return home + kStateFileName;
}

LONG LoadServerState(ServerState* out) {
    std::string path = StateFilePath();
    if (path.empty()) return VLV_E_NOT_INSTALLED;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *out = ServerState{};
        return VLV_OK;
    }
    std::ostringstream text;
    text << file.rdbuf();
    std::string error;
    LONG rc = ParseServerState(text.str(), orb::CurrentClock().WallTime(), out, &error);
    if (rc != VLV_OK) OutputDebugStringA(("EBQRY: " + path + ": " + error + "\n").c_str());
    return rc;
}

}  // namespace ebqry
