// The long-text screen (class LongStory): the chosen story of the language three lines a page,
// with its picture; each finished page adds into the practice block, which is committed when
// the screen closes or another story is chosen (command 3101, the story chooser).
#pragma once

inline constexpr char kLongStoryClass[] = "LongStory";
constexpr unsigned kCmdChooseStory = 3101;

bool long_story_register();
