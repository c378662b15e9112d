// Texts the user types into an editor's fields go into the record's fixed
// text fields whole or not at all, the same way on every page: a text that
// does not fit is refused (never cut), and so is one that would break the
// tags of the waveform file it goes into. A refusal goes to the status line,
// worded in characters (what the user counts, whatever their bytes), and
// the field shows the stored text again.
//
// A numeric field shows a stored value outside its range as it is (a
// project may hold one); such a value is refused when it is committed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/BoundedText.h"

// The whole text of a string control or text box (the longest field takes
// 1,023 characters, of up to 4 bytes each).
std::string TypedCtrlText(int panel, int control);

// "40 characters, at most 31 of these fit" (maxBytes is the field's room
// without its terminator).
std::string TextTooLongDetail(std::string_view text, std::size_t maxBytes);
// "Error: <What> too long: " + the detail + "." (what begins with a capital).
std::string TextTooLongMessage(const char* what, std::string_view text, std::size_t maxBytes);
// "The path of <subject> is too long: " + the detail + "." for a popup; path
// null (a path longer than the file dialog could hand over) leaves the
// detail out.
std::string PathTooLongText(const char* subject, const char* path, std::size_t maxBytes);
// `Error: <What> not taken: a "{" or "}" without its partner would break
// the waveform file's tags.`
std::string UnpairedBraceMessage(const char* what);

// The checks; true when the text fits, else the message on the status line.
bool TypedTextFits(std::string_view text, std::size_t maxBytes, const char* what);
bool TypedTagTextValid(std::string_view text, std::size_t maxBytes, const char* what);

// Stores text into field when it fits; otherwise the message and false.
template <std::size_t N>
bool TakeTypedText(cz::Text<N>* field, std::string_view text, const char* what) {
  if (!TypedTextFits(text, N - 1, what)) return false;
  field->AssignExact(text);
  return true;
}
// The same for a text that goes into a tag of the waveform file.
template <std::size_t N>
bool TakeTypedTagText(cz::Text<N>* field, std::string_view text, const char* what) {
  if (!TypedTagTextValid(text, N - 1, what)) return false;
  field->AssignExact(text);
  return true;
}

// True when the numeric control's value lies outside its range, with
// *message "<label> <value> <unit> lies outside <min> to <max> <unit>."
// (unit may be empty); false, and *message untouched, while it lies within.
bool NumericOutsideRange(int panel, int control, const char* label, const char* unit, std::string* message);
// The same for a field the command uses: a dimmed one is passed over.
bool UsedNumericOutsideRange(int panel, int control, const char* label, const char* unit, std::string* message);
