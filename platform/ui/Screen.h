#pragma once
// The screen cursor: crDefault (0) or crHourGlass (-11), as the platform numbers them.

namespace Screen {
constexpr int crDefault = 0;
constexpr int crHourGlass = -11;

void setCursor(int cursor);
int cursor();
}  // namespace Screen
