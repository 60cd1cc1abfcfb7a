#include "MivoUsersPhase.h"
#include "../core/TempFolder.h"
#include "MenuFixture.h"
#include "MivoConfirmationPhase.h"
#include "MivoGame.h"
#include "MivoIntroPhase.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuPhase.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "PlayerFileBytes.h"
#include "WeLocalization.h"
#include "WeUIEditBox.h"
#include "WeUIMultiList.h"
#include "win32/Win32Clipboard.h"
#include "win32/Win32Files.h"

#include <cstring>
#include <string>

namespace
{

constexpr int32_t kBackspace = 14, kReturn = 28, kEscape = 1, kPaste = 47;

// The players' screens over an empty player folder, reached the way a first start reaches them.
class UsersScreens : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        std::string path = folder / "";
        path.pop_back();
        userData.SetFolder(path);
        ASSERT_TRUE(userData.LoadUsers());
        savedCommandLine = gameApp.commandLineNumber;
    }
    void TearDown() override
    {
        input.ctrl = false;
        MenuFixture::TearDown();
        userData.FreeAll();
        gameApp.commandLineNumber = savedCommandLine;
        gameApp.menuCursor = false;
    }
    // The start as the program makes it, stepped until the intro has given way.
    void Start(int32_t commandLine)
    {
        gameApp.commandLineNumber = commandLine;
        gameApp.PushFirstPhases();
        for (int32_t i = 0; i < 2000 && (Depth() == 0 || Top() == &introPhase); ++i)
            Step();
        Steps(2);
    }
    // A key press as the poll reports it: to the focused widget and as this frame's click.
    static void Key(int32_t key)
    {
        uiMain.PostKeyDown(key);
        PressKey(key);
        Step();
        uiMain.PostKeyUp(key);
        Step();
    }
    static void Type(const std::string& text)
    {
        for (unsigned char c : text)
        {
            uiMain.PostKeyDown(-static_cast<int32_t>(c));
            Step();
        }
    }
    // Long enough for every fade of the screens to end: widgets in a fade cannot be clicked.
    static void Settle() { Steps(20); }
    static void ClickAndStep(const char* name)
    {
        Settle();
        Click(name);
        Steps(3);
    }
    static WeString NameBoxText()
    {
        WeUIEditBox* box = MivoCreateUserNameBox();
        return box ? box->text : WeString("<no box>");
    }
    static std::string Row(int32_t row)
    {
        WeUIComponent* cell = MivoUsersList() ? MivoUsersList()->GetCell(0, row) : nullptr;
        return cell ? cell->text.GetData() : "<none>";
    }
    static std::string OverlayName()
    {
        WeUIComponent* label = uiMain.GetComponent("MenuOverlayCurrentUserLabel");
        return label ? label->text.GetData() : "<no overlay>";
    }
    // Erases the name in the box, one Backspace per byte.
    static void ClearName()
    {
        for (int32_t i = NameBoxText().GetLength(); i > 0; --i)
            Key(kBackspace);
    }
    // Another player through New, typed and confirmed with Return.
    static void AddPlayer(const char* name)
    {
        ClickAndStep("UsersNewButton");
        ClearName();
        Type(name);
        Key(kReturn);
    }
    // The profiles as the next start finds them in users.dat.
    MivoUserData NextStart() const
    {
        std::string path = folder / "";
        path.pop_back();
        MivoUserData next;
        next.SetFolder(path);
        EXPECT_TRUE(next.LoadUsers());
        return next;
    }
    // From the first start to the main menu with one profile of that name.
    void CreateFirstPlayer(const char* name)
    {
        Start(0);
        ASSERT_EQ(Top(), &createUserPhase);
        ClearName();
        Type(name);
        ClickAndStep("CreateUserOkButton");
        ASSERT_EQ(Top(), &usersPhase);
    }

    TempFolder folder;
    int32_t savedCommandLine = 0;
};

} // namespace

TEST_F(UsersScreens, AFirstStartLeadsFromTheIntroThroughANewPlayerToTheMainMenuAndTheProfileStays)
{
    Start(0);
    ASSERT_EQ(Top(), &createUserPhase) << "nobody yet: the users screen asks for a name at once";
    ASSERT_NE(MivoUsersList(), nullptr);
    EXPECT_EQ(NameBoxText(), WeString("Player"));
    EXPECT_TRUE(uiMain.HasFocus(MivoCreateUserNameBox()));
    EXPECT_FALSE(uiMain.GetComponent("UsersWindow")->enabled) << "the list is dimmed under the dialog";

    ClearName();
    Type("Mia");
    EXPECT_EQ(NameBoxText(), WeString("Mia"));
    ClickAndStep("CreateUserOkButton");
    ASSERT_EQ(Top(), &usersPhase);
    EXPECT_TRUE(uiMain.GetComponent("UsersWindow")->enabled);
    ASSERT_EQ(MivoUsersList()->rowCount, 1);
    EXPECT_EQ(Row(0), "Mia");
    EXPECT_EQ(MivoUsersList()->GetSelectedRow(), 0);

    ClickAndStep("UsersOkButton");
    EXPECT_EQ(Top(), &mainMenuPhase);
    EXPECT_EQ(OverlayName(), "Mia");
    ASSERT_NE(userData.CurrentUser(), nullptr);
    EXPECT_TRUE(userData.CurrentUser()->name == "Mia");

    // Leaving the users screen saved the profile: the next start finds it and skips the users.
    MivoUserData next = NextStart();
    ASSERT_EQ(next.UserCount(), 1);
    EXPECT_TRUE(next.CurrentUser()->name == "Mia");
    gameApp.commandLineNumber = 1;
    EXPECT_EQ(gameApp.FirstScreen(), MivoFirstScreen::MainMenu);
}

TEST_F(UsersScreens, AFastStartWithoutPlayersGoesToTheUsersAndOneReturnKeepsTheDefaultNameOnce)
{
    Start(1);
    ASSERT_EQ(Top(), &createUserPhase);
    Key(kReturn);
    EXPECT_EQ(Top(), &usersPhase);
    ASSERT_EQ(userData.UserCount(), 1);
    EXPECT_TRUE(userData.CurrentUser()->name == "Player");
    ClickAndStep("UsersOkButton");
    EXPECT_EQ(Top(), &mainMenuPhase);
}

TEST_F(UsersScreens, AnExistingNameShowsOneDialogThatOneReturnCannotStackAndTheNameStays)
{
    CreateFirstPlayer("Mia");
    ClickAndStep("UsersNewButton");
    ASSERT_EQ(Top(), &createUserPhase);
    ClearName();
    Type("Mia");
    const int32_t depth = Depth();
    Key(kReturn);
    ASSERT_EQ(Top(), &confirmationPhase) << "User exists";
    EXPECT_EQ(Depth(), depth + 1);
    EXPECT_TRUE(confirmationPhase.textKey == "UI: User exists");
    // Return again while the dialog shows: it reaches neither the box nor the screen beneath.
    Key(kReturn);
    Key(kReturn);
    EXPECT_EQ(Depth(), depth + 1);
    EXPECT_EQ(userData.UserCount(), 1);
    ClickAndStep("Confirmation1OkButton");
    ASSERT_EQ(Top(), &createUserPhase);
    EXPECT_EQ(Depth(), depth);
    EXPECT_EQ(NameBoxText(), WeString("Mia"));
    // The box has the keys again; a new name goes through.
    Type("2");
    Key(kReturn);
    EXPECT_EQ(Top(), &usersPhase);
    EXPECT_EQ(userData.UserCount(), 2);
    EXPECT_EQ(Row(1), "Mia2");
    EXPECT_EQ(MivoUsersList()->GetSelectedRow(), 1);
}

TEST_F(UsersScreens, CancelAndEscapeLeaveTheNameDialogWithoutAProfile)
{
    CreateFirstPlayer("Mia");
    ClickAndStep("UsersNewButton");
    ClickAndStep("CreateUserCancelButton");
    EXPECT_EQ(Top(), &usersPhase);
    ClickAndStep("UsersNewButton");
    Key(kEscape);
    EXPECT_EQ(Top(), &usersPhase);
    EXPECT_EQ(userData.UserCount(), 1);
    // An empty name makes no profile: OK waits for one.
    ClickAndStep("UsersNewButton");
    ClearName();
    ClickAndStep("CreateUserOkButton");
    EXPECT_EQ(Top(), &createUserPhase);
    EXPECT_EQ(userData.UserCount(), 1);
}

TEST_F(UsersScreens, APastedNameIsCutToTheBoxAndComesBackFromUsersDatIntact)
{
    Start(0);
    ASSERT_EQ(Top(), &createUserPhase);
    std::string pasted = "\x01Zo\n\xC3\xAB";
    pasted += std::string(5000, 'x');
    ASSERT_TRUE(win32::OpenClipboard(nullptr));
    win32::EmptyClipboard();
    win32::HGLOBAL block = win32::GlobalAlloc(win32::GMEM_MOVEABLE, pasted.size() + 1);
    std::memcpy(win32::GlobalLock(block), pasted.c_str(), pasted.size() + 1);
    win32::GlobalUnlock(block);
    win32::SetClipboardData(win32::CF_TEXT, block);
    win32::CloseClipboard();
    ClearName();
    input.ctrl = true;
    Key(kPaste);
    input.ctrl = false;
    const std::string expected = "Zo\xC3\xAB" + std::string(12, 'x');
    EXPECT_EQ(NameBoxText(), WeString(expected.c_str()));
    Key(kReturn);
    ClickAndStep("UsersOkButton");
    ASSERT_EQ(Top(), &mainMenuPhase);
    MivoUserData next = NextStart();
    ASSERT_EQ(next.UserCount(), 1);
    EXPECT_TRUE(next.GetUser(0)->name == expected.c_str());
}

TEST_F(UsersScreens, DeletingAsksFirstPicksTheNextCurrentPlayerAndNeverTheLastOne)
{
    CreateFirstPlayer("Mia");
    AddPlayer("Bo");
    ASSERT_EQ(userData.UserCount(), 2);
    ASSERT_EQ(MivoUsersList()->GetSelectedRow(), 1) << "the new player is current";

    // No answers No.
    ClickAndStep("UsersDeleteButton");
    ASSERT_EQ(Top(), &confirmationPhase);
    EXPECT_TRUE(confirmationPhase.textKey == "UI: Delete user");
    ClickAndStep("Confirmation1NoButton");
    EXPECT_EQ(userData.UserCount(), 2);

    // Yes deletes the selected (current) player; the first one left becomes current.
    ClickAndStep("UsersDeleteButton");
    ClickAndStep("Confirmation1YesButton");
    EXPECT_EQ(Top(), &usersPhase);
    ASSERT_EQ(userData.UserCount(), 1);
    EXPECT_TRUE(userData.CurrentUser()->name == "Mia");
    EXPECT_EQ(OverlayName(), "Mia");
    EXPECT_EQ(MivoUsersList()->rowCount, 1);
    EXPECT_EQ(MivoUsersList()->GetSelectedRow(), 0);

    // The last player stays.
    ClickAndStep("UsersDeleteButton");
    ClickAndStep("Confirmation1YesButton");
    ASSERT_EQ(Top(), &confirmationPhase);
    EXPECT_TRUE(confirmationPhase.textKey == "UI: Cannot delete");
    EXPECT_EQ(confirmationPhase.okOnly, 1);
    const int32_t depth = Depth();
    ClickAndStep("Confirmation2OkButton");
    EXPECT_EQ(Depth(), depth - 1);
    EXPECT_EQ(Top(), &usersPhase);
    EXPECT_EQ(userData.UserCount(), 1);

    // Escape is OK: the main menu with the one player.
    Key(kEscape);
    EXPECT_EQ(Top(), &mainMenuPhase);
    EXPECT_EQ(NextStart().UserCount(), 1);
}

TEST_F(UsersScreens, ADoubleClickOnAPlayerChoosesItAndTheMainMenusUsersButtonComesBack)
{
    CreateFirstPlayer("Mia");
    AddPlayer("Bo");
    ASSERT_EQ(Top(), &usersPhase);
    Settle();
    WeUIComponent* mia = MivoUsersList()->GetCell(0, 0);
    ASSERT_NE(mia, nullptr);
    const int32_t x = mia->x + mia->w / 2, y = mia->y + mia->h / 2;
    uiMain.PostMouseMove(x, y, 0);
    uiMain.PostMouseDown(0);
    uiMain.PostMouseUp(0);
    uiMain.PostMouseDown(0);
    uiMain.PostMouseUp(0);
    uiMain.PostDoubleClick();
    uiMain.PostMouseUp(0);
    Steps(3);
    EXPECT_EQ(Top(), &mainMenuPhase);
    EXPECT_TRUE(userData.CurrentUser()->name == "Mia");
    EXPECT_EQ(OverlayName(), "Mia");

    ClickAndStep("MainMenuUsersButton");
    ASSERT_EQ(Top(), &usersPhase);
    EXPECT_EQ(MivoUsersList()->rowCount, 2);
    EXPECT_EQ(MivoUsersList()->GetSelectedRow(), 0);
}

TEST_F(UsersScreens, ANewPlayerIsScrolledIntoTheListAndNamedInTheCornerAtOnce)
{
    // More players than the list shows; the first one is current.
    MivoUserData earlier;
    earlier.SetFolder(folder.path);
    for (int32_t i = 0; i < 40; ++i)
        earlier.CreateUser(("P" + std::to_string(i)).c_str());
    earlier.SelectUser("P0");
    ASSERT_TRUE(earlier.SaveUsers());
    Start(0);
    ASSERT_EQ(Top(), &usersPhase);
    const auto selectedRowIsInView = []
    {
        const WeUIMultiList* list = MivoUsersList();
        const WeUIComponent* cell = list->GetCell(0, list->GetSelectedRow());
        const WeUIComponent* contents = list->scrollFrame->contents;
        return cell && cell->y >= contents->clipY && cell->y + cell->h <= contents->clipY + contents->clipH;
    };
    ASSERT_TRUE(MivoUsersList()->scrollFrame->vScroll->visible) << "the rows overflow the list";
    EXPECT_TRUE(selectedRowIsInView());

    AddPlayer("Zed");
    ASSERT_EQ(Top(), &usersPhase);
    EXPECT_EQ(MivoUsersList()->GetSelectedRow(), 40);
    EXPECT_TRUE(selectedRowIsInView());
    EXPECT_EQ(OverlayName(), "Zed");
}

TEST_F(UsersScreens, AnUnreadablePlayersFileIsToldLeftAsItIsAndAPlayerOfThisRunIsNotSavedOverIt)
{
    ASSERT_TRUE(MakeUnreadable(folder / "users.dat"));
    Start(0);
    ASSERT_EQ(Top(), &confirmationPhase);
    EXPECT_TRUE(confirmationPhase.textKey == "UI: Player file unreadable");
    ClickAndStep("ConfirmationMediumOkButton");
    ASSERT_EQ(Top(), &createUserPhase) << "nobody to play as";
    Key(kReturn);
    ASSERT_EQ(Top(), &usersPhase);
    ClickAndStep("UsersOkButton");
    EXPECT_EQ(Top(), &mainMenuPhase);
    EXPECT_EQ(OverlayName(), "Player");
    EXPECT_TRUE(IsStillUnreadable(folder / "users.dat"));
}

TEST_F(UsersScreens, ADamagedPlayersFileIsToldAndKeptAsideOnce)
{
    const std::vector<uint8_t> damaged = PlayerFileBytes().Int(24).Int(1).Str("Ana").bytes;
    TempFolder::WriteBytes(folder / "users.dat", damaged);
    EXPECT_FALSE(userData.LoadUsers()) << "the start's own load";
    Start(0);
    ASSERT_EQ(Top(), &confirmationPhase);
    EXPECT_TRUE(confirmationPhase.textKey == "UI: Player file damaged");
    ClickAndStep("ConfirmationMediumOkButton");
    ASSERT_EQ(Top(), &createUserPhase);
    Key(kReturn);
    EXPECT_EQ(TempFolder::ReadBytes(folder / "users.dat.bad"), damaged);
    EXPECT_FALSE(win32::FileExists((folder / "users.dat.1.bad").c_str())) << "the same damage is kept once";
    ClickAndStep("UsersOkButton");
    EXPECT_EQ(NextStart().UserCount(), 1) << "the new player is saved over the damaged file";
}

TEST_F(UsersScreens, APlayerLostToADamagedFileIsNamedAndTheOthersStayWithoutAsking)
{
    MivoUserData earlier;
    earlier.SetFolder(folder.path);
    earlier.CreateUser("Ana");
    earlier.CreateUser("Bo");
    earlier.FindUser("Bo")->skill.lives = 500; // more than a game can give
    ASSERT_TRUE(earlier.SaveUsers());
    EXPECT_FALSE(userData.LoadUsers()) << "the start's own load";
    // Even a fast start goes to the users screen, which tells of the file.
    Start(1);
    ASSERT_EQ(Top(), &confirmationPhase);
    EXPECT_TRUE(confirmationPhase.textKey == "UI: Player file damaged");
    const WeUIComponent* text = MivoFindWidget("ConfirmationMediumText");
    ASSERT_NE(text, nullptr);
    const std::string shown = text->text.GetData();
    EXPECT_NE(shown.find(localization.Translate("UI: Player file damaged").GetData()), std::string::npos);
    EXPECT_NE(shown.find(std::string("\n") + localization.Translate("UI: Players lost").GetData() + " Bo"),
              std::string::npos)
        << shown;
    ClickAndStep("ConfirmationMediumOkButton");
    EXPECT_EQ(Top(), &usersPhase) << "someone to play as: no name is asked for";
    EXPECT_EQ(MivoUsersList()->rowCount, 1);
    EXPECT_EQ(Row(0), "Ana");
    ClickAndStep("UsersOkButton");
    EXPECT_EQ(NextStart().UserCount(), 1);
    EXPECT_TRUE(win32::FileExists((folder / "users.dat.bad").c_str()));
}
