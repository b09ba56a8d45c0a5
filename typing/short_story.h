// The short-text practice screen (class ShortStory): one random proverb at a time, endlessly,
// each finished line committed to the user's statistics at once; Esc ends it with the result
// dialog.
#pragma once

inline constexpr char kShortStoryClass[] = "ShortStory";

bool short_story_register();
