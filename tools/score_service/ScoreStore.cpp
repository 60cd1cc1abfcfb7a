#include "ScoreStore.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>

namespace
{
constexpr int kBusyMilliseconds = 5000;
constexpr int32_t kMapsPerRegion = 20;
const char kRecordEnd = '\x01';
const char kFieldEnd = '\x02';
const char kBlockEnd = '\x03';

// The hash's unique index makes an upload sent again store nothing; the rank indexes hold each
// list's rows in its order (rowid last, so that the earlier of two equal scores ranks first).
const char kSchema[] =
    "CREATE TABLE IF NOT EXISTS game_scores(name TEXT, mode INT, score INT, difficulty INT, level INT, "
    "body_hash BLOB NOT NULL);"
    "CREATE TABLE IF NOT EXISTS level_scores(name TEXT, map_id INT, bonus INT, moves INT, time INT, "
    "body_hash BLOB NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS game_scores_by_body ON game_scores(body_hash);"
    "CREATE UNIQUE INDEX IF NOT EXISTS level_scores_by_body ON level_scores(body_hash);"
    "CREATE INDEX IF NOT EXISTS game_scores_by_rank ON game_scores(mode, difficulty, score DESC);"
    "CREATE INDEX IF NOT EXISTS level_scores_by_rank ON level_scores(map_id, bonus DESC);";
const char* const kInserts[] = {
    "INSERT INTO game_scores VALUES(?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT(body_hash) DO NOTHING",
    "INSERT INTO level_scores VALUES(?1, ?2, ?3, ?4, ?5, ?6) ON CONFLICT(body_hash) DO NOTHING",
};
const char kQuestList[] = "SELECT name, score, difficulty, level FROM game_scores WHERE mode = 1 AND "
                          "difficulty = ?1 ORDER BY score DESC, rowid LIMIT 10";
const char kSkillList[] = "SELECT name, score, level FROM game_scores WHERE mode = 2 AND difficulty = 0 "
                          "ORDER BY score DESC, rowid LIMIT 10";
const char kLevelList[] = "SELECT name, bonus, moves, time FROM level_scores WHERE map_id = ?1 "
                          "ORDER BY bonus DESC, rowid LIMIT 10";

using Database = std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)>;

Database OpenDatabase(const std::string& file)
{
    sqlite3* handle = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const int result = sqlite3_open_v2(file.c_str(), &handle, flags, nullptr);
    Database database(handle, &sqlite3_close_v2);
    if (result != SQLITE_OK)
        database.reset();
    else
        sqlite3_busy_timeout(handle, kBusyMilliseconds);
    return database;
}

// A statement prepared once for the life of its connection.
class Statement
{
public:
    Statement(sqlite3* database, const char* sql)
    {
        sqlite3_prepare_v3(database, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
    }
    ~Statement() { sqlite3_finalize(statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return statement != nullptr; }
    void Bind(int index, int32_t value) { sqlite3_bind_int(statement, index, value); }
    void Bind(int index, const std::string& text)
    {
        sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    }
    void Bind(int index, const std::array<unsigned char, 32>& bytes)
    {
        sqlite3_bind_blob(statement, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_STATIC);
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return sqlite3_step(statement); }
    // Ready for the next run; the bound values go.
    void Reset()
    {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
    int32_t Int(int column) const { return sqlite3_column_int(statement, column); }
    void AppendText(int column, std::string& out) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        out.append(text ? text : "", static_cast<size_t>(sqlite3_column_bytes(statement, column)));
    }

private:
    sqlite3_stmt* statement = nullptr;
};

bool Execute(sqlite3* database, const char* sql)
{
    return sqlite3_exec(database, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// True when the database now keeps a write-ahead log: one that cannot keeps its old journal.
bool UseWal(sqlite3* database)
{
    std::string mode;
    const auto keep = [](void* out, int, char** values, char**)
    {
        *static_cast<std::string*>(out) = values[0] ? values[0] : "";
        return 0;
    };
    return sqlite3_exec(database, "PRAGMA journal_mode = WAL", keep, &mode, nullptr) == SQLITE_OK &&
           mode == "wal";
}

// The rows of one run of a list statement, each as a record of `columns` fields (text first);
// the row count, or -1 on a database error.
int32_t AppendRecords(Statement& list, int columns, std::string& answer)
{
    int32_t rows = 0;
    int step = SQLITE_ROW;
    while ((step = list.Step()) == SQLITE_ROW)
    {
        answer += kRecordEnd;
        list.AppendText(0, answer);
        for (int column = 1; column < columns; ++column)
            answer += kFieldEnd + std::to_string(list.Int(column));
        ++rows;
    }
    list.Reset();
    return step == SQLITE_DONE ? rows : -1;
}
} // namespace

struct ScoreStore::Reader
{
    explicit Reader(Database connection)
        : database(std::move(connection)), quest(database.get(), kQuestList),
          skill(database.get(), kSkillList), level(database.get(), kLevelList)
    {
    }
    bool Ok() const { return quest.Ok() && skill.Ok() && level.Ok(); }

    Database database; // closed after the statements
    Statement quest;
    Statement skill;
    Statement level;
};

struct ScoreStore::Writer
{
    explicit Writer(Database connection)
        : database(std::move(connection)), inserts{{database.get(), kInserts[0]},
                                                   {database.get(), kInserts[1]}}
    {
    }

    Database database;
    Statement inserts[2]; // by table
};

ScoreStore::ScoreStore(std::string databasePath) : path(std::move(databasePath)) {}

ScoreStore::~ScoreStore()
{
    Close();
    std::lock_guard lock(readersMutex);
    readers.clear();
    if (!temporaryFolder.empty())
        std::filesystem::remove_all(temporaryFolder);
}

bool ScoreStore::Open()
{
    if (writing.joinable())
        return true;
    if (path == ":memory:" && temporaryFolder.empty())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "score_service_XXXXXX").string();
        if (!mkdtemp(pattern.data()))
        {
            error = "cannot make a temporary folder";
            return false;
        }
        temporaryFolder = pattern;
    }
    file = temporaryFolder.empty() ? path : temporaryFolder + "/scores.sqlite";
    Database database = OpenDatabase(file);
    // A commit in WAL mode with full sync is on disk when it returns.
    if (!database || !UseWal(database.get()) || !Execute(database.get(), "PRAGMA synchronous = FULL") ||
        !Execute(database.get(), kSchema))
    {
        error = "cannot open " + path + (database ? std::string(": ") + sqlite3_errmsg(database.get()) : "");
        return false;
    }
    writer = std::make_unique<Writer>(std::move(database));
    if (!writer->inserts[0].Ok() || !writer->inserts[1].Ok())
    {
        error = std::string("cannot prepare the inserts: ") + sqlite3_errmsg(writer->database.get());
        writer.reset();
        return false;
    }
    std::lock_guard lock(queueMutex);
    open = true;
    writing = std::thread(&ScoreStore::Write, this);
    return true;
}

void ScoreStore::Close()
{
    {
        std::lock_guard lock(queueMutex);
        open = false;
    }
    queued.notify_all();
    if (writing.joinable())
        writing.join();
    writer.reset();
}

bool ScoreStore::Submit(ScoreUpload upload, std::function<void(ScoreCommit)> done)
{
    {
        std::lock_guard lock(queueMutex);
        if (!open)
            return false;
        queue.push_back({std::move(upload), std::move(done)});
    }
    queued.notify_one();
    return true;
}

void ScoreStore::Write()
{
    std::unique_lock lock(queueMutex);
    for (;;)
    {
        queued.wait(lock, [this] { return !queue.empty() || !open; });
        if (queue.empty())
            return;
        std::vector<Pending> group;
        group.swap(queue);
        lock.unlock();
        CommitGroup(group);
        lock.lock();
    }
}

void ScoreStore::CommitGroup(std::vector<Pending>& group)
{
    sqlite3* database = writer->database.get();
    std::vector<ScoreCommit> outcomes(group.size(), ScoreCommit::Failed);
    bool ok = Execute(database, "BEGIN IMMEDIATE");
    for (size_t i = 0; ok && i < group.size(); ++i)
    {
        const ScoreUpload& upload = group[i].upload;
        Statement& insert = writer->inserts[upload.table == ScoreTable::Game ? 0 : 1];
        insert.Bind(1, upload.name);
        for (int value = 0; value < 4; ++value)
            insert.Bind(value + 2, upload.values[value]);
        insert.Bind(6, upload.hash);
        ok = insert.Step() == SQLITE_DONE;
        outcomes[i] = sqlite3_changes(database) > 0 ? ScoreCommit::Stored : ScoreCommit::AlreadyStored;
        insert.Reset();
    }
    if (!(ok && Execute(database, "COMMIT")))
    {
        Execute(database, "ROLLBACK");
        outcomes.assign(group.size(), ScoreCommit::Failed);
    }
    // Before any answer leaves: a client told "OK" then finds its score in the lists.
    if (std::find(outcomes.begin(), outcomes.end(), ScoreCommit::Stored) != outcomes.end())
    {
        std::lock_guard lock(listsMutex);
        ++storedCommits;
    }
    for (size_t i = 0; i < group.size(); ++i)
        group[i].done(outcomes[i]);
}

// A list read before a commit stored something is kept under the count before it, which the
// commit then moves on: a kept answer is never older than the last commit that preceded its read.
bool ScoreStore::List(const ScoreListRequest& request, std::string& answer)
{
    const size_t slot = static_cast<size_t>(request.type == 3 ? 1 + request.region : request.type - 1);
    if (slot >= std::size(lists))
        return false;
    KeptList& list = lists[slot];
    uint64_t commits = 0;
    {
        std::lock_guard lock(listsMutex);
        if (list.kept && list.commits == storedCommits)
        {
            answer = list.answer;
            return true;
        }
        commits = storedCommits;
    }
    if (!ReadList(request, answer))
        return false;
    std::lock_guard lock(listsMutex);
    if (!list.kept || list.commits < commits)
        list = {commits, true, answer};
    return true;
}

bool ScoreStore::ReadList(const ScoreListRequest& request, std::string& answer)
{
    std::unique_ptr<Reader> reader = TakeReader();
    if (!reader)
        return false;
    answer = "OK";
    bool ok = true;
    if (request.type == 1)
    {
        for (int32_t difficulty = 1; ok && difficulty <= 3; ++difficulty)
        {
            reader->quest.Bind(1, difficulty);
            ok = AppendRecords(reader->quest, 4, answer) >= 0;
        }
    }
    else if (request.type == 2)
        ok = AppendRecords(reader->skill, 3, answer) >= 0;
    else
    {
        // A block per map with scores: its number within the region (0-based), then its records.
        for (int32_t number = 0; ok && number < kMapsPerRegion; ++number)
        {
            const size_t blockStart = answer.size();
            answer += kBlockEnd + std::to_string(number);
            reader->level.Bind(1, request.region * 1000 + number + 1);
            const int32_t rows = AppendRecords(reader->level, 4, answer);
            ok = rows >= 0;
            if (rows <= 0)
                answer.resize(blockStart);
        }
    }
    GiveBack(std::move(reader));
    return ok;
}

std::unique_ptr<ScoreStore::Reader> ScoreStore::TakeReader()
{
    {
        std::lock_guard lock(readersMutex);
        if (!readers.empty())
        {
            std::unique_ptr<Reader> reader = std::move(readers.back());
            readers.pop_back();
            return reader;
        }
    }
    Database database = OpenDatabase(file);
    if (!database || !Execute(database.get(), "PRAGMA query_only = 1"))
        return nullptr;
    auto reader = std::make_unique<Reader>(std::move(database));
    return reader->Ok() ? std::move(reader) : nullptr;
}

void ScoreStore::GiveBack(std::unique_ptr<Reader> reader)
{
    std::lock_guard lock(readersMutex);
    readers.push_back(std::move(reader));
}
