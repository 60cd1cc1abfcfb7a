#include "MivoUsersPhase.h"

#include "MivoConfirmationPhase.h"
#include "MivoMainMenuPhase.h"
#include "MivoMenuPhase.h"
#include "MivoScreen.h"
#include "MivoUserData.h"
#include "WeInput.h"
#include "WeLocalization.h"
#include "WeUIEditBox.h"
#include "WeUIMain.h"
#include "WeUIMultiList.h"

namespace
{

const char* const kUsersWindow = "UsersWindow";
const char* const kUsersList = "UsersMulti";
const char* const kCreateWindow = "CreateUserWindow";
const char* const kNameBox = "CreateUserNameEditBox";

bool IsTop(const WeAbstractPhase* phase)
{
    return phaseStack.GetTop() == phase;
}

// The cell in column 0 of the selected row, or null without a selection.
WeUIComponent* SelectedNameCell()
{
    WeUIMultiList* list = MivoUsersList();
    return list && list->GetSelectedRow() >= 0 ? list->GetCell(0, list->GetSelectedRow()) : nullptr;
}

} // namespace

bool MivoUsersPhase::scrollPending = false;

WeUIMultiList* MivoUsersList()
{
    return dynamic_cast<WeUIMultiList*>(MivoFindWidget(kUsersList));
}

WeUIEditBox* MivoCreateUserNameBox()
{
    return dynamic_cast<WeUIEditBox*>(MivoFindWidget(kNameBox));
}

void MivoUsersPhase::Enter()
{
    const bool loaded = userData.LoadUsers();
    uiMain.LoadComponents("Users");
    MivoSetClickId("UsersNewButton", kNewId);
    MivoSetClickId("UsersDeleteButton", kDeleteId);
    MivoSetClickId("UsersOkButton", kOkId);
    if (WeUIMultiList* list = MivoUsersList())
    {
        list->onMouseDown = {kListClickId, nullptr};
        // A row click reaches the list only as its mouse-up: the click's sound needs that too.
        list->onMouseUp = {kListClickId, nullptr};
        list->onDoubleClick = {kListDoubleClickId, nullptr};
    }
    FillList();
    uiMain.ShowComponent(kUsersWindow);
    if (!loaded)
        confirmationPhase.Show("Medium", LoadProblemKey(), OnLoadProblemRead, true, LostPlayersText());
    else
        OnLoadProblemRead(true);
}

const char* MivoUsersPhase::LoadProblemKey()
{
    return userData.UsersFileState() == MivoUsersFile::Damaged ? "UI: Player file damaged"
                                                               : "UI: Player file unreadable";
}

WeString MivoUsersPhase::LostPlayersText()
{
    WeString text;
    if (!userData.LostProfiles().empty())
        text += "\n" + localization.Translate("UI: Players lost") + " " + userData.LostProfileNames();
    if (userData.UnnamedProfilesLost())
        text += "\n" + localization.Translate("UI: Players not read");
    return text;
}

void MivoUsersPhase::OnLoadProblemRead(bool)
{
    if (userData.UserCount() == 0)
        phaseStack.Request(&createUserPhase, WePhaseCommand::Push);
}

void MivoUsersPhase::Leave()
{
    userData.SaveUsers();
    uiMain.CloseComponent(kUsersWindow);
}

void MivoUsersPhase::FillList()
{
    WeUIMultiList* list = MivoUsersList();
    if (!list)
        return;
    list->ClearSelection();
    list->Clear();
    for (int32_t i = 0; i < userData.UserCount(); ++i)
    {
        WeList<WeString> row;
        row.PushBack(userData.GetUser(i)->name);
        list->AddRow(&row);
    }
    list->SelectCell(0, userData.CurrentUserIndex());
    scrollPending = !MivoScrollRowIntoView(*list, userData.CurrentUserIndex());
}

void MivoUsersPhase::Update()
{
    WeUIMultiList* list = MivoUsersList();
    if (list && list->rowCount != userData.UserCount())
        FillList();
    // A list filled before its first layout shows its selection once it has one.
    if (list && scrollPending)
        scrollPending = !MivoScrollRowIntoView(*list, userData.CurrentUserIndex());
}

void MivoUsersPhase::ChooseSelectedUser()
{
    if (const WeUIComponent* cell = SelectedNameCell())
        userData.SelectUser(cell->text);
    MivoMenuPhase::ShowCurrentUser();
    phaseStack.Request(&mainMenuPhase, WePhaseCommand::Switch);
}

void MivoUsersPhase::OnDeleteAnswer(bool yes)
{
    const WeUIComponent* cell = SelectedNameCell();
    if (!yes || !cell)
        return;
    if (userData.UserCount() == 1)
    {
        confirmationPhase.Show("2", "UI: Cannot delete", nullptr, true);
        return;
    }
    userData.DeleteUser(cell->text);
    MivoMenuPhase::ShowCurrentUser();
}

bool MivoUsersPhase::OnUIEvent(WeUIEvent* event)
{
    if (!IsTop(this) || event->id < kNewId || event->id > kListDoubleClickId)
        return false;
    MivoPlaySelectionSound();
    switch (event->id)
    {
    case kNewId:
        phaseStack.Request(&createUserPhase, WePhaseCommand::Push);
        break;
    case kDeleteId:
        if (SelectedNameCell())
            confirmationPhase.Show("1", "UI: Delete user", OnDeleteAnswer, false);
        break;
    case kOkId:
    case kListDoubleClickId:
        // Nobody to play as: the main menu waits for a profile.
        if (userData.UserCount() > 0)
            ChooseSelectedUser();
        break;
    default:
        break;
    }
    return true;
}

void MivoUsersPhase::HandleInput()
{
    if (!IsTop(this) || !MivoEscapeClicked())
        return;
    MivoPlaySelectionSound();
    WeUIEvent ok = MivoMadeEvent(kOkId);
    OnUIEvent(&ok);
}

void MivoCreateUserPhase::Enter()
{
    uiMain.LoadComponents("CreateUser");
    if (WeUIEditBox* box = MivoCreateUserNameBox())
    {
        box->text = localization.Translate("UI: Player");
        box->maxLength = kNameCharacters;
        box->cursor = box->text.GetLength();
        box->anchor = box->cursor;
        box->Refresh(true);
        box->enterReport = {kReturnId, nullptr};
        box->escapeReport = {kEscapeId, nullptr};
        uiMain.SetFocus(kNameBox);
    }
    MivoSetClickId("CreateUserOkButton", kOkId);
    MivoSetClickId("CreateUserCancelButton", kCancelId);
    MivoDimWindow(kUsersWindow);
    uiMain.ShowComponent(kCreateWindow);
}

void MivoCreateUserPhase::Leave()
{
    uiMain.CloseComponent(kCreateWindow);
    MivoUndimWindow(kUsersWindow);
}

void MivoCreateUserPhase::ConfirmName()
{
    WeUIEditBox* box = MivoCreateUserNameBox();
    // A profile needs a name: with none, OK waits for one.
    if (!box || box->text.IsEmpty())
        return;
    if (userData.CreateUser(box->text))
    {
        MivoMenuPhase::ShowCurrentUser();
        phaseStack.Request(nullptr, WePhaseCommand::Pop);
    }
    else
        confirmationPhase.Show("1", "UI: User exists", nullptr, true);
}

bool MivoCreateUserPhase::OnUIEvent(WeUIEvent* event)
{
    if (!IsTop(this))
        return false;
    switch (event->id)
    {
    case kOkId:
    case kReturnId:
        MivoPlaySelectionSound();
        ConfirmName();
        return true;
    case kCancelId:
    case kEscapeId:
        MivoPlaySelectionSound();
        phaseStack.Request(nullptr, WePhaseCommand::Pop);
        return true;
    default:
        return false;
    }
}

void MivoCreateUserPhase::HandleInput()
{
    // Under the "User exists" dialog neither key is this screen's.
    if (!IsTop(this))
        return;
    if (MivoEscapeClicked())
    {
        phaseStack.Request(nullptr, WePhaseCommand::Pop);
        return;
    }
    // With the box focused, its own Return report (id 41) has confirmed this press already.
    const bool boxHasKeys = uiMain.HasFocus(MivoCreateUserNameBox());
    if (input.UseKeyClicked(kMivoReturnKey) && !boxHasKeys)
        ConfirmName();
}
