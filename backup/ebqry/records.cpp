// Field tables of the record types and the encoding of one state-file object.
#include "backup/ebqry/records.h"

#include <cstring>
#include <limits>

#include <nlohmann/json.hpp>

#include "backup/ebqry/ebqry.h"

namespace ebqry {
namespace {

#define VLV_FIELD(Struct, member, key, kind) \
    FieldLayout { key, offsetof(Struct, member), FieldKind::kind, sizeof(Struct::member) }

const FieldLayout kJobFields[] = {
    VLV_FIELD(VlvJobRecord, jobId, "jobId", Int32),
    VLV_FIELD(VlvJobRecord, jobType, "jobType", Int16),
    VLV_FIELD(VlvJobRecord, jobStatus, "jobStatus", Int16),
    VLV_FIELD(VlvJobRecord, submitTime, "submitTime", DosTime),
    VLV_FIELD(VlvJobRecord, lastRunTime, "lastRunTime", DosTime),
    VLV_FIELD(VlvJobRecord, owner, "owner", Text),
    VLV_FIELD(VlvJobRecord, description, "description", Text),
    VLV_FIELD(VlvJobRecord, serverName, "serverName", Text),
    VLV_FIELD(VlvJobRecord, groupName, "groupName", Text),
    VLV_FIELD(VlvJobRecord, lastResult, "lastResult", Int32),
};

const FieldLayout kMediaFields[] = {
    VLV_FIELD(VlvMediaRecord, mediaId, "mediaId", Int32),
    VLV_FIELD(VlvMediaRecord, mediaType, "mediaType", Int16),
    VLV_FIELD(VlvMediaRecord, mediaStatus, "mediaStatus", Int16),
    VLV_FIELD(VlvMediaRecord, tapeName, "tapeName", Text),
    VLV_FIELD(VlvMediaRecord, randomId, "randomId", Int16),
    VLV_FIELD(VlvMediaRecord, sequenceNo, "sequenceNo", Int16),
    VLV_FIELD(VlvMediaRecord, formatTime, "formatTime", DosTime),
    VLV_FIELD(VlvMediaRecord, usageCount, "usageCount", Int32),
    VLV_FIELD(VlvMediaRecord, kbWritten, "kbWritten", Int32),
    VLV_FIELD(VlvMediaRecord, writeErrors, "writeErrors", Int32),
    VLV_FIELD(VlvMediaRecord, readErrors, "readErrors", Int32),
    VLV_FIELD(VlvMediaRecord, serialNumber, "serialNumber", Text),
    VLV_FIELD(VlvMediaRecord, poolName, "poolName", Text),
    VLV_FIELD(VlvMediaRecord, slotNumber, "slotNumber", Int16),
    VLV_FIELD(VlvMediaRecord, generation, "generation", Int16),
    VLV_FIELD(VlvMediaRecord, expireTime, "expireTime", DosTime),
    VLV_FIELD(VlvMediaRecord, capacityMB, "capacityMB", Int32),
};

const FieldLayout kTapeDriveFields[] = {
    VLV_FIELD(VlvTapeDriveRecord, driveId, "driveId", Int32),
    VLV_FIELD(VlvTapeDriveRecord, adapterNo, "adapterNo", Int16),
    VLV_FIELD(VlvTapeDriveRecord, busNo, "busNo", Int16),
    VLV_FIELD(VlvTapeDriveRecord, scsiId, "scsiId", Int16),
    VLV_FIELD(VlvTapeDriveRecord, lun, "lun", Int16),
    VLV_FIELD(VlvTapeDriveRecord, driveStatus, "driveStatus", Int16),
    VLV_FIELD(VlvTapeDriveRecord, driveType, "driveType", Int16),
    VLV_FIELD(VlvTapeDriveRecord, productId, "productId", Text),
    VLV_FIELD(VlvTapeDriveRecord, vendorId, "vendorId", Text),
    VLV_FIELD(VlvTapeDriveRecord, firmwareRev, "firmwareRev", Text),
    VLV_FIELD(VlvTapeDriveRecord, groupNumber, "groupNumber", Int32),
    VLV_FIELD(VlvTapeDriveRecord, lastCleanTime, "lastCleanTime", DosTime),
    VLV_FIELD(VlvTapeDriveRecord, blockSize, "blockSize", Int32),
    VLV_FIELD(VlvTapeDriveRecord, compression, "compression", Int32),
    VLV_FIELD(VlvTapeDriveRecord, mbWritten, "mbWritten", Int32),
    VLV_FIELD(VlvTapeDriveRecord, readErrors, "readErrors", Int32),
    VLV_FIELD(VlvTapeDriveRecord, writeErrors, "writeErrors", Int32),
    VLV_FIELD(VlvTapeDriveRecord, loadedMedia, "loadedMedia", Text),
    VLV_FIELD(VlvTapeDriveRecord, hoursSinceClean, "hoursSinceClean", Int32),
};

const FieldLayout kHistoryFields[] = {
    VLV_FIELD(VlvHistoryRecord, sessionNo, "sessionNo", Int32),
    VLV_FIELD(VlvHistoryRecord, jobId, "jobId", Int32),
    VLV_FIELD(VlvHistoryRecord, tapeName, "tapeName", Text),
    VLV_FIELD(VlvHistoryRecord, fileSizeKB, "fileSizeKB", Int32),
    VLV_FIELD(VlvHistoryRecord, sequenceNo, "sequenceNo", Int32),
    VLV_FIELD(VlvHistoryRecord, mediaId, "mediaId", Int32),
    VLV_FIELD(VlvHistoryRecord, startTime, "startTime", DosTime),
    VLV_FIELD(VlvHistoryRecord, endTime, "endTime", DosTime),
    VLV_FIELD(VlvHistoryRecord, fileName, "fileName", Text),
};

#undef VLV_FIELD

const RecordLayout kLayouts[] = {
    {VLV_OBJ_JOB, "jobs", kJobFields},
    {VLV_OBJ_MEDIA, "media", kMediaFields},
    {VLV_OBJ_TAPEDRIVE, "tapeDrives", kTapeDriveFields},
    {VLV_OBJ_HISTORY, "history", kHistoryFields},
};

int64_t Integer(const nlohmann::json& value, int64_t low, int64_t high, const char* key) {
    if (!value.is_number_integer())
        throw StateError(std::string(key) + ": not an integer");
    int64_t number = value.is_number_unsigned() && value.get<uint64_t>() > INT64_MAX
                         ? INT64_MAX
                         : value.get<int64_t>();
    if (number < low || number > high)
        throw StateError(std::string(key) + ": " + std::to_string(number) + " out of range " +
                         std::to_string(low) + ".." + std::to_string(high));
    return number;
}

void EncodeField(const FieldLayout& field, const nlohmann::json& value, uint8_t* at, time_t now) {
    switch (field.kind) {
    case FieldKind::Int32: {
        int32_t v = static_cast<int32_t>(Integer(value, INT32_MIN, INT32_MAX, field.key));
        std::memcpy(at, &v, sizeof v);
        return;
    }
    case FieldKind::Int16: {
        int16_t v = static_cast<int16_t>(Integer(value, INT16_MIN, INT16_MAX, field.key));
        std::memcpy(at, &v, sizeof v);
        return;
    }
    case FieldKind::Text: {
        if (!value.is_string()) throw StateError(std::string(field.key) + ": not a text");
        const std::string& text = value.get_ref<const std::string&>();
        if (text.size() >= field.size || text.find('\0') != std::string::npos)
            throw StateError(std::string(field.key) + ": text longer than " +
                             std::to_string(field.size - 1) + " characters");
        std::memcpy(at, text.data(), text.size());
        return;
    }
    case FieldKind::DosTime: {
        uint32_t v = 0;
        if (value.is_number_integer())
            v = static_cast<uint32_t>(Integer(value, 0, UINT32_MAX, field.key));
        else if (!value.is_string() || !ParseDosTime(value.get<std::string>(), now, &v))
            throw StateError(std::string(field.key) +
                             ": not a time (YYYY-MM-DD HH:MM:SS, now, now-<n>s|m|h|d)");
        std::memcpy(at, &v, sizeof v);
        return;
    }
    }
}

uint32_t DosFromTm(const std::tm& tm) {
    return (static_cast<uint32_t>(tm.tm_year - 80) << 25) |
           (static_cast<uint32_t>(tm.tm_mon + 1) << 21) | (static_cast<uint32_t>(tm.tm_mday) << 16) |
           (static_cast<uint32_t>(tm.tm_hour) << 11) | (static_cast<uint32_t>(tm.tm_min) << 5) |
           static_cast<uint32_t>(tm.tm_sec / 2);
}

bool RelativeTime(const std::string& text, time_t now, std::tm* tm) {
    time_t t = now;
    if (text != "now") {
        if (text.rfind("now-", 0) != 0 || text.size() < 6) return false;
        size_t digits = 0;
        long long amount = std::stoll(text.substr(4), &digits);
        if (digits + 5 != text.size() || amount < 0 || amount > 100LL * 365 * 86400) return false;
        switch (text.back()) {
        case 's': break;
        case 'm': amount *= 60; break;
        case 'h': amount *= 3600; break;
        case 'd': amount *= 86400; break;
        default: return false;
        }
        t = now - static_cast<time_t>(amount);
    }
    return localtime_r(&t, tm) != nullptr;
}

bool AbsoluteTime(const std::string& text, std::tm* tm) {
    int year, month, day, hour, minute, second;
    char separator;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &year, &month, &day, &separator,
                    &hour, &minute, &second, &used) != 7 ||
        static_cast<size_t>(used) != text.size() || (separator != ' ' && separator != 'T'))
        return false;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59 ||
        hour < 0 || minute < 0 || second < 0)
        return false;
    *tm = std::tm{};
    tm->tm_year = year - 1900;
    tm->tm_mon = month - 1;
    tm->tm_mday = day;
    tm->tm_hour = hour;
    tm->tm_min = minute;
    tm->tm_sec = second;
    return true;
}

}  // namespace

const RecordLayout* FindRecordLayout(int32_t type) {
    for (const RecordLayout& layout : kLayouts)
        if (layout.type == type) return &layout;
    return nullptr;
}

bool ParseDosTime(const std::string& text, time_t now, uint32_t* out) {
    std::tm tm{};
    bool ok = false;
    try {
        ok = text.rfind("now", 0) == 0 ? RelativeTime(text, now, &tm) : AbsoluteTime(text, &tm);
    } catch (const std::exception&) {  // stoll on a malformed amount
        return false;
    }
    if (!ok || tm.tm_year < 80 || tm.tm_year > 80 + 127) return false;
    *out = DosFromTm(tm);
    return true;
}

void EncodeRecord(const RecordLayout& layout, const nlohmann::json& object, uint8_t* record,
                  time_t now) {
    if (!object.is_object()) throw StateError("not an object");
    for (auto item = object.begin(); item != object.end(); ++item) {
        const FieldLayout* field = nullptr;
        for (const FieldLayout& candidate : layout.fields)
            if (item.key() == candidate.key) field = &candidate;
        if (field == nullptr) throw StateError(item.key() + ": unknown field");
        EncodeField(*field, item.value(), record + field->offset, now);
    }
    VlvObjectHeader header{layout.type, static_cast<int32_t>(VlvRecordSize(layout.type)), 1, 0};
    std::memcpy(record, &header, sizeof header);
}

}  // namespace ebqry
