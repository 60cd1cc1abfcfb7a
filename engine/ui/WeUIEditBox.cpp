#include "WeUIEditBox.h"

#include "WeConfig.h"
#include "WeInput.h"
#include "WeTimer.h"
#include "WeUIMain.h"
#include "win32/Win32Clipboard.h"

#include <cmath>
#include <cstring>

namespace
{

// Key codes of the input layer.
constexpr int32_t kKeyEscape = 1, kKeyBackspace = 14, kKeyEnter = 28, kKeyX = 45, kKeyC = 46, kKeyV = 47,
                  kKeyPadEnter = 156, kKeyHome = 199, kKeyLeft = 203, kKeyRight = 205, kKeyEnd = 207,
                  kKeyDelete = 211;
// Strings store their length in 16 bits wherever they are written out.
constexpr int32_t kMaxTextBytes = 65535;

int32_t Clamp(int32_t v, int32_t lo, int32_t hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

int32_t Nearest(float v)
{
    return static_cast<int32_t>(v < 0 ? v - 0.5f : v + 0.5f);
}

int32_t TextWidth(const WeUIStyle& style, const WeString& text)
{
    int32_t w = 0, h = 0;
    uiMain.painter->MeasureText(style.font.font, text, &w, &h);
    return w;
}

} // namespace

void WeUIEditBox::RebuildCentres()
{
    if (style)
        style->MeasureCharacterCenters(charCentres, text, x);
}

int32_t WeUIEditBox::CountCharacters(const WeString& s) const
{
    int32_t count = 0;
    for (int32_t at = 0; at < s.GetLength(); at = s.NextCharPos(at))
        ++count;
    return count;
}

void WeUIEditBox::ResetCursor()
{
    anchor = 0;
    cursor = text.GetLength();
    RebuildCentres();
}

void WeUIEditBox::Refresh(bool collapse)
{
    cursor = Clamp(cursor, 0, text.GetLength());
    if (collapse)
        anchor = cursor;
    RebuildCentres();
}

void WeUIEditBox::DeleteSelection()
{
    if (!HasSelection())
        return;
    const int32_t lo = SelectionLow(), hi = SelectionHigh();
    text = text.Substring(0, lo) + text.Substring(hi, text.GetLength());
    cursor = lo;
    anchor = cursor;
    RebuildCentres();
}

void WeUIEditBox::CopySelection()
{
    if (!HasSelection() || !win32::OpenClipboard(nullptr))
        return;
    win32::EmptyClipboard();
    const int32_t lo = Clamp(SelectionLow(), 0, text.GetLength());
    const int32_t hi = Clamp(SelectionHigh(), 0, text.GetLength());
    const size_t count = static_cast<size_t>(hi - lo);
    win32::HGLOBAL block = win32::GlobalAlloc(win32::GMEM_MOVEABLE, count + 1);
    if (block)
    {
        char* bytes = static_cast<char*>(win32::GlobalLock(block));
        if (bytes)
        {
            std::memcpy(bytes, text.GetData() + lo, count);
            bytes[count] = 0;
            win32::GlobalUnlock(block);
            if (!win32::SetClipboardData(win32::CF_TEXT, block))
                win32::GlobalFree(block);
        }
        else
            win32::GlobalFree(block);
    }
    win32::CloseClipboard();
}

void WeUIEditBox::Paste()
{
    if (!win32::OpenClipboard(nullptr))
        return;
    win32::HANDLE data = win32::GetClipboardData(win32::CF_TEXT);
    const char* bytes = data ? static_cast<const char*>(win32::GlobalLock(data)) : nullptr;
    if (bytes)
    {
        const WeString pasted(bytes, static_cast<int32_t>(strnlen(bytes, win32::GlobalSize(data))));
        win32::GlobalUnlock(data);
        int32_t roomChars = maxLength - CountCharacters(text);
        const int32_t roomBytes = kMaxTextBytes - text.GetLength();
        WeString kept;
        for (int32_t at = 0; at < pasted.GetLength() && roomChars > 0;)
        {
            const int32_t next = pasted.NextCharPos(at);
            if (static_cast<unsigned char>(pasted.GetData()[at]) < 32)
            {
                at = next;
                continue;
            }
            if (kept.GetLength() + next - at > roomBytes)
                break;
            kept.Append(pasted.GetData() + at, next - at);
            --roomChars;
            at = next;
        }
        cursor = Clamp(cursor, 0, text.GetLength());
        text.Insert(kept, cursor);
        cursor += kept.GetLength();
        anchor = cursor;
    }
    win32::CloseClipboard();
}

void WeUIEditBox::ReportEnter()
{
    QueueEvent(enterReport);
}

void WeUIEditBox::ReportEscape()
{
    QueueEvent(escapeReport);
}

void WeUIEditBox::HandleShortcut(int32_t key)
{
    if (!input.ctrl || input.alt || input.shift)
        return;
    if (key == kKeyX)
    {
        CopySelection();
        DeleteSelection();
    }
    else if (key == kKeyC)
        CopySelection();
    else if (key == kKeyV)
    {
        DeleteSelection();
        Paste();
    }
}

void WeUIEditBox::MoveCursor(int32_t to)
{
    cursor = to;
    Refresh(!input.shift);
}

bool WeUIEditBox::HandleEditKey(int32_t key)
{
    HandleShortcut(key);
    const bool collapsing = !input.shift && HasSelection();
    switch (key)
    {
    case kKeyEscape:
        ReportEscape();
        return true;
    case kKeyEnter:
    case kKeyPadEnter:
        ReportEnter();
        return true;
    case kKeyBackspace:
    case kKeyDelete:
        if (HasSelection())
            DeleteSelection();
        else
        {
            cursor = Clamp(cursor, 0, text.GetLength());
            const int32_t from = key == kKeyBackspace ? text.PrevCharPos(cursor) : cursor;
            const int32_t to = key == kKeyBackspace ? cursor : text.NextCharPos(cursor);
            text = text.Substring(0, from) + text.Substring(to, text.GetLength());
            cursor = from;
            Refresh(true);
        }
        return true;
    case kKeyHome:
        MoveCursor(0);
        return true;
    case kKeyEnd:
        MoveCursor(text.GetLength());
        return true;
    case kKeyLeft:
        MoveCursor(collapsing ? SelectionLow() : text.PrevCharPos(cursor));
        return true;
    case kKeyRight:
        MoveCursor(collapsing ? SelectionHigh() : text.NextCharPos(cursor));
        return true;
    default:
        return false;
    }
}

void WeUIEditBox::TypeCharacter(uint32_t code)
{
    WeString typed;
    typed.AppendChar(code);
    const int32_t length = text.GetLength();
    const int32_t lo = Clamp(SelectionLow(), 0, length), hi = Clamp(SelectionHigh(), 0, length);
    if (HasSelection())
    {
        // Even a replaced selection can grow the text by a few bytes.
        if (length - (hi - lo) + typed.GetLength() <= kMaxTextBytes)
        {
            text = text.Substring(0, lo) + typed + text.Substring(hi, length);
            cursor = lo + typed.GetLength();
        }
    }
    else if (maxLength > 0 && CountCharacters(text) < maxLength && length + 4 <= kMaxTextBytes)
    {
        cursor = Clamp(cursor, 0, length);
        text.Insert(typed, cursor);
        cursor += typed.GetLength();
    }
    Refresh(true);
}

void WeUIEditBox::OnKeyDown(int32_t key)
{
    if (HandleEditKey(key))
    {
        WeUIComponent::OnKeyUp(key);
        input.UseKeyClicked(key);
        return;
    }
    if (key >= 0)
        return;
    const uint32_t code = static_cast<uint32_t>(-static_cast<int64_t>(key));
    // A lone half of a surrogate pair has no UTF-8 form.
    if (code < 32 || (code >= 0xD800 && code <= 0xDFFF))
        return;
    TypeCharacter(code);
    WeUIComponent::OnKeyDown(key);
}

void WeUIEditBox::OnMouseMove(int32_t px, int32_t py, int32_t pz)
{
    pointerPos = text.GetLength();
    int32_t previous = 0, i = 0;
    for (const int32_t centre : charCentres)
    {
        if (previous <= px && px < centre)
        {
            pointerPos = i;
            break;
        }
        previous = centre;
        ++i;
    }
    if (selecting)
    {
        cursor = Clamp(pointerPos, 0, text.GetLength());
        RebuildCentres();
    }
    WeUIComponent::OnMouseMove(px, py, pz);
}

void WeUIEditBox::OnMouseDown(int32_t button)
{
    if (button == 0)
        selecting = true;
    RebuildCentres();
    OnMouseMove(uiMain.lastMouseX, uiMain.lastMouseY, 0);
    cursor = Clamp(pointerPos, 0, text.GetLength());
    anchor = cursor;
    RebuildCentres();
    WeUIComponent::OnMouseDown(button);
}

void WeUIEditBox::OnMouseUp(int32_t button)
{
    selecting = false;
    cursor = Clamp(pointerPos, 0, text.GetLength());
    RebuildCentres();
    WeUIComponent::OnMouseUp(button);
}

WeUIDefaultEditBoxStyle::WeUIDefaultEditBoxStyle(const WeString& styleName)
    : WeUIStyle(styleName),
      selectionColor(static_cast<uint32_t>(
          WeConfig::GetString("UI." + styleName + ".SelectionColor", "#80FFFFFF").ToInt(10))),
      cursorColor(static_cast<uint32_t>(
          WeConfig::GetString("UI." + styleName + ".CursorColor", "#FFFFFFFF").ToInt(10)))
{
}

void WeUIDefaultEditBoxStyle::MeasureCharacterCenters(WeList<int32_t>& out, const WeString& text,
                                                      int32_t x0) const
{
    WeUIStyle::MeasureCharacterCenters(out, text, x0 + marginLeft);
}

void WeUIDefaultEditBoxStyle::DrawMarks(const WeUIEditBox& box) const
{
    const int32_t length = box.text.GetLength();
    const int32_t lo = Clamp(box.SelectionLow(), 0, length), hi = Clamp(box.SelectionHigh(), 0, length);
    const int32_t w1 = TextWidth(*this, box.text.Substring(0, lo));
    const int32_t w2 = TextWidth(*this, box.text.Substring(lo, hi));
    const int32_t caretX = box.cursor < box.anchor ? w1 : w1 + w2;
    int32_t top = 0, bottom = box.h;
    if (texture)
    {
        int32_t tw = 0, th = 0;
        uiMain.painter->GetTextureSize(texture, &tw, &th);
        if (th > 0)
        {
            top = Nearest(static_cast<float>(box.h) * static_cast<float>(marginTop) / static_cast<float>(th));
            bottom = Nearest(static_cast<float>(box.h) *
                             (1.0f - static_cast<float>(marginBottom) / static_cast<float>(th)));
        }
    }
    const int32_t left = box.x + marginLeft;
    if (hi != lo)
        uiMain.painter->DrawRectangle(left + w1, box.y + top, w2, bottom - top, selectionColor, nullptr,
                                      BLENDMODE_NORMAL);
    const int64_t blink = static_cast<int64_t>(std::trunc(timer.absoluteTime * 2.0)) % 2;
    const uint32_t caret = blink == 1 ? cursorColor : (cursorColor & 0x00FFFFFFu);
    uiMain.painter->DrawRectangle(left + caretX, box.y + top, 1, bottom - top, caret, nullptr,
                                  BLENDMODE_NORMAL);
}

void WeUIDefaultEditBoxStyle::Draw(WeUIComponent* component)
{
    if (texture)
        DrawFrame(component->x, component->y, component->w, component->h,
                  WeUIColourToArgb(component->normalColour), texture);
    // Styles are shared by name, so the component may be of another type: then no marks.
    const WeUIEditBox* box = dynamic_cast<const WeUIEditBox*>(component);
    if (box && uiMain.HasFocus(box))
        DrawMarks(*box);
    DrawText(component->text, component->x + marginLeft, component->y,
             component->w - marginRight - marginLeft, component->h, component->normalColour,
             component->selected, component->hoverColour);
}
