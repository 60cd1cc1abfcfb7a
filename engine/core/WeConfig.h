// The configuration store: every configuration value of the program as text under a dotted key
// (file name, section and key joined by points), loaded from ".ini" files and handed to the code
// as typed values through getters that take a default.
#pragma once

#include "WeHashTable.h"
#include "WeList.h"
#include "WeString.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class WeFileStream;

// The record of one key.
struct WeConfigEntry
{
    // Caches the int, bool and float values from the value text (unparsable text gives 0).
    void Reparse();

    // What a getter reads comes first, within one cache line.
    // The entry of this key with the override suffix appended, once the store holds one.
    WeConfigEntry* overriddenBy = nullptr;
    bool set = false; // the cached values below are valid
    bool boolValue = false;
    bool fromFile = false; // the value came from a configuration file
    int32_t intValue = 0;
    float floatValue = 0.0f;
    WeString value;
    WeString defaultValue; // written when a getter first supplies a default
};

// A component's interest in changed values of the keys under a prefix.
struct WeConfigListener
{
    WeString prefix;
    void (*callback)(const WeString& key, void* argument) = nullptr;
    void* argument = nullptr;
};

// The listeners, in the order they were added; built on first use, so that adding and notifying
// work at any time, static construction included.
WeList<WeConfigListener>& WeGetConfigListeners();

// Reads the ".ini" grammar of one file byte by byte and stores every complete "key=value" line
// of a named section under name.section.key. The bytes may come in pieces of any size.
//   [Section]        starts a section (at the very start of a line only)
//   key=value        nothing is trimmed: blanks around '=' belong to the key and the value
//   ; comment        to the end of the line; affects nothing else
//   \n \r \t \x      escapes (LF, LF, byte 8, the byte itself); a backslash before a line
//                    break continues the field on the next line
// Lines without '=' or before the first section store nothing; a later line wins.
class WeConfigParser
{
public:
    explicit WeConfigParser(const WeString& fileName);

    void Feed(const char* bytes, size_t count);
    // Ends the last line, even one that ends in a backslash.
    void Finish();

private:
    enum class State : uint8_t
    {
        LineStart,
        Section,
        Key,
        Value
    };

    void Character(char c);
    void LineBreak(char c);
    void Append(char c);
    void EndLine();

    WeString name;
    std::string section;
    std::string key;
    std::string value;
    State state = State::LineStart;
    bool escape = false;
    bool comment = false;
    char previous = '\0';
};

// The store. Every operation creates it on first use and then loads all main configuration
// files of the package. Getters return references into the stored record: they stay valid until
// exit and always show the current value, so callers may keep their address.
class WeConfig
{
public:
    // The entry of a key, or null when it is missing and create is false (else a fresh entry).
    static WeConfigEntry* Find(const WeString& key, bool create);
    // The entry of the key with the override suffix when the store holds that, else of the key
    // itself (created when missing).
    static WeConfigEntry* Lookup(const WeString& key);

    // Typed values. On an entry not yet set the default is stored as default text and as the
    // value; a value from a file wins over the default.
    static int32_t& GetInt(const WeString& key, int32_t defaultValue);
    static bool& GetBool(const WeString& key, bool defaultValue);
    static float& GetFloat(const WeString& key, float defaultValue);
    static WeString& GetString(const WeString& key, const WeString& defaultValue);

    // Loads one configuration file, keys prefixed with the name exactly as given:
    //   ""          every main file of the package (but "debug" and "Editor")
    //   "*path"     the disk file path + ".ini"
    //   "$A.B.c"    that package entry
    //   "name"      the package entry "Config.Main." + name
    // A source that cannot be opened is skipped silently.
    static void Load(const WeString& name);
    // Loads configuration text given directly, as if it were the file of that name.
    static void LoadText(const WeString& name, const char* bytes, size_t count);
    // Loads every listed main file (the names of the "Config.Main" assets) but "debug" and
    // "Editor", in the order listed.
    static void LoadMainFiles(const WeList<WeString>& fileNames);

    // Every entry whose key begins with prefix gets its default text back (empty for keys that
    // only a file defined), and its cached values re-parsed.
    static void ResetValues(const WeString& prefix);
    // Empties list and fills it with every key that begins with prefix: ascending byte order
    // when sorted, else table order.
    static void GetKeys(const WeString& prefix, WeList<WeString>& list, bool sorted);

    // Calls every listener whose prefix begins the key. The store calls it for every value text
    // that a load or a reset changed, once that load (its file closed) or reset is over.
    static void NotifyListeners(const WeString& key);
    // Retires the store with every entry; the next operation creates a new one. References to
    // the old store's values stay readable until exit, when every store is deleted.
    static void Shutdown();
    // Deletes the retired stores: only for callers that kept no reference into them.
    static void FreeRetired();

private:
    static WeConfig& Store();
    // Stores a value read from a file; a change is kept for the listeners.
    static void StoreFileValue(const WeString& key, const WeString& value);
    static void LoadSource(const WeString& name);
    // Tells the listeners of the changes kept so far.
    static void NotifyChanges();
    // Links a new entry with the entries it overrides or that override it.
    void LinkOverrides(std::string_view key, WeConfigEntry* entry);
    static void LoadStream(const WeString& name, WeFileStream& stream);
    static void LoadDiskFile(const WeString& name, const WeString& path);
    static void LoadPackageEntry(const WeString& name, const WeString& assetName);

    // An open-addressed index from key bytes to entries: a lookup hashes the key once and
    // compares the full hashes kept in the slots before it reads any key bytes.
    class Index
    {
    public:
        WeConfigEntry* Find(std::string_view key) const; // null when absent
        // For a key not yet present; returns the index's copy of the key bytes, which stays.
        const char* Insert(std::string_view key, WeConfigEntry* entry);
        bool IsEmpty() const { return count == 0; }

    private:
        // Two to a cache line; the key bytes lie packed in the index's key blocks.
        struct Slot
        {
            uint64_t hash = 0;
            WeConfigEntry* entry = nullptr; // null in a free slot
            const char* key = nullptr;
            size_t length = 0;
        };
        static constexpr size_t KeyBlockBytes = 0x10000;
        static uint64_t Hash(std::string_view key);
        const char* StoreKey(std::string_view key); // a copy that stays where it is
        void Place(const Slot& slot);               // into the first free slot of its probe run
        void Grow();

        std::vector<Slot> slots; // a power of two of them, at most half in use
        std::vector<std::unique_ptr<char[]>> keyBlocks;
        size_t keyBlockUsed = 0;
        int32_t count = 0;
    };

    // Every key in the table's order (bucket by bucket, each in insertion order), packed: a key
    // listing compares each key's first eight bytes here instead of walking the table's nodes.
    class KeyOrder
    {
    public:
        void Add(std::string_view key); // bytes that stay where they are
        // Visits, in table order, every key that begins with prefix.
        template <typename Visit> void ForEachStartingWith(std::string_view prefix, Visit&& visit) const;

    private:
        struct Key
        {
            uint64_t head; // the first eight bytes, zero-padded
            const char* bytes;
            size_t length;
        };
        std::vector<Key> buckets[WeHashTable<WeConfigEntry>::BucketCount];
    };

    // The entries in the table whose order the key listing shows, and an index over the same
    // entries that keeps lookups fast however many keys the store holds.
    WeHashTable<WeConfigEntry> entries;
    Index index;
    KeyOrder keyOrder;
    // Every entry with the override suffix, under its key without the suffix: a lookup of a key
    // the store lacks finds its override here without creating the key.
    Index overrides;
    std::vector<WeString> changedKeys;

    friend class WeConfigParser;
};

// The store; null until the first configuration read.
extern WeConfig* config;

// "|tarno": a key with this appended, defined in a file, overrides the key itself.
const WeString& WeGetConfigOverrideSuffix();
