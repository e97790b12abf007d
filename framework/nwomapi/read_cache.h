// A connection's read cache: answers to selects that the client may give
// again without asking the database, as long as the backend's change signals
// say the class was not written since (store.h decides when to ask it;
// pg_store.h and sqlite_store.h say how freshness is known). It holds two
// kinds of entries, both under one byte cap with least-recently-used
// eviction:
// - a class's directory: every object of the class, loaded in one select,
//   indexed by "name", so that a search by name answers whether or not the
//   name is there (machine searches, nearly all of which find nothing);
//   a class with more than kDirectoryRows objects is never loaded whole;
// - answers by class, criteria and property selection (links by their ends).
// Invalidation is per class. Not thread-safe: its connection serialises.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/nwomapi/nwomapi.h"
#include "framework/nwomapi/statements.h"
#include "framework/nwomapi/value.h"

namespace orbom {

class ReadCache {
  public:
    // Objects a directory may hold: above this a class is searched by
    // answers only (a directory is worth loading when a pass asks for many
    // names of one class, never for a class the size of a whole site).
    static constexpr size_t kDirectoryRows = 50000;
    // The default cap of one connection's cache.
    static constexpr size_t kDefaultCapBytes = 32u << 20;

    explicit ReadCache(size_t capBytes);
    ReadCache(const ReadCache&) = delete;
    ReadCache& operator=(const ReadCache&) = delete;
    ~ReadCache();

    // The criteria a directory answers: exactly one, "name", a non-null text.
    static const Value* NameCriterion(const std::vector<NamedValue>& criteria);
    // The key of an answer: properties and criteria, each value with its
    // type, null flag and bytes.
    static std::string AnswerKey(const std::string& properties,
                                 const std::vector<NamedValue>& criteria);

    // ---- Directories ----
    enum class DirectoryUse { Absent, Loaded, Refused };
    DirectoryUse Directory(const std::string& cls) const;
    // The objects of the directory named name, with the columns asked for;
    // false when there is no directory or it lacks one of the columns.
    bool FromDirectory(const std::string& cls, const std::string& name,
                       const std::shared_ptr<const Columns>& columns, Selection* out);
    // Keeps every object of the class (rows with all its columns); more than
    // kDirectoryRows rows, or more bytes than half the cap: the class is
    // refused for this connection.
    void KeepDirectory(const std::string& cls, Selection rows);

    // ---- Answers ----
    bool Holds(const std::string& cls, const std::string& key) const;
    bool FromAnswers(const std::string& cls, const std::string& key, Selection* out);
    void KeepAnswer(const std::string& cls, const std::string& key, const Selection& rows);

    // ---- Invalidation ----
    // Forgets what the class held (counted as an invalidation when it held
    // anything).
    void Drop(const std::string& cls);
    // Forgets everything, refusals included.
    void Clear();
    // Drops every class, as when each of them changed.
    void DropAll();
    // Per-class change counters as the database gave them: classes whose
    // counter moved since it was last seen are dropped. Classes the cache
    // holds and counters lists not count as 0.
    void Counters(const std::map<std::string, int64_t>& counters);
    // The class's counter is no longer known (written since, or signalled).
    void Unstamp(const std::string& cls) { unstamped_.insert(cls); }

    void CountHit();
    void CountMiss();
    const ORBOM_CACHE_STATS& stats() const { return stats_; }
    size_t cap() const { return cap_; }

  private:
    struct Dir {
        Selection rows;
        std::unordered_map<std::string, std::vector<uint32_t>> byName;
        size_t served = 0;  // answers given since loaded
    };
    struct Entry {
        std::string cls;
        std::string key;  // empty: the class's directory
        size_t bytes = 0;
    };
    using Lru = std::list<Entry>;
    struct ClassEntries {
        std::unique_ptr<Dir> dir;
        Lru::iterator dirAt;
        std::unordered_map<std::string, std::pair<Selection, Lru::iterator>> answers;
    };

    void Use(Lru::iterator at) { lru_.splice(lru_.begin(), lru_, at); }
    Lru::iterator Add(const std::string& cls, const std::string& key, size_t bytes);
    void Remove(Lru::iterator at);
    void EvictTo(size_t bytes);
    void Refuse(const std::string& cls);
    void Publish();

    size_t cap_;
    size_t bytes_ = 0;
    Lru lru_;  // most recently used first
    std::unordered_map<std::string, ClassEntries> classes_;
    std::set<std::string> refused_;  // never given a directory
    std::map<std::string, int64_t> stamps_;
    std::set<std::string> unstamped_;  // signalled since the counters were read
    ORBOM_CACHE_STATS stats_{};
};

// What this process's connections to one repository committed, so that
// each one's cache drops what another wrote without waiting for the
// database's signal: within one process the caches are exact.
class LocalSignals {
  public:
    // A committed write to the class. since: the writer's own mark, moved
    // past its own write when no one else's came between.
    void Bump(const std::string& cls, uint64_t* since);
    // The classes written since the mark, which then moves to now.
    void Since(uint64_t* since, std::vector<std::string>* classes);

  private:
    std::mutex mutex_;
    std::atomic<uint64_t> epoch_{0};
    std::map<std::string, uint64_t> changed_;  // class -> epoch of its last write
};
std::shared_ptr<LocalSignals> LocalSignalsOf(const std::string& repository);

// The read caches of every connection of this process, summed.
void TotalCacheStats(ORBOM_CACHE_STATS* out);

}  // namespace orbom
