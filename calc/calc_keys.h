// Control ids of the calculator pad. The keys' ids are the engine's key
// codes as well, so the pad's dialog template (fenlop.rc) and the engine
// read them from here; macros, as the resource compiler takes no C++.
#pragma once

#define IDC_CALC_DISPLAY 1013  // visible: indicators and full-width number
#define IDC_CALC_ENTRY 1014    // hidden: the entry line, the working copy

// 1100-1102 and 1104-1112 are the zeros and digits in order, which the
// engine relies on; 1103 and 1115 are no keys.
#define CALC_KEY_ZERO 1100
#define CALC_KEY_DOUBLE_ZERO 1101
#define CALC_KEY_TRIPLE_ZERO 1102
#define CALC_KEY_ONE 1104
#define CALC_KEY_TWO 1105
#define CALC_KEY_THREE 1106
#define CALC_KEY_FOUR 1107
#define CALC_KEY_FIVE 1108
#define CALC_KEY_SIX 1109
#define CALC_KEY_SEVEN 1110
#define CALC_KEY_EIGHT 1111
#define CALC_KEY_NINE 1112
#define CALC_KEY_POINT 1113
#define CALC_KEY_COLLECT 1114
#define CALC_KEY_ADD 1116
#define CALC_KEY_SUBTRACT 1117
#define CALC_KEY_MULTIPLY 1118
#define CALC_KEY_DIVIDE 1119
#define CALC_KEY_EQUALS 1120
#define CALC_KEY_ATAN 1121  // the ％ key: arctangent in degrees
#define CALC_KEY_SQRT 1122
#define CALC_KEY_NEGATE 1123
#define CALC_KEY_BACK 1124
#define CALC_KEY_CLEAR 1125
#define CALC_KEY_ALL_CLEAR 1126
#define CALC_KEY_MEMORY_ADD 1127
#define CALC_KEY_MEMORY_SUBTRACT 1128
#define CALC_KEY_MEMORY_RECALL 1129
#define CALC_KEY_FINISH 1  // the Ent button: IDOK, so that Enter presses it
