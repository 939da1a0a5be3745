#pragma once
// The screen cursor: crDefault (0) or crHourGlass (-11), as the platform numbers them.

class QDialog;

namespace Screen {
constexpr int crDefault = 0;
constexpr int crHourGlass = -11;

void setCursor(int cursor);
int cursor();

// Shows a dialog modally and returns its result; the default cursor is in force while it is
// shown and the cursor before it is put back afterwards.
int showModal(QDialog& dialog);
}  // namespace Screen
