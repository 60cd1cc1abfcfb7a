#include "MivoUserData.h"

#include "MivoPlayerFile.h"
#include "MivoScoreClient.h"
#include "WeConfig.h"
#include "WeRandom.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>

MivoUserData userData;

int32_t MivoScoreSum(std::initializer_list<int64_t> terms)
{
    int64_t sum = 0;
    for (const int64_t term : terms)
    {
        sum += term;
    }
    return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}

namespace
{
constexpr int32_t kMapsPerRegion = 20;
constexpr int32_t kRemappedMaps = 20;
// users.dat: a profile without its name takes this many bytes, its name at least two more.
constexpr std::size_t kProfileBytes = 11280 + 2;

// The map id configured for the n-th (1-based) remapped first map.
int32_t RemapMapId(int32_t n)
{
    char key[32];
    std::snprintf(key, sizeof(key), "Mivo.Remap.Map1%03d", static_cast<int>(n));
    return WeConfig::GetInt(key, 0);
}

// The numbers 1..20 of one region, drawn without repeats: in order for the first region, at
// random for the others.
class MapPool
{
public:
    MapPool()
    {
        for (int32_t i = 0; i < kMapsPerRegion; ++i)
        {
            numbers[i] = i + 1;
        }
    }

    int32_t Draw(bool inOrder)
    {
        const int32_t index = inOrder ? 0 : WeRand() * remaining / (WE_RAND_MAX + 1);
        const int32_t number = numbers[index];
        std::copy(numbers + index + 1, numbers + remaining, numbers + index);
        --remaining;
        return number;
    }

private:
    int32_t numbers[kMapsPerRegion];
    int32_t remaining = kMapsPerRegion;
};

MivoLevelResult FreshResult(int32_t mapId)
{
    MivoLevelResult result;
    result.mapId = mapId;
    return result;
}

// A float truncated toward zero, clamped to what an int32 holds (NaN gives 0).
int32_t Truncate(double value)
{
    if (!(value == value))
    {
        return 0;
    }
    return static_cast<int32_t>(std::clamp(std::trunc(value), -2147483648.0, 2147483647.0));
}

int32_t MovesBonus(int32_t moves)
{
    return moves > 0 ? Truncate((10.0 / moves) * 1000.0) : 0;
}

// The layouts of users.dat, for reading (a reader and a record) and for writing (a writer
// and a const record) alike.
template <typename File, typename Result> void TransferResult(File& file, Result& result)
{
    file.Field(result.mapId);
    file.Field(result.bonus);
    file.Field(result.moves);
    file.Field(result.time);
}

template <typename File, typename Quest> void TransferQuest(File& file, Quest& quest)
{
    file.Field(quest.score);
    file.Field(quest.difficulty);
    file.Field(quest.teleportsDone);
    for (auto& slot : quest.regions)
    {
        for (auto& city : slot)
        {
            file.Field(city.key);
            file.Field(city.completed);
            file.Field(city.open);
            file.Field(city.orderNumber);
            for (auto& map : city.maps)
            {
                TransferResult(file, map);
            }
        }
    }
    for (auto& teleport : quest.teleports)
    {
        file.Field(teleport.targetRegion);
        file.Field(teleport.done);
        file.Field(teleport.mapId);
        file.Field(teleport.bonus);
        file.Field(teleport.moves);
        file.Field(teleport.time);
    }
}

template <typename File, typename Skill> void TransferSkill(File& file, Skill& skill)
{
    file.Field(skill.score);
    file.Field(skill.lives);
    file.Field(skill.level);
    file.Field(skill.bonusLevelsDone);
    for (auto& stock : skill.cubes)
    {
        file.Field(stock);
    }
    for (auto& entry : skill.ladder)
    {
        TransferResult(file, entry);
    }
    for (auto& entry : skill.bonusLevels)
    {
        TransferResult(file, entry);
    }
}

// A profile after its name.
template <typename File, typename User> void TransferProfileBody(File& file, User& user)
{
    file.Fields(user.tutorialsSeen, sizeof(user.tutorialsSeen));
    file.Fields(user.mapsPlayed, sizeof(user.mapsPlayed));
    TransferQuest(file, user.quest);
    TransferSkill(file, user.skill);
}

template <typename File, typename User> void TransferProfile(File& file, User& user)
{
    file.Field(user.name);
    TransferProfileBody(file, user);
}

void ResetQuest(MivoQuestProgress& quest)
{
    quest.score = 0;
    quest.difficulty = 0;
    quest.teleportsDone = 0;
    MivoUserData::BuildQuestProgress(quest);
}

bool InRange(int32_t value, int32_t count)
{
    return value >= 0 && value < count;
}

bool Within(int32_t value, int32_t low, int32_t high)
{
    return value >= low && value <= high;
}

// Lives a skill game can reach: three at the start, one per bonus level and one per three cubes
// of the kind that gives a life, of which each ladder level awards one.
constexpr int32_t kMaxLives = 3 + kMivoTeleportCount + kMivoLadderLength / 3;

bool IsCityKey(int32_t key)
{
    return key == -1 || (InRange(key / 1000, kMivoRegionCount) && InRange(key % 1000, kMivoCitiesPerRegion));
}

// The first counter of the profile outside the range the game can give it, or null.
const char* CounterOutOfRange(const MivoUser& user)
{
    const MivoQuestProgress& quest = user.quest;
    const MivoSkillProgress& skill = user.skill;
    if (quest.score < 0)
        return "the quest score";
    if (!Within(quest.difficulty, 0, 3))
        return "the quest difficulty";
    if (!Within(quest.teleportsDone, 0, kMivoTeleportCount))
        return "the teleports done";
    for (const auto& slot : quest.regions)
    {
        for (const MivoQuestCity& city : slot)
        {
            if (!IsCityKey(city.key) || !InRange(city.orderNumber, kMivoCitiesPerRegion))
                return "a quest city";
            if (std::any_of(std::begin(city.maps), std::end(city.maps),
                            [](const MivoLevelResult& map) { return map.moves < 0; }))
                return "the moves of a quest map";
        }
    }
    for (const MivoQuestTeleport& teleport : quest.teleports)
    {
        if (!Within(teleport.targetRegion, -1, kMivoRegionCount - 1) || teleport.moves < 0)
            return "a quest teleport";
    }
    if (skill.score < 0)
        return "the skill score";
    if (!Within(skill.lives, 0, kMaxLives))
        return "the lives";
    if (!InRange(skill.level, kMivoLadderLength))
        return "the skill level";
    if (!Within(skill.bonusLevelsDone, 0, kMivoTeleportCount))
        return "the bonus levels done";
    if (std::any_of(std::begin(skill.cubes), std::end(skill.cubes),
                    [](int32_t stock) { return !Within(stock, 0, kMivoLadderLength); }))
        return "a bonus cube stock";
    const auto negativeMoves = [](const MivoLevelResult& entry) { return entry.moves < 0; };
    if (std::any_of(std::begin(skill.ladder), std::end(skill.ladder), negativeMoves) ||
        std::any_of(std::begin(skill.bonusLevels), std::end(skill.bonusLevels), negativeMoves))
        return "the moves of a skill level";
    return nullptr;
}

bool TeleportTargets(const MivoQuestProgress& quest, int32_t regionKey)
{
    return std::any_of(std::begin(quest.teleports), std::end(quest.teleports),
                       [regionKey](const MivoQuestTeleport& teleport)
                       { return teleport.targetRegion == regionKey; });
}
} // namespace

void MivoUser::Reset()
{
    name = "";
    std::fill(std::begin(tutorialsSeen), std::end(tutorialsSeen), 0);
    std::fill(std::begin(mapsPlayed), std::end(mapsPlayed), 0);
    MivoUserData::ResetSkillProgress(skill);
    ResetQuest(quest);
}

MivoUserData::MivoUserData()
{
    lastLevelResult.mapId = -1;
    uploads.SetChannel(&scoreClient);
}

void MivoUserData::SetFolder(const std::string& folder)
{
    // No folder gives no paths: never files in the root.
    const auto inFolder = [&folder](const char* name) { return folder.empty() ? folder : folder + name; };
    usersPath = inFolder("/users.dat");
    scoresPath = inFolder("/hiscores.dat");
    uploads.SetPath(inFolder("/upload.dat"));
    // What was owed to the files of another folder is not written into these.
    usersOwed = scoresOwed = false;
}

void MivoUserData::BuildQuestProgress(MivoQuestProgress& quest)
{
    for (int32_t r = 0; r < kMivoRegionCount; ++r)
    {
        MapPool pool;
        for (int32_t c = 0; c < kMivoCitiesPerRegion; ++c)
        {
            MivoQuestCity& city = quest.regions[r][c];
            city = MivoQuestCity();
            city.orderNumber = c;
            for (MivoLevelResult& map : city.maps)
            {
                map = FreshResult(1000 * (r + 1) + pool.Draw(r == 0));
            }
        }
    }
    for (int32_t c = 0; c < kMivoCitiesPerRegion; ++c)
    {
        for (int32_t m = 0; m < kMivoMapsPerCity; ++m)
        {
            quest.regions[0][c].maps[m].mapId = RemapMapId(kMivoMapsPerCity * c + m + 1);
        }
    }
    for (int32_t t = 0; t < kMivoTeleportCount; ++t)
    {
        quest.teleports[t] = MivoQuestTeleport();
        quest.teleports[t].mapId = kMivoFirstBonusMap + t;
    }
}

void MivoUserData::ResetSkillProgress(MivoSkillProgress& skill)
{
    skill.level = 0;
    skill.lives = 3;
    skill.score = 0;
    std::fill(std::begin(skill.cubes), std::end(skill.cubes), 0);
    skill.bonusLevelsDone = 0;
    BuildSkillProgress(skill);
}

void MivoUserData::BuildSkillProgress(MivoSkillProgress& skill)
{
    for (int32_t r = 0; r < kMivoRegionCount; ++r)
    {
        MapPool pool;
        for (int32_t n = 0; n < kMapsPerRegion; ++n)
        {
            skill.ladder[kMapsPerRegion * r + n] = FreshResult(1000 * (r + 1) + pool.Draw(r == 0));
        }
    }
    for (int32_t i = 0; i < kRemappedMaps; ++i)
    {
        skill.ladder[i].mapId = RemapMapId(i + 1);
    }
    for (int32_t t = 0; t < kMivoTeleportCount; ++t)
    {
        skill.bonusLevels[t] = FreshResult(kMivoFirstBonusMap + t);
    }
}

bool MivoUserData::LoadUsers()
{
    lastError = "";
    lostProfiles.clear();
    unnamedProfilesLost = false;
    // Without a folder there is no file, and the profiles of the run are all there are.
    if (usersPath.empty())
    {
        return true;
    }
    if (usersOwed)
    {
        // The profiles in memory are newer than the file: they stay, and this is another try.
        return SaveUsers() || usersFile != MivoUsersFile::Unreadable;
    }
    std::vector<uint8_t> bytes;
    const MivoFileStatus status = MivoReadPlayerFile(usersPath, bytes);
    if (status == MivoFileStatus::Failed)
    {
        // The profiles of this run stay as they are, and the file is never written over.
        usersFile = MivoUsersFile::Unreadable;
        lastError = WeString("Cannot read the player file ") + usersPath.c_str() +
                    "; it is left as it is and nothing is saved over it";
        return false;
    }
    users.clear();
    currentUser = nullptr;
    usersFile = MivoUsersFile::Loaded;
    MivoFileReader reader(bytes);
    const int32_t version = status == MivoFileStatus::Read ? reader.ReadInt() : 0;
    if (status == MivoFileStatus::Missing || (reader.Ok() && version < kUsersFileVersion))
    {
        return true;
    }
    WeString currentName, why;
    const bool clean = ReadProfiles(reader, currentName, why);
    currentUser = FindUser(currentName);
    if (!currentUser && !users.empty())
    {
        currentUser = users.front().get();
    }
    return clean || RejectUsersFile(bytes, why);
}

bool MivoUserData::ReadProfiles(MivoFileReader& reader, WeString& currentName, WeString& why)
{
    const auto lose = [this](const WeString& name)
    {
        if (name.IsEmpty())
            unnamedProfilesLost = true;
        else
            lostProfiles.push_back(name);
    };
    // A damaged count costs no profile: a negative one reads as many as the file can hold, and a
    // count beyond the file ends at the current name, the string the file ends with.
    const std::size_t fit = reader.Remaining() >= 4 ? (reader.Remaining() - 4) / kProfileBytes : 0;
    const int32_t declared = reader.ReadInt();
    const bool countOk = reader.Ok() && declared >= 0 && static_cast<std::size_t>(declared) <= fit;
    const int32_t count = declared >= 0 ? declared : static_cast<int32_t>(fit);
    why = countOk ? "" : "the profile count out of range";
    bool nameRead = false;
    for (int32_t i = 0; i < count; ++i)
    {
        auto user = std::make_unique<MivoUser>();
        user->name = reader.ReadString();
        nameRead = !countOk && reader.Ok() && reader.AtEnd();
        if (nameRead)
        {
            currentName = user->name;
            break;
        }
        TransferProfileBody(reader, *user);
        // A name no player could have typed means a damaged length: where this profile ends,
        // and so where the next begins, is unknown, and nothing after it is read.
        if (!reader.Ok() || !IsTypableName(user->name))
        {
            lose(reader.Ok() || !IsTypableName(user->name) ? WeString() : user->name);
            unnamedProfilesLost = unnamedProfilesLost || i + 1 < declared;
            why = "cut short";
            return false;
        }
        if (const char* outOfRange = CounterOutOfRange(*user))
        {
            lose(user->name);
            why = WeString(outOfRange) + " of a profile out of range";
            continue;
        }
        users.push_back(std::move(user));
    }
    if (!nameRead)
    {
        currentName = reader.ReadString();
    }
    if (!reader.Ok() || !reader.AtEnd())
    {
        // Bytes after the current name may be profiles a damaged count left out.
        unnamedProfilesLost = unnamedProfilesLost || reader.Ok();
        why = reader.Ok() ? "bytes after its end" : "cut short";
        currentName = "";
        return false;
    }
    return why.IsEmpty();
}

bool MivoUserData::RejectUsersFile(const std::vector<uint8_t>& bytes, const WeString& why)
{
    const std::string copy = MivoKeepDamagedFile(usersPath, bytes);
    lastError = WeString("The player file ") + usersPath.c_str() + " is damaged (" + why + "); ";
    if (copy.empty())
    {
        // Without a copy the file itself is the only one left: it stays as it is.
        usersFile = MivoUsersFile::Unreadable;
        lastError += "no copy could be kept, so it is left as it is and nothing is saved over it";
    }
    else
    {
        usersFile = MivoUsersFile::Damaged;
        lastError += WeString("a copy was kept as ") + copy.c_str();
    }
    if (!lostProfiles.empty())
    {
        lastError += "; lost: " + LostProfileNames();
    }
    if (unnamedProfilesLost)
    {
        lastError += "; profiles that could not be named were lost";
    }
    return false;
}

WeString MivoUserData::LostProfileNames() const
{
    WeString names;
    for (const WeString& name : lostProfiles)
    {
        names += (names.IsEmpty() ? "" : ", ") + name;
    }
    return names;
}

bool MivoUserData::SaveUsers()
{
    // Screens left while the engine shuts down write nothing.
    if (MivoEngineHasShutDown())
    {
        return true;
    }
    // Until the file holds them, the profiles in memory are the only copy.
    usersOwed = true;
    if (usersPath.empty())
    {
        lastError = "No player folder: the profiles are not saved";
        return false;
    }
    if (usersFile == MivoUsersFile::Unreadable)
    {
        lastError = WeString("The player file ") + usersPath.c_str() +
                    " could not be loaded; nothing is saved over it";
        return false;
    }
    MivoFileWriter writer;
    writer.WriteInt(kUsersFileVersion);
    writer.WriteInt(static_cast<int32_t>(users.size()));
    for (const auto& user : users)
    {
        TransferProfile(writer, *user);
    }
    writer.WriteString(currentUser ? currentUser->name : WeString());
    if (!MivoWritePlayerFile(usersPath, writer.Bytes()))
    {
        lastError = WeString("Cannot write the player file ") + usersPath.c_str();
        return false;
    }
    usersOwed = false;
    usersFile = MivoUsersFile::Loaded;
    return true;
}

MivoUser* MivoUserData::FindUser(const WeString& name)
{
    for (const auto& user : users)
    {
        if (user->name == name)
        {
            return user.get();
        }
    }
    return nullptr;
}

bool MivoUserData::IsTypableName(const WeString& name)
{
    if (name.GetLength() > kMaxUserNameBytes)
    {
        return false;
    }
    for (int32_t i = 0; i < name.GetLength(); ++i)
    {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte < 32 || byte == 127)
        {
            return false;
        }
    }
    return true;
}

bool MivoUserData::CreateUser(const WeString& name)
{
    // The name goes into every player file and the score form: nothing a player could not have
    // typed gets that far.
    if (!IsTypableName(name) || FindUser(name))
    {
        return false;
    }
    auto user = std::make_unique<MivoUser>();
    user->Reset();
    user->name = name;
    currentUser = user.get();
    users.push_back(std::move(user));
    return true;
}

void MivoUserData::DeleteUser(const WeString& name)
{
    const auto found =
        std::find_if(users.begin(), users.end(),
                     [&](const std::unique_ptr<MivoUser>& user) { return user->name == name; });
    if (found == users.end())
    {
        return;
    }
    const bool wasCurrent = found->get() == currentUser;
    users.erase(found);
    if (wasCurrent)
    {
        currentUser = users.empty() ? nullptr : users.front().get();
    }
}

bool MivoUserData::SelectUser(const WeString& name)
{
    MivoUser* user = FindUser(name);
    if (!user)
    {
        return false;
    }
    currentUser = user;
    return true;
}

MivoUser* MivoUserData::GetUser(int32_t index) const
{
    if (index < 0 || index >= UserCount())
    {
        return nullptr;
    }
    return users[static_cast<std::size_t>(index)].get();
}

int32_t MivoUserData::CurrentUserIndex() const
{
    for (std::size_t i = 0; i < users.size(); ++i)
    {
        if (users[i].get() == currentUser)
        {
            return static_cast<int32_t>(i);
        }
    }
    return 0;
}

void MivoUserData::FreeAll()
{
    ClearPendingUploads();
    users.clear();
    currentUser = nullptr;
    // Profiles that are gone are owed to no file: a later load reads it again.
    usersOwed = false;
}

bool MivoUserData::LoadScores()
{
    if (!SaveOwedScores())
    {
        // The owed tables are newer than the file: they come back as they are.
        scores = owedScores;
        return true;
    }
    const bool ok = scores.Load(scoresPath);
    lastError = scores.lastError;
    return ok;
}

bool MivoUserData::SaveScores()
{
    const bool ok = !scoresPath.empty() && scores.Save(scoresPath);
    lastError =
        scoresPath.empty() ? WeString("No player folder: the scores are not saved") : scores.lastError;
    scoresOwed = !ok;
    if (!ok)
    {
        owedScores = scores;
    }
    return ok;
}

bool MivoUserData::SaveOwedScores()
{
    if (!scoresOwed)
    {
        return true;
    }
    if (scoresPath.empty() || !owedScores.Save(scoresPath))
    {
        return false;
    }
    scoresOwed = false;
    return true;
}

bool MivoUserData::AddGameScore(MivoScore score)
{
    LoadScores();
    if (!scores.InsertGameScore(score))
    {
        return false;
    }
    AppendUpload(0, MivoMakeScorePayload(score));
    return SaveScores();
}

bool MivoUserData::AddLevelScore(MivoLevelScore levelScore)
{
    LoadScores();
    if (!scores.InsertLevelScore(levelScore))
    {
        return false;
    }
    AppendUpload(1, MivoMakeLevelScorePayload(levelScore));
    return SaveScores();
}

int32_t MivoUserData::TopScore(int32_t mode, int32_t difficulty) const
{
    return scores.TopScore(mode, difficulty);
}

void MivoUserData::FillQuestScores(const WeString& reply)
{
    scores.FillQuestScores(reply);
}

void MivoUserData::FillSkillScores(const WeString& reply)
{
    scores.FillSkillScores(reply);
}

void MivoUserData::FillLevelScores(const WeString& reply, int32_t region)
{
    scores.FillLevelScores(reply, region);
}

bool MivoUserData::AppendUpload(int32_t kind, const MivoScorePayload& payload)
{
    const bool ok = uploads.Append(kind, payload);
    lastError = uploads.lastError;
    return ok;
}

bool MivoUserData::LoadPendingUploads()
{
    return uploads.LoadPending();
}

bool MivoUserData::SendNextUpload()
{
    return uploads.SendNext();
}

void MivoUserData::SavePendingUploads()
{
    uploads.SavePending();
}

void MivoUserData::ClearPendingUploads()
{
    uploads.ClearPending();
}

bool MivoUserData::SaveWhatIsOwed()
{
    const bool profiles = !usersOwed || SaveUsers();
    const bool tables = SaveOwedScores();
    const bool queue = uploads.SaveOwed();
    return profiles && tables && queue;
}

void MivoUserData::ResetLevelCounters()
{
    noLifeLost = levelRunning = outOfLives = gameComplete = false;
    levelScore = moves = 0;
    timeBonus = movesBonus = levelBonus = totalBonus = 0;
    awardedCube = 0;
    cubeSum = cubeBonus = livesBonus = 0;
}

void MivoUserData::BeginLevel(bool lifeKept)
{
    noLifeLost = lifeKept;
    levelScore = timeBonus = movesBonus = levelBonus = totalBonus = 0;
    awardedCube = cubeSum = 0;
    levelRunning = true;
    gameComplete = false;
    if (gameMode == MivoModeQuest)
    {
        bonusIndex = -1;
    }
    if (gameMode != MivoModeSkill || !currentUser)
    {
        return;
    }
    MivoSkillProgress& skill = currentUser->skill;
    if (bonusIndex != -1)
    {
        ++skill.bonusLevelsDone;
        bonusIndex = -1;
    }
    if (!lifeKept && --skill.lives <= 0)
    {
        outOfLives = true;
        EndGame();
    }
}

void MivoUserData::FinishLevel(int32_t mapId, float timeLimit, float elapsed)
{
    levelRunning = outOfLives = gameComplete = false;
    if (!currentUser)
    {
        return;
    }
    const int32_t played = MivoScoreTables::LevelTableIndex(mapId);
    if (played >= 0)
    {
        currentUser->mapsPlayed[played] = 1;
    }
    timeBonus = movesBonus = levelBonus = totalBonus = 0;
    if (gameMode == MivoModeSkill)
    {
        FinishSkillLevel(*currentUser, timeLimit, elapsed);
    }
    else if (gameMode == MivoModeQuest)
    {
        FinishQuestLevel(*currentUser, elapsed);
    }
}

void MivoUserData::FinishSkillLevel(MivoUser& user, float timeLimit, float elapsed)
{
    MivoSkillProgress& skill = user.skill;
    if (bonusIndex != -1)
    {
        ++skill.lives;
        ++skill.bonusLevelsDone;
        bonusIndex = -1;
        return;
    }
    timeBonus = Truncate(std::trunc(static_cast<double>(timeLimit) - elapsed) * 10.0);
    movesBonus = MovesBonus(moves);
    awardedCube = 1 + WeRand() * kMivoCubeKinds / (WE_RAND_MAX + 1);
    ++skill.cubes[awardedCube - 1];
    // The cube used in the level cuts its bonuses.
    static const double kTimeCut[kMivoCubeKinds + 1] = {1, 0.8, 0.6, 0.3, 0.5, 0.3, 1, 0, 0, 0};
    static const double kMovesCut[kMivoCubeKinds + 1] = {1, 1, 1, 1, 0.5, 0.5, 1, 0, 1, 0};
    if (InRange(usedCube, kMivoCubeKinds + 1))
    {
        timeBonus = Truncate(timeBonus * kTimeCut[usedCube]);
        movesBonus = Truncate(movesBonus * kMovesCut[usedCube]);
        levelScore = usedCube == 9 ? 0 : levelScore;
    }
    usedCube = 0;
    totalBonus = MivoScoreSum({timeBonus, movesBonus});
    skill.score = MivoScoreSum({skill.score, levelScore, totalBonus});
    if (!InRange(skill.level, kMivoLadderLength))
    {
        return;
    }
    MivoLevelResult& entry = skill.ladder[skill.level];
    entry = {entry.mapId, totalBonus, moves, elapsed};
    lastLevelResult = entry;
    if (++skill.level >= kMivoLadderLength)
    {
        gameComplete = true;
        EndGame();
    }
}

void MivoUserData::FinishQuestLevel(MivoUser& user, float elapsed)
{
    const int32_t difficulty = user.quest.difficulty;
    if (difficulty != 1)
    {
        const int32_t seconds = Truncate(elapsed);
        timeBonus = seconds > 0 ? Truncate((100.0 / seconds) * 1000.0) : 0;
        timeBonus = difficulty == 2 ? timeBonus / 2 : timeBonus;
        movesBonus = MovesBonus(moves);
    }
    levelBonus = (CurrentLevelNumber(MivoModeQuest) + 1) * 100;
    levelBonus *= bonusIndex != -1 ? 10 : 1;
    levelBonus *= difficulty == 2 ? 2 : difficulty == 3 ? 3 : 1;
    totalBonus = MivoScoreSum({levelBonus, movesBonus, timeBonus});
    if (bonusIndex != -1)
    {
        FinishTeleportLevel(user);
        return;
    }
    MivoQuestCity* city = CurrentCity();
    if (!city || !InRange(mapInCity, kMivoMapsPerCity))
    {
        return;
    }
    cityRunPoints = MivoScoreSum({cityRunPoints, levelScore, totalBonus});
    MivoLevelResult& map = city->maps[mapInCity];
    map = {map.mapId, totalBonus, moves, elapsed};
    lastLevelResult = map;
    if (++mapInCity >= kMivoMapsPerCity)
    {
        FinishCity(user, *city);
    }
    SaveUsers();
}

void MivoUserData::FinishTeleportLevel(MivoUser& user)
{
    MivoQuestProgress& quest = user.quest;
    if (InRange(bonusIndex, kMivoTeleportCount))
    {
        ++quest.teleportsDone;
        MivoQuestTeleport& teleport = quest.teleports[bonusIndex];
        teleport.done = 1;
        int32_t target = teleport.targetRegion;
        for (int32_t s = 0; s <= regionSlot && s < kMivoRegionCount; ++s)
        {
            if (quest.regions[s][0].key != -1 && quest.regions[s][0].key / 1000 == target)
            {
                target = (target + 1) % kMivoRegionCount;
                break;
            }
        }
        ChooseRegion(target);
        gameComplete = quest.teleportsDone >= kMivoTeleportCount;
        if (gameComplete)
        {
            EndGame();
        }
    }
    bonusIndex = -1;
    SaveUsers();
}

void MivoUserData::FinishCity(MivoUser& user, MivoQuestCity& city)
{
    MivoQuestProgress& quest = user.quest;
    quest.score = MivoScoreSum({quest.score, cityRunPoints});
    // Counted in the quest score from now on: the display adds the run's points to it.
    cityRunPoints = 0;
    city.completed = city.open = 1;
    MivoQuestCity* slot = quest.regions[regionSlot];
    slot[(cityIndex + kMivoCitiesPerRegion - 1) % kMivoCitiesPerRegion].open = 1;
    slot[(cityIndex + 1) % kMivoCitiesPerRegion].open = 1;
    const bool slotDone = std::all_of(slot, slot + kMivoCitiesPerRegion,
                                      [](const MivoQuestCity& c) { return c.completed != 0; });
    if (!slotDone)
    {
        return;
    }
    // Two teleports open: toward the region before this one and toward this one.
    const int32_t region = city.key / 1000;
    int32_t used =
        static_cast<int32_t>(std::count_if(std::begin(quest.teleports), std::end(quest.teleports),
                                           [](const MivoQuestTeleport& t) { return t.targetRegion != -1; }));
    for (const int32_t target : {region == 0 ? kMivoRegionCount - 1 : region - 1, region})
    {
        if (used < kMivoTeleportCount && !TeleportTargets(quest, target))
        {
            quest.teleports[used++].targetRegion = target;
        }
    }
}

void MivoUserData::EndGame()
{
    if (!currentUser)
    {
        return;
    }
    if (gameMode == MivoModeQuest)
    {
        finalScore = currentUser->quest.score;
        finalLevel = 0;
        ResetQuest(currentUser->quest);
        return;
    }
    if (gameMode != MivoModeSkill)
    {
        return;
    }
    MivoSkillProgress& skill = currentUser->skill;
    if (gameComplete)
    {
        cubeSum = 0;
        for (const int32_t stock : skill.cubes)
        {
            cubeSum = MivoScoreSum({cubeSum, stock});
        }
        cubeBonus = MivoScoreSum({int64_t{cubeSum} * 100000});
        livesBonus = MivoScoreSum({int64_t{skill.lives} * 1000000});
        skill.score = MivoScoreSum({skill.score, cubeBonus, livesBonus});
    }
    finalScore = skill.score;
    finalLevel = skill.level;
    ResetSkillProgress(skill);
}

int32_t MivoUserData::CurrentLevelNumber(int32_t mode) const
{
    if (!currentUser)
    {
        return 0;
    }
    if (mode == MivoModeQuest)
    {
        if (bonusIndex != -1)
        {
            return currentUser->quest.teleportsDone + 1;
        }
        return CompletedQuestMaps() + (mapInCity < kMivoMapsPerCity ? mapInCity : 0);
    }
    return mode == MivoModeSkill ? currentUser->skill.level : 0;
}

int32_t MivoUserData::SkillMapId() const
{
    if (!currentUser)
    {
        return 0;
    }
    const MivoSkillProgress& skill = currentUser->skill;
    if (bonusIndex != -1)
    {
        return kMivoFirstBonusMap + skill.bonusLevelsDone;
    }
    return InRange(skill.level, kMivoLadderLength) ? skill.ladder[skill.level].mapId : 0;
}

int32_t MivoUserData::QuestMapId() const
{
    if (!currentUser)
    {
        return 0;
    }
    if (bonusIndex != -1)
    {
        return kMivoFirstBonusMap + currentUser->quest.teleportsDone;
    }
    const MivoQuestCity* city = CurrentCity();
    return city && InRange(mapInCity, kMivoMapsPerCity) ? city->maps[mapInCity].mapId : 0;
}

int32_t MivoUserData::SkillCounter(int32_t k) const
{
    if (gameMode != MivoModeSkill || !currentUser || !InRange(k, kMivoCubeKinds + 1))
    {
        return 0;
    }
    return k == 0 ? currentUser->skill.score : currentUser->skill.cubes[k - 1];
}

void MivoUserData::CheckSkillBonusLevel()
{
    if (!currentUser)
    {
        return;
    }
    const MivoSkillProgress& skill = currentUser->skill;
    // There are 15 bonus maps; the ladder would call for two more before its end.
    if (skill.level >= 50 && (skill.level - 50) % 15 == 0 &&
        (skill.level - 50) / 15 >= skill.bonusLevelsDone && skill.bonusLevelsDone < kMivoTeleportCount)
    {
        bonusIndex = skill.bonusLevelsDone;
    }
}

MivoQuestCity* MivoUserData::FindCity(int32_t key, int32_t* slot, int32_t* index) const
{
    if (!currentUser || key < 0)
    {
        return nullptr;
    }
    for (int32_t s = 0; s < kMivoRegionCount; ++s)
    {
        for (int32_t c = 0; c < kMivoCitiesPerRegion; ++c)
        {
            MivoQuestCity& city = currentUser->quest.regions[s][c];
            if (city.key == key)
            {
                if (slot)
                {
                    *slot = s;
                }
                if (index)
                {
                    *index = c;
                }
                return &city;
            }
        }
    }
    return nullptr;
}

MivoQuestCity* MivoUserData::CurrentCity() const
{
    if (!currentUser || !InRange(regionSlot, kMivoRegionCount) || !InRange(cityIndex, kMivoCitiesPerRegion))
    {
        return nullptr;
    }
    return &currentUser->quest.regions[regionSlot][cityIndex];
}

MivoPlaceState MivoUserData::CityState(int32_t key) const
{
    const MivoQuestCity* city = FindCity(key);
    if (!city)
    {
        return PLACE_ABSENT;
    }
    return city->completed ? PLACE_FINISHED : city->open ? PLACE_OPEN : PLACE_LOCKED;
}

MivoPlaceState MivoUserData::TeleportState(int32_t regionKey) const
{
    if (!currentUser || regionKey < 0)
    {
        return PLACE_ABSENT;
    }
    for (const MivoQuestTeleport& teleport : currentUser->quest.teleports)
    {
        if (teleport.targetRegion == regionKey)
        {
            return teleport.done ? PLACE_FINISHED : PLACE_OPEN;
        }
    }
    return PLACE_ABSENT;
}

int32_t MivoUserData::CompletedQuestMaps() const
{
    if (!currentUser)
    {
        return 0;
    }
    int32_t completed = 0;
    for (const auto& slot : currentUser->quest.regions)
    {
        completed += static_cast<int32_t>(std::count_if(slot, slot + kMivoCitiesPerRegion,
                                                        [](const MivoQuestCity& city)
                                                        { return city.completed != 0; }));
    }
    return kMivoMapsPerCity * completed;
}

int32_t MivoUserData::CityKey(int32_t key) const
{
    int32_t slot = 0;
    int32_t index = 0;
    return FindCity(key, &slot, &index) ? slot * 1000 + index : 0;
}

void MivoUserData::ChooseRegion(int32_t regionKey)
{
    if (currentUser && InRange(regionKey, kMivoRegionCount) && InRange(regionSlot, kMivoRegionCount))
    {
        int32_t slot = regionSlot;
        MivoQuestCity* cities = currentUser->quest.regions[slot];
        if (cities[0].key != -1)
        {
            slot = (slot + 1) % kMivoRegionCount;
            cities = currentUser->quest.regions[slot];
        }
        if (cities[0].key == -1)
        {
            for (int32_t c = 0; c < kMivoCitiesPerRegion; ++c)
            {
                cities[c].key = 1000 * regionKey + c;
            }
            cities[WeRand() * kMivoCitiesPerRegion / (WE_RAND_MAX + 1)].open = 1;
        }
    }
    SaveUsers();
}

void MivoUserData::ExchangeCities(int32_t slot, int32_t a, int32_t b)
{
    if (!currentUser || !InRange(slot, kMivoRegionCount) || !InRange(a, kMivoCitiesPerRegion) ||
        !InRange(b, kMivoCitiesPerRegion))
    {
        return;
    }
    MivoQuestCity& first = currentUser->quest.regions[slot][a];
    MivoQuestCity& second = currentUser->quest.regions[slot][b];
    std::swap(first.orderNumber, second.orderNumber);
    std::swap(first.maps, second.maps);
}

void MivoUserData::SelectCity(int32_t key)
{
    bonusIndex = -1;
    currentPlace = key;
    FindCity(key, &regionSlot, &cityIndex);
    mapInCity = 0;
    cityRunPoints = 0;
}

void MivoUserData::SelectTeleport(int32_t regionKey)
{
    bonusIndex = -1;
    currentPlace = regionKey;
    if (!currentUser)
    {
        return;
    }
    const MivoQuestProgress& quest = currentUser->quest;
    regionSlot = 0;
    while (regionSlot + 1 < kMivoRegionCount && quest.regions[regionSlot + 1][0].key != -1)
    {
        ++regionSlot;
    }
    for (int32_t t = 0; t < kMivoTeleportCount && regionKey >= 0; ++t)
    {
        if (quest.teleports[t].targetRegion == regionKey)
        {
            bonusIndex = t;
            break;
        }
    }
}
