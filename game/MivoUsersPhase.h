// The screens on which players choose, create and delete their profiles: the users list and the
// create-user dialog pushed over it. The profiles themselves belong to the user data store.
#pragma once

#include "WePhaseStack.h"
#include "WeString.h"

#include <cstdint>

class WeUIEditBox;
class WeUIMultiList;

class MivoUsersPhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kNewId = 16;
    static constexpr int32_t kDeleteId = 17;
    static constexpr int32_t kOkId = 19;
    static constexpr int32_t kListClickId = 22;
    static constexpr int32_t kListDoubleClickId = 23;

    // Reloads the profiles from users.dat and lists them; with nobody yet, the create-user
    // dialog comes up at once, or once the player has read why users.dat could not be loaded.
    void Enter() override;
    // Saves the profiles.
    void Leave() override;
    // Only while this screen is on top: a dialog above it gets its own events.
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape is OK.
    void HandleInput() override;
    // Lists the profiles again once one was created or deleted; scrolls to the selected row once
    // the list has been laid out.
    void Update() override;

    // One row per profile with its name; the current one's row selected (row 0 without one) and
    // scrolled into the list's view.
    static void FillList();
    // The text that says what went wrong with users.dat, and the players it lost, in the
    // player's language ("\n" first; empty when none was lost).
    static const char* LoadProblemKey();
    static WeString LostPlayersText();
    // The answer to that message: with nobody to play as, the create-user dialog.
    static void OnLoadProblemRead(bool);
    // The answer to the delete question.
    static void OnDeleteAnswer(bool yes);

private:
    // The selected profile becomes current and the main menu comes up.
    static void ChooseSelectedUser();

    static bool scrollPending; // the selected row waits for the list's first layout to be shown
};

class MivoCreateUserPhase : public WeAbstractPhase
{
public:
    static constexpr int32_t kOkId = 30;
    static constexpr int32_t kCancelId = 31;
    static constexpr int32_t kReturnId = 41; // the edit box's Return
    static constexpr int32_t kEscapeId = 42; // the edit box's Escape
    static constexpr int32_t kNameCharacters = 15;

    // The default name in the focused edit box, the cursor after it; the list dimmed.
    void Enter() override;
    void Leave() override;
    bool OnUIEvent(WeUIEvent* event) override;
    // Escape cancels; Return confirms unless the edit box has reported it already.
    void HandleInput() override;

    // A new profile of the typed name, at once the current one named in the menus' corner, or
    // "User exists" and the dialog stays.
    void ConfirmName();
};

extern MivoUsersPhase usersPhase;
extern MivoCreateUserPhase createUserPhase;

// The users list and the name box of the loaded layouts, or null.
WeUIMultiList* MivoUsersList();
WeUIEditBox* MivoCreateUserNameBox();
