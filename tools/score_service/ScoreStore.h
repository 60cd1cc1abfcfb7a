// The score service's SQLite database in WAL mode. One writer thread commits the uploads that
// queue up while the previous commit is synced as one transaction (group commit), so each
// upload's acknowledgement waits for one sync, not for a sync per upload before it; the lists
// are read on pooled connections of their own, beside the writer, through indexes in rank order,
// and each list's answer is kept until a commit stores something new.
#pragma once

#include "ScoreForms.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

enum class ScoreCommit
{
    Stored,
    AlreadyStored, // the same body came before: nothing new is kept
    Failed,
};

class ScoreStore
{
public:
    // ":memory:" keeps the scores in a temporary file removed with the store.
    explicit ScoreStore(std::string path);
    ~ScoreStore();
    ScoreStore(const ScoreStore&) = delete;
    ScoreStore& operator=(const ScoreStore&) = delete;

    // Opens or creates the database and starts the writer; false with Error() set on failure.
    bool Open();
    // Commits what is queued, answers it, and stops the writer; Submit then refuses.
    void Close();
    const std::string& Error() const { return error; }

    // Queues an upload. `done` runs on the writer thread once the group holding it is on disk
    // (or has failed). False, and `done` never runs, when the store is not open.
    bool Submit(ScoreUpload upload, std::function<void(ScoreCommit)> done);
    // The list's answer in the separator grammar of the world lists; false on a database error.
    bool List(const ScoreListRequest& request, std::string& answer);
    // The same, always read from the database rather than kept.
    bool ReadList(const ScoreListRequest& request, std::string& answer);

private:
    struct Pending
    {
        ScoreUpload upload;
        std::function<void(ScoreCommit)> done;
    };
    struct Reader;
    struct Writer;

    void Write();
    void CommitGroup(std::vector<Pending>& group);
    std::unique_ptr<Reader> TakeReader();
    void GiveBack(std::unique_ptr<Reader> reader);

    std::string path;
    std::string temporaryFolder; // of a ":memory:" store
    std::string file;            // the database file opened
    std::string error;
    std::unique_ptr<Writer> writer;

    std::mutex queueMutex;
    std::condition_variable queued;
    std::vector<Pending> queue;
    bool open = false;
    std::thread writing;

    std::mutex readersMutex;
    std::vector<std::unique_ptr<Reader>> readers;

    // The lists' answers: quest, skill, then the levels of each region.
    struct KeptList
    {
        uint64_t commits = 0; // the stored commits it was read after
        bool kept = false;
        std::string answer;
    };
    std::mutex listsMutex;
    uint64_t storedCommits = 0; // commits that stored something
    KeptList lists[17];
};
