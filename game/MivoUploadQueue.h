// Scores waiting for the score service, kept in "upload.dat" until the service accepted them.
#pragma once

#include "MivoScorePayload.h"
#include "WeList.h"
#include "WeString.h"

#include <cstdint>
#include <functional>
#include <string>

// One queued score: kind 0 a game score, 1 a level score, and its ready-made body.
struct MivoPendingUpload
{
    int32_t kind = -1;
    MivoScorePayload payload;
};

bool operator==(const MivoPendingUpload& a, const MivoPendingUpload& b); // same kind and body

// What the queue needs of the score web client.
class MivoUploadChannel
{
public:
    virtual ~MivoUploadChannel() = default;
    // Posts one body; the kind chooses the service's address.
    virtual void Upload(const MivoScorePayload& payload, int32_t kind) = 0;
    // After each good reply the client asks `next` whether another post was made; when the
    // exchange ends, however it ends, it calls `done` once.
    virtual void SetUploadSteps(std::function<bool()> next, std::function<void()> done) = 0;
};

class MivoUploadQueue
{
public:
    static constexpr int32_t kFileVersion = 1;
    static constexpr std::size_t kRecordSize = 4 + MivoScorePayload::kLength;

    // A new file: nothing is owed to it.
    void SetPath(const std::string& filePath);
    void SetChannel(MivoUploadChannel* uploadChannel) { channel = uploadChannel; }

    // Adds a record at the end of the file, creating it when missing. A file of another
    // version, or one whose last record is cut short, is kept as a copy beside it and
    // rebuilt from its whole records. False (lastError set) when the file cannot be written:
    // what it should hold is then owed to it, kept here and taken for the file by every later
    // step until a write works.
    bool Append(int32_t kind, const MivoScorePayload& payload);
    // Takes the file's records into the queue and posts the most recent one; true when a
    // post was made. The file keeps every record until the service accepts it.
    bool LoadPending();
    // The client's next-request step: the record in flight was accepted and leaves the file;
    // the next one (the most recent left) is posted. False when none is left.
    bool SendNext();
    // The client's done step: what was not accepted stays in the file; the queue is dropped.
    void SavePending();
    // Frees every queued record (the record in flight is not touched).
    void ClearPending();
    // Writes what is owed to the file; true when nothing is owed any more.
    bool SaveOwed();

    int32_t PendingCount() const { return pending.GetCount(); }
    // The record posted and not yet answered, or null.
    const MivoPendingUpload* InFlight() const { return hasInFlight ? &inFlight : nullptr; }
    WeString lastError;

private:
    // Reads the file's whole records; a damaged file is kept aside and rewritten with them (left
    // as it is, and false, when no copy of it can be kept).
    bool ReadRecords(WeList<MivoPendingUpload>& records, bool& fileExists);
    bool WriteRecords(const WeList<MivoPendingUpload>& records);
    // Removes the first record of the file equal to the accepted one.
    bool RemoveAccepted(const MivoPendingUpload& accepted);

    std::string path;
    MivoUploadChannel* channel = nullptr;
    WeList<MivoPendingUpload> pending; // oldest first
    WeList<MivoPendingUpload> owed;    // the file's records while the file cannot be written
    bool fileOwed = false;
    MivoPendingUpload inFlight;
    bool hasInFlight = false;
};
