// The combo box: the selected entry of a list of strings, with a button beside it that opens a
// drop-down list of labels under the box. A click on an entry selects it, closes the list and
// reports onChanged; a release anywhere outside the box closes the list too.
//
// Use from a screen:
//   box->SetItems(strings);           // rebuilds the entries, numbered 0.. in order; none selected
//   box->SelectItem(index, fallback); // no report; fallback (or none) when index does not exist
//   box->GetSelectedIndex();          // -1 when none is selected
//   box->onChanged = {id, callback};  // id 0: no report
#pragma once

#include "WeUIButton.h"
#include "WeUIComponent.h"
#include "WeUILabel.h"
#include "WeUIStyle.h"

class WeUIComboBox : public WeUIComponent
{
public:
    WeUIComboBox(WeUIComponent* parent, const WeString& name);
    const char* GetTypeName() const override { return "ComboBox"; }
    // The button gets style + "_Button", the list style + "_Window", the entries style + "_Label".
    void SetStyle(const WeString& styleName, const WeString& fallbackType) override;
    void OnMouseReleased(WeUIComponent* target) override;

    void SetItems(const WeList<WeString>& strings);
    void SelectItem(int32_t index, int32_t fallback);
    int32_t GetSelectedIndex() const;
    int32_t GetItemCount() const { return list->children.GetCount(); }
    WeUILabel* FindItem(int32_t index) const; // null when no entry has that number
    void ToggleList();

    // The callback of the button and the entries; true when the event is consumed.
    static bool OnInternalEvent(WeUIEvent* event);

    WeUIButton* button;
    WeUIWindow* list;
    WeUIEventPair onChanged;
    WeUILabel* selectedItem = nullptr;
    WeString itemStyleName;

private:
    void Select(WeUILabel* item);
};

class WeUIDefaultComboBoxStyle : public WeUIStyle
{
public:
    using WeUIStyle::WeUIStyle;
    // A frame and the text over the box narrowed by its button's width.
    void Draw(WeUIComponent* component) override;
};
