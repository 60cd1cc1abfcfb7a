// The one-line text entry: a caret and a selection over a UTF-8 text, the editing keys, typed
// characters under a length limit, mouse placement and drag selection, clipboard cut, copy and
// paste, and reports for Enter and Escape. Positions are byte offsets into the text.
#pragma once

#include "WeUIComponent.h"
#include "WeUIStyle.h"

class WeUIEditBox : public WeUIComponent
{
public:
    using WeUIComponent::WeUIComponent;
    void OnMouseDown(int32_t button) override;
    void OnMouseUp(int32_t button) override;
    void OnMouseMove(int32_t px, int32_t py, int32_t pz) override;
    // Editing keys are consumed; typed characters (negative keys) are inserted under the limit.
    void OnKeyDown(int32_t key) override;
    const char* GetTypeName() const override { return "EditBox"; }

    // Selects the whole text, so that typing replaces it.
    void ResetCursor();
    // Clamps the cursor; with collapse the selection is dropped.
    void Refresh(bool collapse);
    void DeleteSelection();
    // The selected bytes to the clipboard; nothing without a selection.
    void CopySelection();
    // The clipboard text at the cursor, without control characters and cut to whole characters
    // so that the text stays within maxLength characters and the string's length.
    void Paste();
    void ReportEnter();
    void ReportEscape();
    // Ctrl+X, Ctrl+C and Ctrl+V; never consumes the key.
    void HandleShortcut(int32_t key);
    // True when the key was an editing key and is used up.
    bool HandleEditKey(int32_t key);
    int32_t SelectionLow() const { return anchor < cursor ? anchor : cursor; }
    int32_t SelectionHigh() const { return anchor < cursor ? cursor : anchor; }
    bool HasSelection() const { return anchor != cursor; }

    WeUIEventPair enterReport, escapeReport;
    int32_t maxLength = 30; // characters, not bytes
    bool selecting = false;
    int32_t cursor = 0;
    int32_t anchor = 0;
    int32_t pointerPos = 0;
    WeList<int32_t> charCentres; // per byte: screen x of the middle of its character

private:
    void RebuildCentres();
    void TypeCharacter(uint32_t code);
    void MoveCursor(int32_t to);
    int32_t CountCharacters(const WeString& s) const;
};

class WeUIDefaultEditBoxStyle : public WeUIStyle
{
public:
    explicit WeUIDefaultEditBoxStyle(const WeString& styleName);
    // Frame, then when focused the selection band and the blinking caret, then the text.
    void Draw(WeUIComponent* component) override;
    // Laid out from x0 plus the left margin. The box's margins are taken as configured, unscaled,
    // so that text and caret sit just inside the frame's corners, which keep their texture size.
    void MeasureCharacterCenters(WeList<int32_t>& out, const WeString& text, int32_t x0) const override;

    uint32_t selectionColor;
    uint32_t cursorColor;

private:
    void DrawMarks(const WeUIEditBox& box) const;
};
