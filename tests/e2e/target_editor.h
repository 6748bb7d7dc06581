// The names of the target editor (target_editor.cpp) that the programs
// driving it look for: its frame's class and its children's ids.
#pragma once

const char TARGET_CLASS[] = "FenlopTestTarget";
const int TARGET_EDIT_ID = 1;  // the edit control the phrases arrive in
const int TARGET_READ_ID = 2;  // hidden static: the text read on activation
const int TARGET_KEYS_ID = 3;  // hidden static: the keys the edit control got
