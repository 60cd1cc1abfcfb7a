#include "WeConfig.h"

#include "WeFileStream.h"
#include "WeVirtualFileSystem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

WeConfig* config = nullptr;

namespace
{

bool StartsWith(const WeString& text, const WeString& prefix)
{
    return text.GetLength() >= prefix.GetLength() &&
           std::memcmp(text.GetData(), prefix.GetData(), static_cast<size_t>(prefix.GetLength())) == 0;
}

bool EqualsIgnoringCase(const WeString& a, const char* b)
{
    return a.ToLower() == WeString(b).ToLower();
}

// The bytes an escape stands for.
char Unescape(char c)
{
    switch (c)
    {
    case 'n':
    case 'r':
        return '\n';
    case 't':
        return '\b';
    default:
        return c;
    }
}

// Stores replaced by Shutdown before exit. Callers keep references to values for the life of
// the process (looked up once, read every frame), so an old store's entries stay allocated
// until exit even when a new store has taken its place.
std::vector<std::unique_ptr<WeConfig>>& RetiredStores()
{
    static std::vector<std::unique_ptr<WeConfig>> retired;
    return retired;
}

void DeleteStoreAtExit()
{
    WeConfig::Shutdown();
    WeConfig::FreeRetired();
}

uint64_t LoadWord(const char* bytes)
{
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Visits the offsets of the eight-byte words that cover size bytes (eight or more): every
// eighth byte, then the last eight, which may overlap the word before; stops at a false.
template <typename Visit> bool ForEachWordOffset(size_t size, Visit&& visit)
{
    for (size_t i = 0; i + 8 < size; i += 8)
        if (!visit(i))
            return false;
    return visit(size - 8);
}

// The first eight bytes of the key (fewer zero-padded) as one word.
uint64_t Head(std::string_view key)
{
    uint64_t word = 0;
    if (!key.empty())
        std::memcpy(&word, key.data(), std::min<size_t>(key.size(), sizeof word));
    return word;
}

// Word by word, without a library call: keys are compared once their hashes matched, so they
// nearly always turn out equal.
bool SameBytes(const char* a, const char* b, size_t size)
{
    if (size < 8)
        return std::memcmp(a, b, size) == 0;
    return ForEachWordOffset(size, [a, b](size_t i) { return LoadWord(a + i) == LoadWord(b + i); });
}

} // namespace

void WeConfigEntry::Reparse()
{
    intValue = value.ToInt(10);
    boolValue = intValue != 0;
    floatValue = value.ToFloat(0.0f);
}

WeList<WeConfigListener>& WeGetConfigListeners()
{
    static WeList<WeConfigListener> listeners;
    return listeners;
}

// ---------------------------------------------------------------------------------------------
// The ".ini" grammar

WeConfigParser::WeConfigParser(const WeString& fileName) : name(fileName) {}

void WeConfigParser::Feed(const char* bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
    {
        const char c = bytes[i];
        if (c == '\r' || c == '\n')
            LineBreak(c);
        else
            Character(c);
        previous = c;
    }
}

void WeConfigParser::Finish()
{
    escape = false;
    EndLine();
    comment = false;
    previous = '\0';
}

void WeConfigParser::Character(char c)
{
    if (escape)
    {
        escape = false;
        Append(Unescape(c));
        return;
    }
    if (comment)
        return;
    switch (c)
    {
    case ';':
        comment = true;
        return;
    case '\\':
        escape = true;
        return;
    case '[':
        if (state != State::LineStart)
            break;
        section.clear();
        state = State::Section;
        return;
    case ']':
        if (state != State::Section)
            break;
        state = State::Key;
        return;
    case '=':
        if (state != State::Key)
            break;
        value.clear();
        state = State::Value;
        return;
    default:
        break;
    }
    Append(c);
}

// A line break ends the line, but for the LF of a CR LF pair and a break right after a
// backslash, which joins the next line to the same field.
void WeConfigParser::LineBreak(char c)
{
    if (escape)
        escape = false;
    else if (!(previous == '\r' && c == '\n'))
        EndLine();
    comment = false;
}

void WeConfigParser::Append(char c)
{
    switch (state)
    {
    case State::LineStart:
        state = State::Key;
        key += c;
        break;
    case State::Section:
        section += c;
        break;
    case State::Key:
        key += c;
        break;
    case State::Value:
        value += c;
        break;
    }
}

void WeConfigParser::EndLine()
{
    const size_t keyLength = static_cast<size_t>(name.GetLength()) + section.size() + key.size() + 2;
    const size_t limit = static_cast<size_t>(WeString::MaxLength);
    if (state == State::Value && !section.empty() && !key.empty() && keyLength <= limit &&
        value.size() <= limit)
    {
        WeString fullKey = name;
        fullKey += '.';
        fullKey.Append(section.data(), static_cast<int32_t>(section.size()));
        fullKey += '.';
        fullKey.Append(key.data(), static_cast<int32_t>(key.size()));
        WeConfig::StoreFileValue(fullKey, WeString(value.data(), static_cast<int32_t>(value.size())));
    }
    key.clear();
    state = State::LineStart;
}

// ---------------------------------------------------------------------------------------------
// The store

WeConfig& WeConfig::Store()
{
    if (!config)
    {
        // The retired list is built first so that it is destroyed after the exit handler ran.
        RetiredStores();
        static const bool deleteAtExit = std::atexit(DeleteStoreAtExit) == 0;
        static_cast<void>(deleteAtExit);
        // The pointer is set first: loading the main files stores through it.
        config = new WeConfig();
        Load(WeString());
    }
    return *config;
}

void WeConfig::Shutdown()
{
    if (config)
        RetiredStores().emplace_back(config);
    config = nullptr;
}

void WeConfig::FreeRetired()
{
    RetiredStores().clear();
}

WeConfigEntry* WeConfig::Find(const WeString& key, bool create)
{
    WeConfig& store = Store();
    const std::string_view bytes(key.GetData(), static_cast<size_t>(key.GetLength()));
    if (WeConfigEntry* found = store.index.Find(bytes))
        return found;
    if (!create)
        return nullptr;
    WeConfigEntry* entry = store.entries.Insert(key, WeConfigEntry());
    store.keyOrder.Add(std::string_view(store.index.Insert(bytes, entry), bytes.size()));
    store.LinkOverrides(bytes, entry);
    return entry;
}

void WeConfig::LinkOverrides(std::string_view key, WeConfigEntry* entry)
{
    const WeString& suffix = WeGetConfigOverrideSuffix();
    if (key.ends_with(std::string_view(suffix.GetData(), static_cast<size_t>(suffix.GetLength()))))
    {
        const std::string_view plain = key.substr(0, key.size() - static_cast<size_t>(suffix.GetLength()));
        overrides.Insert(plain, entry);
        if (WeConfigEntry* overridden = index.Find(plain))
            overridden->overriddenBy = entry;
    }
    entry->overriddenBy = overrides.Find(key);
}

// One hash walk for a stored key: the override was linked when either entry was made.
WeConfigEntry* WeConfig::Lookup(const WeString& key)
{
    if (WeConfigEntry* entry = Find(key, false))
        return entry->overriddenBy ? entry->overriddenBy : entry;
    if (!config->overrides.IsEmpty())
        if (WeConfigEntry* overriding =
                config->overrides.Find(std::string_view(key.GetData(), static_cast<size_t>(key.GetLength()))))
            return overriding;
    return Find(key, true);
}

WeConfigEntry* WeConfig::Index::Find(std::string_view key) const
{
    if (slots.empty())
        return nullptr;
    const uint64_t hash = Hash(key);
    const size_t mask = slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask)
    {
        const Slot& slot = slots[i];
        if (!slot.entry)
            return nullptr;
        if (slot.hash == hash && slot.length == key.size() && SameBytes(slot.key, key.data(), key.size()))
            return slot.entry;
    }
}

const char* WeConfig::Index::Insert(std::string_view key, WeConfigEntry* entry)
{
    if (2 * (static_cast<size_t>(count) + 1) > slots.size())
        Grow();
    const char* stored = StoreKey(key);
    Place({Hash(key), entry, stored, key.size()});
    ++count;
    return stored;
}

const char* WeConfig::Index::StoreKey(std::string_view key)
{
    if (keyBlocks.empty() || keyBlockUsed + key.size() > KeyBlockBytes)
    {
        keyBlocks.emplace_back(new char[std::max(KeyBlockBytes, key.size())]);
        keyBlockUsed = 0;
    }
    char* stored = keyBlocks.back().get() + keyBlockUsed;
    std::memcpy(stored, key.data(), key.size());
    keyBlockUsed += key.size();
    return stored;
}

void WeConfig::Index::Place(const Slot& slot)
{
    const size_t mask = slots.size() - 1;
    size_t i = slot.hash & mask;
    while (slots[i].entry)
        i = (i + 1) & mask;
    slots[i] = slot;
}

void WeConfig::Index::Grow()
{
    std::vector<Slot> old(std::max<size_t>(64, 2 * slots.size()));
    old.swap(slots);
    for (const Slot& slot : old)
        if (slot.entry)
            Place(slot);
}

// Mixes in eight bytes a step, then spreads every byte over the low bits, which pick the slot.
uint64_t WeConfig::Index::Hash(std::string_view key)
{
    constexpr uint64_t multiplier = 0x9E3779B97F4A7C15ull;
    uint64_t hash = key.size() * multiplier;
    const auto mix = [&hash](uint64_t word)
    {
        hash = (hash ^ word) * multiplier;
        hash ^= hash >> 29;
        return true;
    };
    if (key.size() < 8)
    {
        uint64_t word = 0;
        std::memcpy(&word, key.data(), key.size());
        mix(word);
    }
    else
        ForEachWordOffset(key.size(), [&](size_t i) { return mix(LoadWord(key.data() + i)); });
    hash ^= hash >> 32;
    hash *= 0xD6E8FEB86659FD93ull;
    return hash ^ (hash >> 32);
}

int32_t& WeConfig::GetInt(const WeString& key, int32_t defaultValue)
{
    WeConfigEntry* entry = Lookup(key);
    if (!entry->set)
    {
        // Printed unsigned: a negative default reads back as the same 32-bit value.
        entry->defaultValue = WeString();
        entry->defaultValue.AppendInt(defaultValue, 0, 10, false);
        entry->intValue = defaultValue;
        entry->set = true;
    }
    return entry->intValue;
}

bool& WeConfig::GetBool(const WeString& key, bool defaultValue)
{
    WeConfigEntry* entry = Lookup(key);
    if (!entry->set)
    {
        entry->defaultValue = defaultValue ? "1" : "0";
        entry->boolValue = defaultValue;
        entry->set = true;
    }
    return entry->boolValue;
}

float& WeConfig::GetFloat(const WeString& key, float defaultValue)
{
    WeConfigEntry* entry = Lookup(key);
    if (!entry->set)
    {
        entry->defaultValue = WeString();
        entry->defaultValue.AppendFloat(defaultValue, 6);
        entry->floatValue = defaultValue;
        entry->set = true;
    }
    return entry->floatValue;
}

WeString& WeConfig::GetString(const WeString& key, const WeString& defaultValue)
{
    WeConfigEntry* entry = Lookup(key);
    if (!entry->set)
    {
        entry->defaultValue = defaultValue;
        entry->value = defaultValue;
        // The typed values follow the text, so a key read later as a number agrees with it.
        entry->Reparse();
        entry->set = true;
    }
    return entry->value;
}

void WeConfig::StoreFileValue(const WeString& key, const WeString& value)
{
    WeConfigEntry* entry = Find(key, true);
    const bool changed = !(entry->value == value);
    entry->fromFile = true;
    entry->set = true;
    entry->value = value;
    entry->Reparse();
    if (changed)
        Store().changedKeys.push_back(key);
}

// ---------------------------------------------------------------------------------------------
// Loading

void WeConfig::Load(const WeString& name)
{
    LoadSource(name);
    NotifyChanges();
}

void WeConfig::LoadSource(const WeString& name)
{
    if (name.IsEmpty())
    {
        WeList<WeString> fileNames;
        WeVirtualFileSystem::GetFileSystem()->GetFiles(fileNames, "Config", "Main", WeAssetType::Config);
        LoadMainFiles(fileNames);
        return;
    }
    const WeString rest = name.Substring(1, name.GetLength());
    if (name[0] == '*')
        LoadDiskFile(name, rest + ".ini");
    else if (name[0] == '$')
        LoadPackageEntry(name, rest);
    else
        LoadPackageEntry(name, "Config.Main." + name);
}

void WeConfig::LoadText(const WeString& name, const char* bytes, size_t count)
{
    Store();
    WeConfigParser parser(name);
    parser.Feed(bytes, count);
    parser.Finish();
    NotifyChanges();
}

void WeConfig::LoadMainFiles(const WeList<WeString>& fileNames)
{
    for (const WeString& fileName : fileNames)
    {
        if (fileName.IsEmpty() || EqualsIgnoringCase(fileName, "debug") ||
            EqualsIgnoringCase(fileName, "Editor"))
            continue;
        Load(fileName);
    }
}

void WeConfig::LoadStream(const WeString& name, WeFileStream& stream)
{
    Store();
    WeConfigParser parser(name);
    char chunk[16384];
    for (int64_t read; (read = stream.Read(chunk, sizeof chunk)) > 0;)
        parser.Feed(chunk, static_cast<size_t>(read));
    parser.Finish();
}

void WeConfig::LoadDiskFile(const WeString& name, const WeString& path)
{
    WeFileStream stream;
    if (stream.Open(path))
        LoadStream(name, stream);
}

// The package stream is shared: the whole entry is read before anything else opens an asset, and
// the store (whose creation reads the main files) exists before the entry is opened.
void WeConfig::LoadPackageEntry(const WeString& name, const WeString& assetName)
{
    Store();
    WeVirtualFileSystem* files = WeVirtualFileSystem::GetFileSystem();
    if (!files->Open(assetName, WeAssetType::Config))
        return;
    LoadStream(name, files->GetStream());
    files->Close();
}

// ---------------------------------------------------------------------------------------------
// Keys

void WeConfig::ResetValues(const WeString& prefix)
{
    WeHashTable<WeConfigEntry>& entries = Store().entries;
    for (entries.Reset(); !entries.IsEnd(); entries.Next())
    {
        if (!StartsWith(entries.GetKey(), prefix))
            continue;
        WeConfigEntry& entry = entries.GetValue();
        if (!(entry.value == entry.defaultValue))
            config->changedKeys.push_back(entries.GetKey());
        entry.value = entry.defaultValue;
        entry.Reparse();
    }
    NotifyChanges();
}

void WeConfig::KeyOrder::Add(std::string_view key)
{
    using Table = WeHashTable<WeConfigEntry>;
    const uint32_t bucket = Table::Hash(key.data(), static_cast<int32_t>(key.size())) % Table::BucketCount;
    buckets[bucket].push_back({Head(key), key.data(), key.size()});
}

template <typename Visit>
void WeConfig::KeyOrder::ForEachStartingWith(std::string_view prefix, Visit&& visit) const
{
    const size_t headBytes = std::min<size_t>(prefix.size(), 8);
    const uint64_t mask = headBytes == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * headBytes)) - 1;
    const uint64_t head = Head(prefix) & mask;
    for (const std::vector<Key>& bucket : buckets)
        for (const Key& key : bucket)
            if ((key.head & mask) == head && key.length >= prefix.size() &&
                std::memcmp(key.bytes + headBytes, prefix.data() + headBytes, prefix.size() - headBytes) == 0)
                visit(std::string_view(key.bytes, key.length));
}

void WeConfig::GetKeys(const WeString& prefix, WeList<WeString>& list, bool sorted)
{
    std::vector<std::string_view> keys;
    Store().keyOrder.ForEachStartingWith(
        std::string_view(prefix.GetData(), static_cast<size_t>(prefix.GetLength())),
        [&keys](std::string_view key) { keys.push_back(key); });
    if (sorted)
        std::sort(keys.begin(), keys.end());
    list.Clear();
    for (std::string_view key : keys)
        list.PushBack() = WeString(key.data(), static_cast<int32_t>(key.size()));
}

// Listeners hear of changes only once a walk or a load is over, so they may read and create keys
// and open assets of their own.
void WeConfig::NotifyChanges()
{
    std::vector<WeString> changed;
    changed.swap(Store().changedKeys);
    for (const WeString& key : changed)
        NotifyListeners(key);
}

void WeConfig::NotifyListeners(const WeString& key)
{
    for (const WeConfigListener& listener : WeGetConfigListeners())
        if (listener.callback && StartsWith(key, listener.prefix))
            listener.callback(key, listener.argument);
}

// ---------------------------------------------------------------------------------------------

const WeString& WeGetConfigOverrideSuffix()
{
    static const WeString suffix("|tarno");
    return suffix;
}
