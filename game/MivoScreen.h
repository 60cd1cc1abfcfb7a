// What every menu screen of the game does alike: find its widgets by name, give its buttons
// click ids, dim the window it covers, make its own events, play the selection sound and test
// Escape.
#pragma once

#include "WeUIComponent.h"

#include <cstdint>

class WeString;
class WeUIMultiList;

// Tables of a region's database; a map id is database x 1000 + table.
constexpr int32_t kMivoTablesPerRegion = 20;

// DirectInput key codes the menus test.
constexpr int32_t kMivoEscapeKey = 1;
constexpr int32_t kMivoReturnKey = 28;

// The widget of that name, or null when the loaded layouts do not define it.
WeUIComponent* MivoFindWidget(const WeString& name);
// The button reports a click (mouse up) with this id to the phases, and to no callback.
void MivoSetClickId(const WeString& name, int32_t id);
// The widget's text, or its number in plain decimal; nothing when there is no such widget.
void MivoSetWidgetText(const WeString& name, const WeString& text);
void MivoSetWidgetNumber(const WeString& name, int32_t value);
// Shown and usable, or invisible and unusable (colour alpha 1 or 0).
void MivoSetWidgetShown(const WeString& name, bool shown);
// A covered window: unusable, half transparent; and back.
void MivoDimWindow(const WeString& name);
void MivoUndimWindow(const WeString& name);
// An event a phase makes for itself: every field zero but the id.
WeUIEvent MivoMadeEvent(int32_t id);
// Scrolls the list the least that shows the whole row (column 0) in its view. False, and nothing
// moves, while the list has not been laid out yet.
bool MivoScrollRowIntoView(WeUIMultiList& list, int32_t row);
// The map configured for a region's table ("Mivo.Remap.Map" + region + the table in three
// digits); 0 when none.
int32_t MivoRemappedMap(int32_t region, int32_t table);
// The name a menu shows for a map: its table's name in its database ("db" + three digits +
// ".Table" + table + ".Name"), translated through "Map: " + name when the language has that key.
WeString MivoMapName(int32_t mapId);
// The menus' selection sound.
void MivoPlaySelectionSound();
// Consumes this frame's Escape click: true once per press, and no phase lower on the stack
// sees it.
bool MivoEscapeClicked();
// Consumes every key, mouse and controller click of this frame, so no phase lower on the stack
// reacts to it.
void MivoTakeAllClicks();
