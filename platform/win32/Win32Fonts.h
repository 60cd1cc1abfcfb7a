// Process-private font files, as AddFontResourceA and RemoveFontResourceA offer them: added
// files become application fonts of fontconfig, so faces in them resolve like installed ones.
#pragma once

// The number of fonts added (1 for a readable font file), 0 on failure.
int AddFontResourceA(const char* path);
// Non-zero when the file had been added and is now removed.
int RemoveFontResourceA(const char* path);
