#include "framework/nwomapi/read_cache.h"

#include <atomic>

namespace orbom {

namespace {

// What an entry costs besides its rows: the key twice (map and list), the
// nodes and the selection's own fields, rounded up.
constexpr size_t kEntryOverhead = 160;

struct Totals {
    std::atomic<uint64_t> hits{0}, misses{0}, invalidations{0}, entries{0}, bytes{0}, cap{0},
        enabled{0};
};
Totals& Process() {
    static Totals totals;
    return totals;
}

size_t SizeOf(const Selection& rows) {
    return rows.bytes.capacity() + rows.cells.capacity() * sizeof(Cell);
}

void Project(const Selection& from, size_t row, const std::vector<int>& columns, Selection* out) {
    for (int c : columns) {
        const Cell& cell = from.At(row, static_cast<size_t>(c));
        out->Append(cell.null ? nullptr : from.bytes.data() + cell.offset, cell.length);
    }
    ++out->count;
}

}  // namespace

const Value* ReadCache::NameCriterion(const std::vector<NamedValue>& criteria) {
    if (criteria.size() != 1) return nullptr;
    const NamedValue& c = criteria.front();
    if (c.name != "name" || c.value.null || c.value.type != ORBOM_TYPE_STRING) return nullptr;
    return &c.value;
}

std::string ReadCache::AnswerKey(const std::string& properties,
                                 const std::vector<NamedValue>& criteria) {
    // Lengths before texts, so that no two different lists give one key.
    std::string key = std::to_string(properties.size()) + ':' + properties;
    for (const NamedValue& c : criteria) {
        key += std::to_string(c.name.size()) + ':' + c.name + static_cast<char>('A' + c.value.type);
        if (c.value.null) {
            key += 'n';
        } else {
            key += std::to_string(c.value.bytes.size()) + ':' + c.value.bytes;
        }
    }
    return key;
}

ReadCache::DirectoryUse ReadCache::Directory(const std::string& cls) const {
    if (refused_.count(cls)) return DirectoryUse::Refused;
    auto it = classes_.find(cls);
    return it != classes_.end() && it->second.dir ? DirectoryUse::Loaded : DirectoryUse::Absent;
}

ReadCache::ReadCache(size_t capBytes) : cap_(capBytes) {
    Process().cap += cap_;
    ++Process().enabled;
    Publish();
}

ReadCache::~ReadCache() {
    while (!lru_.empty()) Remove(lru_.begin());
    Process().cap -= cap_;
    --Process().enabled;
}

void ReadCache::CountHit() {
    ++stats_.hits;
    ++Process().hits;
}

void ReadCache::CountMiss() {
    ++stats_.misses;
    ++Process().misses;
}

bool ReadCache::FromDirectory(const std::string& cls, const std::string& name,
                              const std::shared_ptr<const Columns>& columns, Selection* out) {
    auto it = classes_.find(cls);
    if (it == classes_.end() || !it->second.dir) return false;
    Dir& dir = *it->second.dir;
    const Columns& all = *dir.rows.columns;
    std::vector<int> map;
    for (const std::string& wanted : columns->names) {
        int found = -1;
        for (size_t i = 0; i < all.names.size() && found < 0; ++i) {
            if (all.names[i] == wanted) found = static_cast<int>(i);
        }
        if (found < 0) return false;  // the class grew since it was loaded
        map.push_back(found);
    }
    *out = Selection();
    out->columns = columns;
    auto rows = dir.byName.find(name);
    if (rows != dir.byName.end()) {
        for (uint32_t row : rows->second) Project(dir.rows, row, map, out);
    }
    ++dir.served;
    Use(it->second.dirAt);
    return true;
}

void ReadCache::KeepDirectory(const std::string& cls, Selection rows) {
    const size_t bytes = SizeOf(rows) + kEntryOverhead + rows.count * 48;
    if (rows.count > kDirectoryRows || bytes > cap_ / 2) {
        Refuse(cls);
        return;
    }
    const std::vector<std::string>& names = rows.columns->names;
    int nameColumn = -1;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == "name") nameColumn = static_cast<int>(i);
    }
    if (nameColumn < 0) {
        Refuse(cls);
        return;
    }
    Drop(cls);
    auto dir = std::make_unique<Dir>();
    dir->rows = std::move(rows);
    for (size_t row = 0; row < dir->rows.count; ++row) {
        const Cell& cell = dir->rows.At(row, static_cast<size_t>(nameColumn));
        if (cell.null) continue;
        dir->byName[dir->rows.bytes.substr(cell.offset, cell.length)].push_back(
            static_cast<uint32_t>(row));
    }
    ClassEntries& entries = classes_[cls];
    entries.dir = std::move(dir);
    entries.dirAt = Add(cls, "", bytes);
}

bool ReadCache::Holds(const std::string& cls, const std::string& key) const {
    auto it = classes_.find(cls);
    return it != classes_.end() && it->second.answers.count(key) > 0;
}

bool ReadCache::FromAnswers(const std::string& cls, const std::string& key, Selection* out) {
    auto it = classes_.find(cls);
    if (it == classes_.end()) return false;
    auto answer = it->second.answers.find(key);
    if (answer == it->second.answers.end()) return false;
    *out = answer->second.first;
    Use(answer->second.second);
    return true;
}

void ReadCache::KeepAnswer(const std::string& cls, const std::string& key, const Selection& rows) {
    const size_t bytes = SizeOf(rows) + 2 * key.size() + kEntryOverhead;
    if (bytes > cap_ / 16) return;  // one answer never crowds out the rest
    ClassEntries& entries = classes_[cls];
    auto old = entries.answers.find(key);
    if (old != entries.answers.end()) Remove(old->second.second);
    const Lru::iterator at = Add(cls, key, bytes);
    classes_[cls].answers.emplace(key, std::make_pair(rows, at));
}

ReadCache::Lru::iterator ReadCache::Add(const std::string& cls, const std::string& key,
                                        size_t bytes) {
    EvictTo(cap_ > bytes ? cap_ - bytes : 0);
    lru_.push_front(Entry{cls, key, bytes});
    bytes_ += bytes;
    Process().bytes += bytes;
    ++Process().entries;
    Publish();
    return lru_.begin();
}

void ReadCache::Remove(Lru::iterator at) {
    auto it = classes_.find(at->cls);
    if (it != classes_.end()) {
        if (at->key.empty()) {
            it->second.dir.reset();
        } else {
            it->second.answers.erase(at->key);
        }
        if (!it->second.dir && it->second.answers.empty()) classes_.erase(it);
    }
    bytes_ -= at->bytes;
    Process().bytes -= at->bytes;
    --Process().entries;
    lru_.erase(at);
    Publish();
}

void ReadCache::EvictTo(size_t bytes) {
    while (bytes_ > bytes && !lru_.empty()) Remove(std::prev(lru_.end()));
}

void ReadCache::Refuse(const std::string& cls) {
    Drop(cls);
    refused_.insert(cls);
}

void ReadCache::Drop(const std::string& cls) {
    auto it = classes_.find(cls);
    if (it == classes_.end()) return;
    ++stats_.invalidations;
    ++Process().invalidations;
    // A directory the class's changes keep dropping before it served a few
    // searches costs more than it saves: the class is searched by answers.
    const Dir* dir = it->second.dir.get();
    if (dir && dir->served < 8 + dir->rows.count / 64) refused_.insert(cls);
    std::vector<Lru::iterator> held;
    if (dir) held.push_back(it->second.dirAt);
    for (auto& answer : it->second.answers) held.push_back(answer.second.second);
    for (Lru::iterator at : held) Remove(at);
}

void ReadCache::DropAll() {
    std::vector<std::string> held;
    for (const auto& entry : classes_) held.push_back(entry.first);
    for (const std::string& cls : held) Drop(cls);
}

void ReadCache::Clear() {
    if (!lru_.empty()) {
        ++stats_.invalidations;
        ++Process().invalidations;
    }
    while (!lru_.empty()) Remove(lru_.begin());
    refused_.clear();
    stamps_.clear();
    unstamped_.clear();
}

void ReadCache::Counters(const std::map<std::string, int64_t>& counters) {
    std::vector<std::string> moved;
    for (const auto& entry : classes_) {
        // A class never written since the counters were installed has none.
        auto counter = counters.find(entry.first);
        auto stamp = stamps_.find(entry.first);
        const int64_t now = counter == counters.end() ? 0 : counter->second;
        const int64_t was = stamp == stamps_.end() ? 0 : stamp->second;
        if (now != was || unstamped_.count(entry.first)) moved.push_back(entry.first);
    }
    for (const std::string& cls : moved) Drop(cls);
    stamps_ = counters;
    unstamped_.clear();
}

void ReadCache::Publish() {
    stats_.entries = lru_.size();
    stats_.bytes = bytes_;
    stats_.capBytes = cap_;
    stats_.enabled = 1;
}

void LocalSignals::Bump(const std::string& cls, uint64_t* since) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t before = epoch_.load();
    changed_[cls] = before + 1;
    epoch_.store(before + 1);
    if (*since == before) *since = before + 1;
}

void LocalSignals::Since(uint64_t* since, std::vector<std::string>* classes) {
    if (epoch_.load() == *since) return;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& entry : changed_) {
        if (entry.second > *since) classes->push_back(entry.first);
    }
    *since = epoch_.load();
}

std::shared_ptr<LocalSignals> LocalSignalsOf(const std::string& repository) {
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<LocalSignals>> all;
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<LocalSignals> signals = all[repository].lock();
    if (!signals) {
        signals = std::make_shared<LocalSignals>();
        all[repository] = signals;
    }
    return signals;
}

void TotalCacheStats(ORBOM_CACHE_STATS* out) {
    Totals& t = Process();
    *out = ORBOM_CACHE_STATS{};
    out->hits = t.hits;
    out->misses = t.misses;
    out->invalidations = t.invalidations;
    out->entries = t.entries;
    out->bytes = t.bytes;
    out->capBytes = t.cap;
    out->enabled = t.enabled > 0 ? 1 : 0;
}

}  // namespace orbom
