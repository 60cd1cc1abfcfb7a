// Everything the game keeps about its players: the profiles with their quest and skill
// progress ("users.dat"), the score tables ("hiscores.dat"), the upload queue ("upload.dat"),
// and the state of the game being played, which the phases read and write directly.
#pragma once

#include "MivoPlaceState.h"
#include "MivoScores.h"
#include "MivoUploadQueue.h"
#include "WeString.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class MivoFileReader;

constexpr int32_t kMivoRegionCount = 15;
constexpr int32_t kMivoCitiesPerRegion = 5;
constexpr int32_t kMivoMapsPerCity = 4;
constexpr int32_t kMivoTeleportCount = 15;
constexpr int32_t kMivoLadderLength = 300;
constexpr int32_t kMivoCubeKinds = 9;
constexpr int32_t kMivoTutorialCount = 11;
constexpr int32_t kMivoFirstBonusMap = 20001;

enum MivoGameMode : int32_t
{
    MivoModeNone = 0,
    MivoModeQuest = 1,
    MivoModeSkill = 2,
    MivoModePractice = 3
};

struct MivoLevelResult
{
    int32_t mapId = 0;
    int32_t bonus = 0;
    int32_t moves = 0;
    float time = 0.0f; // seconds
};

struct MivoQuestCity
{
    int32_t key = -1; // 1000 x region key + city index once its region is chosen
    uint8_t completed = 0;
    uint8_t open = 0;
    int32_t orderNumber = 0; // 0..4
    MivoLevelResult maps[kMivoMapsPerCity];
};

struct MivoQuestTeleport
{
    int32_t mapId = 0;
    int32_t bonus = 0;
    int32_t moves = 0;
    float time = 0.0f;
    int32_t targetRegion = -1; // region key, -1 none
    uint8_t done = 0;
};

struct MivoQuestProgress
{
    int32_t score = 0;
    int32_t difficulty = 0; // 0 none chosen, 1..3
    int32_t teleportsDone = 0;
    MivoQuestCity regions[kMivoRegionCount][kMivoCitiesPerRegion]; // slots in the order taken
    MivoQuestTeleport teleports[kMivoTeleportCount];
};

struct MivoSkillProgress
{
    int32_t level = 0; // index into the ladder
    int32_t lives = 3;
    int32_t score = 0;
    int32_t cubes[kMivoCubeKinds] = {}; // stocks of the kinds 1..9
    int32_t bonusLevelsDone = 0;
    MivoLevelResult ladder[kMivoLadderLength];
    MivoLevelResult bonusLevels[kMivoTeleportCount];
};

class MivoUser
{
public:
    // A fresh profile without a name: no tutorial seen, no map played, new quest and ladder.
    void Reset();

    WeString name;
    uint8_t tutorialsSeen[kMivoTutorialCount] = {};
    uint8_t mapsPlayed[kMivoLadderLength] = {}; // by the level-table index of the map
    MivoQuestProgress quest;
    MivoSkillProgress skill;
};

// What the last load found of users.dat.
enum class MivoUsersFile : uint8_t
{
    Loaded,     // read (or missing, or older): the profiles are what it held
    Damaged,    // partly not understood: a copy of it was kept beside it; the profiles are those
                // that read cleanly
    Unreadable, // there but not readable, or damaged without a copy: left as it is, never saved over
};

class MivoUserData
{
public:
    static constexpr int32_t kUsersFileVersion = 24;
    // A name as long as a player can type (15 characters of up to four bytes each).
    static constexpr int32_t kMaxUserNameBytes = 60;

    MivoUserData();

    // The folder of the player's files; the three file names are kept inside it. The
    // program passes MivoPlayerFolder(); without one ("") nothing is read or written, and the
    // profiles and scores of the run live in memory only.
    void SetFolder(const std::string& folder);

    // Profiles. A damaged users.dat (cut short, or a counter outside the range the game gives
    // it) keeps the profiles that read cleanly, names the others in LostProfiles, keeps a copy of
    // the file beside it and gives false with the reason in lastError; a missing or older file
    // gives no profiles and is no error. A file that exists but cannot be read leaves the
    // profiles as they are and gives false: until a later load reads it, nothing is saved over
    // it. While a save of the profiles is owed, the profiles in memory are newer than the file:
    // a load keeps them and tries the save again.
    bool LoadUsers();
    MivoUsersFile UsersFileState() const { return usersFile; }
    // The names of the profiles the last load dropped, and whether profiles it could not even
    // name were lost too.
    const std::vector<WeString>& LostProfiles() const { return lostProfiles; }
    bool UnnamedProfilesLost() const { return unnamedProfilesLost; }
    // The lost names as one text: "Ana, Bo".
    WeString LostProfileNames() const;
    // Nothing once the engine has shut down; false, and nothing written, while the file could not
    // be loaded (see LoadUsers) or without a folder. A save that fails leaves the profiles owed
    // to the file.
    bool SaveUsers();
    MivoUser* FindUser(const WeString& name);
    // False when the name exists or could not have been typed (longer than kMaxUserNameBytes, or
    // holding a control byte); else a new profile is appended and becomes current (not saved).
    bool CreateUser(const WeString& name);
    static bool IsTypableName(const WeString& name);
    // The profile of that name becomes current; false (and no change) when there is none.
    bool SelectUser(const WeString& name);
    // In creation or file order; null outside 0..UserCount() - 1.
    MivoUser* GetUser(int32_t index) const;
    // When the deleted profile was current, the first one left becomes current.
    void DeleteUser(const WeString& name);
    int32_t CurrentUserIndex() const; // 0 when there is none
    MivoUser* CurrentUser() const { return currentUser; }
    int32_t UserCount() const { return static_cast<int32_t>(users.size()); }
    void FreeAll(); // the queued uploads and every profile

    // New progress dealt at random; the first maps come from "Mivo.Remap.Map1001" to 1020.
    static void BuildQuestProgress(MivoQuestProgress& quest);
    static void BuildSkillProgress(MivoSkillProgress& skill);
    // A new skill game: level 0, 3 lives, no points, no cubes, no bonus level, a new ladder.
    static void ResetSkillProgress(MivoSkillProgress& skill);

    // Score tables (operations of the tables on the store's file, see MivoScoreTables). A save
    // that fails keeps a copy of the tables, which later loads give back (the world lists fill
    // the same tables) after trying to save it again.
    bool LoadScores();
    bool SaveScores();
    // Records a finished game or level: loads the tables, inserts, queues the upload, saves.
    bool AddGameScore(MivoScore score);
    bool AddLevelScore(MivoLevelScore levelScore);
    int32_t TopScore(int32_t mode, int32_t difficulty) const;
    void FillQuestScores(const WeString& reply);
    void FillSkillScores(const WeString& reply);
    void FillLevelScores(const WeString& reply, int32_t region);

    // Upload queue (see MivoUploadQueue).
    bool AppendUpload(int32_t kind, const MivoScorePayload& payload);
    bool LoadPendingUploads();
    bool SendNextUpload();
    void SavePendingUploads();
    void ClearPendingUploads();

    // Tries again every save that failed: the profiles, the score tables, the upload file. True
    // when nothing is owed any more.
    bool SaveWhatIsOwed();

    // Level and game bookkeeping of the current profile; nothing without one.
    void ResetLevelCounters();
    // Books a level that ends without being won; without noLifeLost a skill life is lost.
    void BeginLevel(bool noLifeLost);
    // Books a won level: bonuses, progress, and the next map.
    void FinishLevel(int32_t mapId, float timeLimit, float elapsed);
    // Leaves the final score and level and deals a new quest or ladder.
    void EndGame();
    int32_t CurrentLevelNumber(int32_t mode) const;
    int32_t SkillMapId() const;
    int32_t QuestMapId() const;
    // In the skill mode word k of the skill part (0 the score, 1..9 the cube stocks), else 0.
    int32_t SkillCounter(int32_t k) const;
    // Sets the bonus index when a bonus level is due before the next ladder level.
    void CheckSkillBonusLevel();

    // Quest map.
    MivoPlaceState CityState(int32_t key) const;           // locked: neither open nor completed
    MivoPlaceState TeleportState(int32_t regionKey) const; // of the teleport leading there
    int32_t CompletedQuestMaps() const;
    int32_t CityKey(int32_t key) const; // slot x 1000 + city index, 0 when none
    void ChooseRegion(int32_t regionKey);
    void ExchangeCities(int32_t slot, int32_t a, int32_t b);
    void SelectCity(int32_t key);
    void SelectTeleport(int32_t regionKey);

    MivoScoreTables scores;
    MivoUploadQueue uploads;
    MivoLevelResult lastLevelResult;
    WeString lastError;

    int32_t gameMode = MivoModeNone;
    int32_t runningQuestDifficulty = 0;
    int32_t bonusIndex = -1; // the teleport or bonus level being played
    int32_t currentPlace = -1;
    int32_t usedCube = 0;
    int32_t levelScore = 0;
    int32_t cityRunPoints = 0;
    int32_t moves = 0;
    int32_t timeBonus = 0;
    int32_t movesBonus = 0;
    int32_t levelBonus = 0;
    int32_t totalBonus = 0;
    int32_t cubeSum = 0;
    int32_t cubeBonus = 0;
    int32_t livesBonus = 0;
    int32_t awardedCube = 0;
    int32_t finalScore = 0;
    int32_t finalLevel = 0;
    int32_t regionSlot = 0;
    int32_t cityIndex = 0;
    int32_t mapInCity = 0;
    bool noLifeLost = false;
    bool levelRunning = false;
    bool outOfLives = false;
    bool gameComplete = false;

private:
    // Reads the profiles after the version into `users`, those whose counters are out of range
    // and those cut short into lostProfiles, and the current name; false when any of it was
    // damaged, with the reason in `why`.
    bool ReadProfiles(MivoFileReader& reader, WeString& currentName, WeString& why);
    // Keeps the damaged file's bytes aside and says why in lastError; false.
    bool RejectUsersFile(const std::vector<uint8_t>& bytes, const WeString& why);
    // Writes the owed copy of the tables; true when nothing is owed any more.
    bool SaveOwedScores();
    void FinishSkillLevel(MivoUser& user, float timeLimit, float elapsed);
    void FinishQuestLevel(MivoUser& user, float elapsed);
    void FinishTeleportLevel(MivoUser& user);
    void FinishCity(MivoUser& user, MivoQuestCity& city);
    MivoQuestCity* FindCity(int32_t key, int32_t* slot = nullptr, int32_t* index = nullptr) const;
    MivoQuestCity* CurrentCity() const;

    std::vector<std::unique_ptr<MivoUser>> users; // in creation or file order
    MivoUser* currentUser = nullptr;
    MivoUsersFile usersFile = MivoUsersFile::Loaded;
    std::vector<WeString> lostProfiles;
    bool unnamedProfilesLost = false;
    bool usersOwed = false;  // the last save of the profiles failed
    bool scoresOwed = false; // the last save of the tables failed: owedScores holds them
    MivoScoreTables owedScores;
    std::string usersPath;
    std::string scoresPath;
};

extern MivoUserData userData;

// A sum of scores, done in 64 bits and clamped to what an int32 holds.
int32_t MivoScoreSum(std::initializer_list<int64_t> terms);

// Whether the engine has shut down; screens left during the shut-down then save no profiles.
bool MivoEngineHasShutDown();
