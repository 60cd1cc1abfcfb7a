#include "MivoConfirmationPhase.h"
#include "MenuFixture.h"
#include "MivoScreen.h"
#include "WeUIEditBox.h"

namespace
{

std::vector<bool> answers;

void Record(bool yes)
{
    answers.push_back(yes);
}

RecordingPhase pushedByCallback;

void PushOnAnswer(bool yes)
{
    answers.push_back(yes);
    phaseStack.Request(&pushedByCallback, WePhaseCommand::Push);
}

void AskAgainOnAnswer(bool yes)
{
    answers.push_back(yes);
    confirmationPhase.Show("2", "UI: Second", Record, true);
}

class Confirmation : public MenuFixture
{
protected:
    void SetUp() override
    {
        MenuFixture::SetUp();
        answers.clear();
        pushedByCallback.log.clear();
        phaseStack.Request(&screen, WePhaseCommand::Push);
        Step();
    }
    // Shown, and its fade over: its buttons take clicks.
    void ShowSettled(const char* suffix, bool okOnly, MivoConfirmationPhase::Callback callback = Record)
    {
        confirmationPhase.Show(suffix, "UI: Exit Game", callback, okOnly);
        Steps(12);
    }

    RecordingPhase screen;
};

} // namespace

TEST_F(Confirmation, EveryLayoutHoldsTheTextAndTheThreeButtonsInsideItsModalWindow)
{
    for (const char* suffix : {"1", "2", "Medium", "Large", "XLarge"})
    {
        ShowSettled(suffix, false);
        ASSERT_EQ(Top(), &confirmationPhase) << suffix;
        const WeString window = MivoConfirmationPhase::WidgetName(suffix, "Window");
        ASSERT_NE(MivoFindWidget(window), nullptr) << suffix;
        EXPECT_EQ(uiMain.modal, MivoFindWidget(window)) << suffix;
        WeUIComponent* text = MivoFindWidget(MivoConfirmationPhase::WidgetName(suffix, "Text"));
        ASSERT_NE(text, nullptr) << suffix;
        EXPECT_EQ(text->text, "Do you want to leave the game?") << "the English text of the key";
        for (const char* part : {"Text", "OkButton", "YesButton", "NoButton"})
            EXPECT_TRUE(MivoFindWidget(window)->Contains(
                MivoFindWidget(MivoConfirmationPhase::WidgetName(suffix, part))))
                << suffix << part;
        EXPECT_EQ(MivoFindWidget(MivoConfirmationPhase::WidgetName(suffix, "YesButton"))->onMouseUp.id, 30);
        EXPECT_EQ(MivoFindWidget(MivoConfirmationPhase::WidgetName(suffix, "NoButton"))->onMouseUp.id, 31);
        EXPECT_EQ(MivoFindWidget(MivoConfirmationPhase::WidgetName(suffix, "OkButton"))->onMouseUp.id, 32);
        PressKey(1);
        Steps(12);
        EXPECT_EQ(Top(), &screen) << suffix;
        EXPECT_EQ(MivoFindWidget(window), nullptr) << "closed and deleted: " << suffix;
    }
    EXPECT_EQ(answers, std::vector<bool>(5, false));
}

TEST_F(Confirmation, AYesNoQuestionHidesOkAndAnOkMessageHidesYesAndNo)
{
    ShowSettled("1", false);
    EXPECT_FALSE(MivoFindWidget("Confirmation1OkButton")->enabled);
    EXPECT_FLOAT_EQ(MivoFindWidget("Confirmation1OkButton")->colour.a, 0.0f);
    EXPECT_TRUE(MivoFindWidget("Confirmation1YesButton")->enabled);
    EXPECT_FLOAT_EQ(MivoFindWidget("Confirmation1NoButton")->colour.a, 1.0f);
    PressKey(1);
    Steps(12);
    ShowSettled("1", true);
    EXPECT_TRUE(MivoFindWidget("Confirmation1OkButton")->enabled);
    EXPECT_FALSE(MivoFindWidget("Confirmation1YesButton")->enabled);
    EXPECT_FLOAT_EQ(MivoFindWidget("Confirmation1NoButton")->colour.a, 0.0f);
}

TEST_F(Confirmation, ClickingYesOrNoAnswersOnceAndTheScreenBeneathComesBack)
{
    ShowSettled("1", false);
    Click("Confirmation1YesButton");
    Step();
    EXPECT_EQ(answers, std::vector<bool>{true});
    EXPECT_EQ(Top(), &screen) << "the pop ran at the start of the next stack update";
    EXPECT_EQ(screen.log.back(), "Uncovered");
    EXPECT_TRUE(screen.events.empty()) << "the dialog handled its own buttons";
    EXPECT_EQ(uiMain.modal, nullptr) << "the screen is usable while the dialog fades out";
    Steps(12);

    ShowSettled("1", false);
    Click("Confirmation1NoButton");
    Step();
    EXPECT_EQ(answers, (std::vector<bool>{true, false}));
    EXPECT_EQ(Top(), &screen);
}

TEST_F(Confirmation, EscapeAnswersNoAndInAnOkMessageLikeOk)
{
    ShowSettled("1", false);
    PressKey(1);
    Step();
    ShowSettled("2", true);
    Click("Confirmation2OkButton");
    Step();
    ShowSettled("2", true);
    PressKey(1);
    Steps(2);
    EXPECT_EQ(answers, (std::vector<bool>{false, false, false}));
    EXPECT_EQ(Top(), &screen);
    EXPECT_EQ(screen.log, (std::vector<std::string>{"Enter", "Uncovered", "Uncovered", "Uncovered"}))
        << "no Escape reached the screen beneath";
}

TEST_F(Confirmation, APhasePushedByTheCallbackEndsOnTopWhetherYesOrEscapeAnswered)
{
    ShowSettled("1", false, PushOnAnswer);
    Click("Confirmation1YesButton");
    Steps(2);
    EXPECT_EQ(Top(), &pushedByCallback);
    EXPECT_EQ(Depth(), 2);
    phaseStack.Request(nullptr, WePhaseCommand::Pop);
    Steps(12);

    ShowSettled("1", false, PushOnAnswer);
    PressKey(1);
    Steps(2);
    EXPECT_EQ(Top(), &pushedByCallback) << "the dialog's pop ran before the callback's push";
    EXPECT_EQ(Depth(), 2);
    EXPECT_EQ(answers, (std::vector<bool>{true, false}));
}

TEST_F(Confirmation, ASecondQuestionWhileTheFirstIsOpenReplacesItAndLeavesNoDialogBehind)
{
    ShowSettled("1", false, PushOnAnswer);
    confirmationPhase.Show("Medium", "UI: Again", Record, true);
    Steps(12);
    EXPECT_EQ(Depth(), 2) << "one dialog over the screen";
    EXPECT_EQ(MivoFindWidget("Confirmation1Window"), nullptr) << "the first window has gone";
    ASSERT_NE(MivoFindWidget("ConfirmationMediumWindow"), nullptr);
    EXPECT_EQ(uiMain.modal, MivoFindWidget("ConfirmationMediumWindow"));
    EXPECT_TRUE(MivoFindWidget("ConfirmationMediumOkButton")->enabled);
    PressKey(1);
    Steps(2);
    EXPECT_EQ(Top(), &screen) << "one Escape takes the one dialog away";
    EXPECT_EQ(answers, std::vector<bool>{false}) << "only the latest callback hears it";
    PressKey(1);
    Step();
    EXPECT_EQ(screen.log.back(), "Escape") << "the next Escape is the screen's own";
}

TEST_F(Confirmation, TwoQuestionsInOneFrameQueueOnePushWithTheLatest)
{
    confirmationPhase.Show("1", "UI: First", Record, false);
    confirmationPhase.Show("2", "UI: Second", Record, true);
    Steps(12);
    EXPECT_EQ(Depth(), 2);
    EXPECT_EQ(MivoFindWidget("Confirmation1Window"), nullptr);
    EXPECT_NE(MivoFindWidget("Confirmation2Window"), nullptr);
}

TEST_F(Confirmation, AQuestionAskedByTheCallbackFollowsTheAnsweredOne)
{
    ShowSettled("1", false, AskAgainOnAnswer);
    Click("Confirmation1NoButton");
    Steps(12);
    EXPECT_EQ(Depth(), 2);
    EXPECT_EQ(Top(), &confirmationPhase);
    EXPECT_EQ(MivoFindWidget("Confirmation1Window"), nullptr);
    ASSERT_NE(MivoFindWidget("Confirmation2Window"), nullptr);
    Click("Confirmation2OkButton");
    Step();
    EXPECT_EQ(Top(), &screen);
    EXPECT_EQ(answers, (std::vector<bool>{false, false}));
}

TEST_F(Confirmation, TwoClicksInOneFrameAnswerOnceAndDoNotPopTheScreenBeneath)
{
    ShowSettled("1", false);
    Click("Confirmation1YesButton");
    Click("Confirmation1YesButton");
    Steps(2);
    EXPECT_EQ(answers, std::vector<bool>{true});
    EXPECT_EQ(Top(), &screen);
    EXPECT_EQ(Depth(), 1);
}

TEST_F(Confirmation, KeysAndClicksUnderTheDialogDoNotReachTheScreenBeneath)
{
    ShowSettled("1", false);
    PressKey(28);
    input.mouseClicked[0] = 1;
    Step();
    EXPECT_EQ(screen.log, std::vector<std::string>{"Enter"}) << "Return and the click stayed with the dialog";
    EXPECT_EQ(Top(), &confirmationPhase) << "Return does not answer";
    PressKey(1);
    Step();
    PressKey(28);
    Step();
    EXPECT_EQ(screen.log.back(), "Return") << "with the dialog gone the screen hears Return again";
}

TEST_F(Confirmation, TheDialogTakesTheKeyboardFromAnEditBoxAndGivesItBack)
{
    LoadUI("[Components]\nBeneathEdit=EditBox:Root:MenuLabel:,0,-250,200,30\n");
    uiMain.LoadComponents("BeneathEdit");
    WeUIComponent* edit = MivoFindWidget("BeneathEdit");
    ASSERT_NE(edit, nullptr);
    static_cast<WeUIEditBox*>(edit)->enterReport = {41, nullptr};
    uiMain.SetFocus("BeneathEdit");
    ShowSettled("1", false);
    EXPECT_FALSE(uiMain.HasFocus(edit));
    uiMain.PostKeyDown(28);
    Step();
    EXPECT_TRUE(screen.events.empty()) << "Return typed while the dialog shows is not the edit box's";
    PressKey(1);
    Steps(2);
    EXPECT_TRUE(uiMain.HasFocus(edit));
    uiMain.PostKeyDown(28);
    Step();
    EXPECT_EQ(screen.events, std::vector<int32_t>{41})
        << "the check: the edit box reports Return when focused";
}

TEST_F(Confirmation, AMadeEventReachesOnlyThePhaseItIsGivenTo)
{
    WeUIEvent made = MivoMadeEvent(31);
    EXPECT_EQ(made.source, nullptr);
    EXPECT_EQ(made.callback, nullptr);
    EXPECT_EQ(made.arg1 + made.arg2 + made.arg3, 0);
    ShowSettled("1", false);
    EXPECT_TRUE(confirmationPhase.OnUIEvent(&made));
    Step();
    EXPECT_EQ(answers, std::vector<bool>{false});
    EXPECT_TRUE(uiMain.events.IsEmpty()) << "nothing was queued in the UI manager";
    EXPECT_TRUE(screen.events.empty());
}
