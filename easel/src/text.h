// Text output: the font table, the text style and justification, and drawing text.
#ifndef EASEL_TEXT_H
#define EASEL_TEXT_H

namespace easel::text {

// Step of EaselOpen: fills the font table with the four standard families, in order.
// False when one is missing (the library then reports -5).
bool InstallStandardFamilies();
// The text defaults of a freshly opened window: style (0, 0, 16), justification (0, 0).
void SetDefaults();
// The window is going away: release fonts and faces.
void Release();

}  // namespace easel::text

#endif  // EASEL_TEXT_H
