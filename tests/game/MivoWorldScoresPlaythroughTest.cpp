// The world scores through the game's window against the score service program on loopback: the
// scores waiting in upload.dat go when the world list opens and the list shows them; with the
// service stopped, a turn to the world list says that it cannot be refreshed, once, over what it
// showed last.
#include "PlaythroughDriver.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{

// The score service program beside the tests, started on a free port of the loopback with a
// database of its own, and stopped with SIGTERM.
class ScoreServiceProgram
{
public:
    explicit ScoreServiceProgram(const std::string& database)
    {
        int out[2];
        if (pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string program = (std::filesystem::current_path() / "score_service").string();
        char* arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>("0"),
                             const_cast<char*>(database.c_str()), nullptr};
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, arguments, environ) != 0)
            pid = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        // Its first line is the port it serves.
        if (FILE* said = fdopen(out[0], "r"))
        {
            if (pid == 0 || std::fscanf(said, "%d", &port) != 1)
                port = 0;
            std::fclose(said);
        }
        else
            close(out[0]);
    }
    ~ScoreServiceProgram() { Stop(); }
    ScoreServiceProgram(const ScoreServiceProgram&) = delete;
    ScoreServiceProgram& operator=(const ScoreServiceProgram&) = delete;

    void Stop()
    {
        if (pid == 0)
            return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = 0;
    }
    int Port() const { return port; }

private:
    pid_t pid = 0;
    int port = 0;
};

class WorldScoresPlaythrough : public Playthrough
{
protected:
    void SetUp() override
    {
        Playthrough::SetUp();
        ASSERT_NE(service.Port(), 0) << "the score service started";
        address = ("127.0.0.1:" + std::to_string(service.Port())).c_str();
    }
    void TearDown() override
    {
        address = "";
        Playthrough::TearDown();
    }
    // Name and score of a row of the quest lists, as shown.
    static std::string QuestRow(int32_t row)
    {
        const std::string cell = "HighScoreMultiQ$" + std::to_string(1) + "$" + std::to_string(row);
        const std::string score = "HighScoreMultiQ$" + std::to_string(2) + "$" + std::to_string(row);
        return Text(cell.c_str()) + " " + Text(score.c_str());
    }

    ScoreServiceProgram service{folder / "scores.sqlite"};
    WeString& address = WeConfig::GetString("Mivo.Network.ServerAddress", "");
};

// The first row of the medium quests, after the ten easy ones and a separator.
constexpr int32_t kFirstMediumRow = 11;

} // namespace

TEST_F(WorldScoresPlaythrough,
       TheWaitingScoreGoesWhenTheWorldListOpensWhichShowsItAndLaterSaysItCannotBeRefreshed)
{
    SavePlayer([](MivoUser&) {});
    ASSERT_TRUE(userData.AddGameScore(MivoScore{"Ana", 31415, 0, 2, MivoModeQuest})); // a medium quest
    userData.scores.Clear();
    ASSERT_TRUE(userData.SaveScores()); // the local list forgets it: only the queue holds it
    userData.FreeAll();
    ASSERT_EQ(QueuedGameScores().size(), 1u);
    Play(
        [&]
        {
            Click("MainMenuHighScoreButton");
            WaitFor("HighScoreWorldButton");
            EXPECT_EQ(QuestRow(kFirstMediumRow), "- -") << "the local list";
            Click("HighScoreWorldButton");
            Until(
                []
                {
                    return MivoFindWidget("HighScoreWorldButton")->selected && !MivoFindWidget("NetWindow") &&
                           MivoWidgetReady("HighScoreLocalButton");
                },
                "the world list");
            EXPECT_EQ(QuestRow(kFirstMediumRow), "Ana 31415") << "the world list";
            EXPECT_TRUE(QueuedGameScores().empty()) << "the score went to the service";
            EXPECT_EQ(std::filesystem::file_size(folder / "upload.dat"), 4u);

            service.Stop();
            Click("HighScoreLocalButton");
            Click("HighScoreWorldButton");
            WaitFor("NetCancel");
            Until([] { return Text("NetText") == Translated("UI: NET Error"); }, "the service's message");
            EXPECT_EQ(Text("NetCancel"), Translated("UI: Ok"));
            Click("NetCancel");
            Until([] { return !MivoFindWidget("NetWindow"); }, "the message closed");
            Frames(30);
            EXPECT_EQ(MivoFindWidget("NetWindow"), nullptr) << "one failure, one message";
            EXPECT_TRUE(MivoFindWidget("HighScoreWorldButton")->selected);
            EXPECT_EQ(QuestRow(kFirstMediumRow), "Ana 31415") << "what the service said last";
            Click("HighScoreOkButton");
            WaitFor("MainMenuHighScoreButton");
        });
}
