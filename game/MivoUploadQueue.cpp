#include "MivoUploadQueue.h"

#include "MivoPlayerFile.h"

#include <cstring>

bool operator==(const MivoPendingUpload& a, const MivoPendingUpload& b)
{
    return a.kind == b.kind && std::memcmp(a.payload.text, b.payload.text, sizeof(a.payload.text)) == 0;
}

void MivoUploadQueue::SetPath(const std::string& filePath)
{
    path = filePath;
    owed.Clear();
    fileOwed = false;
}

bool MivoUploadQueue::ReadRecords(WeList<MivoPendingUpload>& records, bool& fileExists)
{
    records.Clear();
    if (fileOwed)
    {
        // The file is behind: what it should hold is here.
        fileExists = true;
        records = owed;
        return true;
    }
    std::vector<uint8_t> bytes;
    const MivoFileStatus status = MivoReadPlayerFile(path, bytes);
    fileExists = status != MivoFileStatus::Missing;
    if (status == MivoFileStatus::Failed)
    {
        lastError = WeString("Cannot read the upload file ") + path.c_str();
        return false;
    }
    if (status == MivoFileStatus::Missing)
    {
        return true;
    }
    MivoFileReader reader(bytes);
    const int32_t version = reader.ReadInt();
    const bool versionOk = reader.Ok() && version == kFileVersion;
    while (versionOk && reader.Remaining() >= kRecordSize)
    {
        MivoPendingUpload& record = records.PushBack();
        record.kind = reader.ReadInt();
        reader.ReadBytes(record.payload.text, MivoScorePayload::kLength);
        record.payload.text[MivoScorePayload::kLength] = '\0';
    }
    if (versionOk && reader.AtEnd())
    {
        return true;
    }
    // Another version, or a last record cut short: what cannot be sent is kept aside, and the
    // file is rebuilt from the whole records so that it cannot block the queue.
    const std::string copy = MivoKeepDamagedFile(path, bytes);
    if (copy.empty())
    {
        lastError = WeString("The upload file ") + path.c_str() +
                    " is damaged and no copy could be kept; it is left as it is";
        return false;
    }
    lastError =
        WeString("The upload file ") + path.c_str() + " was damaged; a copy was kept as " + copy.c_str();
    return WriteRecords(records);
}

bool MivoUploadQueue::WriteRecords(const WeList<MivoPendingUpload>& records)
{
    MivoFileWriter writer;
    writer.WriteInt(kFileVersion);
    for (const MivoPendingUpload& record : records)
    {
        writer.WriteInt(record.kind);
        writer.WriteBytes(record.payload.text, MivoScorePayload::kLength);
    }
    // Without a folder (no path) nothing is written, and the records stay owed.
    if (path.empty() || !MivoWritePlayerFile(path, writer.Bytes()))
    {
        lastError = WeString("Cannot write the upload file ") + path.c_str();
        owed = records;
        fileOwed = true;
        return false;
    }
    owed.Clear();
    fileOwed = false;
    return true;
}

bool MivoUploadQueue::RemoveAccepted(const MivoPendingUpload& accepted)
{
    WeList<MivoPendingUpload> records;
    bool fileExists = false;
    if (!ReadRecords(records, fileExists) || !records.Remove(accepted))
    {
        return false;
    }
    return WriteRecords(records);
}

bool MivoUploadQueue::Append(int32_t kind, const MivoScorePayload& payload)
{
    WeList<MivoPendingUpload> records;
    bool fileExists = false;
    if (!ReadRecords(records, fileExists))
    {
        return false;
    }
    MivoPendingUpload& record = records.PushBack();
    record.kind = kind;
    record.payload = payload;
    return WriteRecords(records);
}

bool MivoUploadQueue::LoadPending()
{
    ClearPending();
    bool fileExists = false;
    if (!channel || !ReadRecords(pending, fileExists) || pending.IsEmpty())
    {
        pending.Clear();
        return false;
    }
    hasInFlight = false;
    channel->SetUploadSteps([this] { return SendNext(); }, [this] { SavePending(); });
    return SendNext();
}

bool MivoUploadQueue::SendNext()
{
    if (hasInFlight)
    {
        hasInFlight = false;
        RemoveAccepted(inFlight);
    }
    if (!channel || !pending.PopBack(&inFlight))
    {
        return false;
    }
    hasInFlight = true;
    channel->Upload(inFlight.payload, inFlight.kind);
    return true;
}

void MivoUploadQueue::SavePending()
{
    // Every record not accepted is still in the file; nothing needs writing back.
    hasInFlight = false;
    ClearPending();
}

void MivoUploadQueue::ClearPending()
{
    pending.Clear();
}

bool MivoUploadQueue::SaveOwed()
{
    // A copy: the write replaces what is owed.
    return !fileOwed || WriteRecords(WeList<MivoPendingUpload>(owed));
}
