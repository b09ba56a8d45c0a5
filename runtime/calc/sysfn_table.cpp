#include "runtime/calc/sysfn_table.h"

#include "platform/kernel/codepage.h"
#include "platform/kernel/resource.h"
#include "runtime/base/hash.h"
#include "runtime/base/str.h"
#include "runtime/base/symdict.h"
#include "runtime/calc/fn_common.h"
#include "runtime/calc/value.h"

#include <cstring>

namespace {

struct SysFnRow {
    int16_t index;
    uint8_t result_type;
    uint8_t category;
    uint8_t scope;
    const char* signature;
    uint8_t flags;
};

// index, result, category, scope (1 calc icons only, 2 anywhere), signature, flags; the name
// (string entry 8816 + index) in the comment.
const SysFnRow kRows[kSysFnCount] = {
    {  0, kValNumber,   1, 2, "N",             2}, // ABS
    {  1, kValInteger,   1, 2, "N",             2}, // INT
    {  2, kValReal,    1, 2, "R",             2}, // ATAN
    {  3, kValReal,    1, 2, "R",             2}, // COS
    {  4, kValReal,    1, 2, "R",             2}, // SIN
    {  5, kValReal,    1, 2, "R",             2}, // TAN
    {  6, kValReal,    1, 2, "R",             2}, // EXP
    {  7, kValReal,    1, 2, "R",             2}, // LN
    {  8, kValReal,    1, 2, "R",             2}, // EXP10
    {  9, kValReal,    1, 2, "R",             2}, // LOG10
    { 10, kValInteger,   1, 2, "N",             2}, // Sign
    { 11, kValReal,    1, 2, "R",             2}, // SQRT
    { 12, kValString,   2, 2, "SLL",           2}, // SubStr
    { 13, kValReal,    1, 2, "Rl",            2}, // Round
    { 14, kValNumber,   1, 2, "NN",            2}, // MOD
    { 15, kValInteger,  99, 2, "a.",            2}, // NBF__
    { 16, kValInteger,   3, 2, "L",             2}, // SetCursor
    { 17, kValInteger,   3, 2, "",              0}, // WaitMouseUp
    { 18, kValInteger,   5, 1, "Sss",           0}, // JumpOutReturn
    { 19, kValString,   2, 2, "S",             2}, // UpperCase
    { 20, kValString,   2, 2, "S",             2}, // LowerCase
    { 21, kValInteger,   2, 2, "S",             2}, // CharCount
    { 22, kValString,   2, 2, "SS",            2}, // Strip
    { 23, kValString,   2, 2, "SS",            2}, // Reduce
    { 24, kValString,   2, 2, "SL",            2}, // RepeatString
    { 25, kValInteger,   2, 2, "SS",            2}, // Find
    { 26, kValInteger,   2, 2, "SS",            2}, // RFind
    { 27, kValString,   2, 2, "SSS",           2}, // Replace
    { 28, kValString,   2, 2, "SSS",           2}, // ReplaceWord
    { 29, kValInteger,   2, 2, "S",             2}, // WordCount
    { 30, kValString,   2, 2, "LS",            2}, // GetWord
    { 31, kValInteger,   2, 2, "S",             2}, // NumCount
    { 32, kValNumber,   2, 2, "LS",            2}, // GetNumber
    { 33, kValString,   4, 2, "L",             2}, // Date
    { 34, kValString,   4, 2, "L",             2}, // FullDate
    { 35, kValInteger,   4, 2, "L",             2}, // Day
    { 36, kValInteger,   4, 2, "L",             2}, // Month
    { 37, kValInteger,   4, 2, "L",             2}, // Year
    { 38, kValString,   4, 2, "L",             2}, // DayName
    { 39, kValString,   4, 2, "L",             2}, // MonthName
    { 40, kValInteger,   4, 2, "LLL",           2}, // DateToNum
    { 41, kValInteger,   3, 2, "LL",            2}, // ZoomRect
    { 42, kValNumber,   1, 2, "RRR",           2}, // Random
    { 43, kValInteger,   3, 1, "l",             0}, // Quit
    { 44, kValInteger,   3, 2, "",              2}, // Test
    { 45, kValInteger,   7, 2, "L",             2}, // SetLayer
    { 46, kValAny,    15, 2, "A",             6}, // List
    { 47, kValInteger,  14, 2, "a",             0}, // ResetBandwidth
    { 48, kValInteger,  14, 2, "al",            0}, // Bandwidth
    { 49, kValString,  14, 2, "SSll",          8}, // PostURL
    { 50, kValString,  10, 2, "L",             2}, // IconTitle
    { 51, kValInteger,   3, 2, "",              2}, // Beep
    { 52, kValInteger,   5, 1, "Sss",           0}, // JumpFile
    { 53, kValInteger,   7, 1, "LLLLL",         2}, // Line
    { 54, kValAny,     2, 2, "Sss",           4}, // Eval
    { 55, kValInteger,   3, 2, "S",             0}, // PressKey
    { 56, kValInteger,   3, 1, "",              0}, // Restart
    { 57, kValInteger,   3, 1, "l",             0}, // QuitRestart
    { 58, kValAny,     1, 2, "L",             2}, // ArrayGet
    { 59, kValAny,     1, 2, "LA",            2}, // ArraySet
    { 60, kValInteger,   8, 1, "SS",           10}, // WriteExtFile
    { 61, kValString,   8, 1, "S",            10}, // ReadExtFile
    { 62, kValString,   2, 2, "S",             2}, // Char
    { 63, kValInteger,   6, 2, "L",             0}, // VideoDisplay
    { 64, kValInteger,   6, 2, "LL",            0}, // VideoSound
    { 65, kValInteger,   6, 2, "L",             0}, // VideoSpeed
    { 66, kValInteger,   7, 1, "LLLLL",         2}, // Box
    { 67, kValInteger,   7, 1, "LLLLL",         2}, // Circle
    { 68, kValAny,     2, 2, "Sss",           4}, // EvalAssign
    { 69, kValInteger,   3, 1, "vvvvvvvvvv",    0}, // Initialize
    { 70, kValInteger,   3, 2, "L",             2}, // ShowCursor
    { 71, kValString,  13, 2, "",              2}, // Application
    { 72, kValString,   2, 2, "Sl",            2}, // Capitalize
    { 73, kValString,   2, 2, "SLls",          2}, // GetLine
    { 74, kValInteger,  10, 2, "Ll",            2}, // Preload
    { 75, kValInteger,   7, 2, "LL",            2}, // Overlapping
    { 76, kValString,   2, 2, "SLls",          2}, // DeleteLine
    { 77, kValString,   2, 2, "SLSs",          2}, // ReplaceLine
    { 78, kValString,   2, 2, "SLSs",          2}, // InsertLine
    { 79, kValInteger,   3, 1, "",              2}, // PrintScreen
    { 80, kValInteger,  10, 2, "l",             2}, // ReplaceSelection
    { 81, kValInteger,   7, 1, "Lllll",         2}, // DrawLine
    { 82, kValInteger,   7, 1, "Lllll",         2}, // DrawBox
    { 83, kValInteger,   7, 1, "Lllll",         2}, // DrawCircle
    { 84, kValInteger,   8, 1, "SS",           10}, // AppendExtFile
    { 85, kValInteger,  99, 2, "a.",            2}, // InfoWindRect
    { 86, kValInteger,  99, 2, "a.",            2}, // InfoWindFull
    { 87, kValInteger,   6, 2, "SL",            0}, // VideoText
    { 88, kValInteger,   5, 1, "Sss",           0}, // JumpFileReturn
    { 89, kValInteger,   5, 1, "Sss",           0}, // JumpOut
    { 90, kValInteger,   5, 1, "L",             0}, // GoTo
    { 91, kValInteger,   3, 1, "LL",            2}, // MoveWindow
    { 92, kValInteger,   3, 1, "LL",            2}, // ResizeWindow
    { 93, kValInteger,   2, 2, "Ss",            2}, // LineCount
    { 94, kValReal,    1, 2, "R",             2}, // ASIN
    { 95, kValReal,    1, 2, "R",             2}, // ACOS
    { 96, kValInteger,   8, 2, "Sl",           10}, // DeleteFile
    { 97, kValInteger,   8, 2, "S",             2}, // FileType
    { 98, kValInteger,   3, 2, "l",             0}, // SaveRecords
    { 99, kValString,   8, 2, "Ss",           10}, // Catalog
    {100, kValInteger,   8, 2, "S",            10}, // CreateFolder
    {101, kValInteger,   3, 2, "",              0}, // TextCopy
    {102, kValInteger,   3, 2, "",              0}, // TextCut
    {103, kValInteger,   3, 2, "",              0}, // TextPaste
    {104, kValString,  99, 2, "R",             2}, // PostPict
    {105, kValInteger,   5, 2, "l",             0}, // TimeOutGoTo
    {106, kValInteger,   5, 2, "s",             0}, // ResumeFile
    {107, kValString,   5, 2, "s",             2}, // ResumeFileName
    {108, kValInteger,   3, 1, "L",             2}, // ShowMenuBar
    {109, kValInteger,  99, 2, "a.",            2}, // KillTrigger
    {110, kValInteger,  10, 1, "L",             2}, // DisplayIcon
    {111, kValInteger,   3, 1, "L",             2}, // ShowTitleBar
    {112, kValInteger,   3, 2, "",              2}, // FlushKeys
    {113, kValInteger,  10, 1, "",              2}, // EraseAll
    {114, kValInteger,  99, 2, "a.",            0}, // SetVideoDevice
    {115, kValString,  10, 2, "ll",            2}, // IconLogTitle
    {116, kValInteger,  10, 1, "L",             2}, // EraseIcon
    {117, kValInteger,   5, 1, "Sss",           0}, // JumpPrintReturn
    {118, kValString,   2, 2, "SLLS",          2}, // ReplaceString
    {119, kValInteger,  10, 2, "Ll",            2}, // LayerDisplay
    {120, kValInteger,   3, 2, "l",             0}, // SyncPoint
    {121, kValInteger,   3, 2, "R",             0}, // SyncWait
    {122, kValInteger,  13, 2, "SSS",           2}, // SetProperty
    {123, kValString,  13, 2, "SS",            2}, // GetProperty
    {124, kValInteger,  13, 2, "S",             0}, // CloseWindow
    {125, kValInteger,  97, 2, "a.",            2}, // SetMoov
    {126, kValAny,    99, 2, "La.",           2}, // BackDoor
    {127, kValInteger,  10, 1, "L",             2}, // DisplayIconNoErase
    {128, kValInteger,  97, 2, "a.",            2}, // RefreshScreen
    {129, kValInteger,   8, 2, "SS",           10}, // RenameFile
    {130, kValString,  99, 2, "N",             2}, // DisableCmdSpace
    {131, kValInteger,  97, 2, "a.",            2}, // CheckVolume
    {132, kValInteger,  97, 2, "a.",            2}, // OpenDigitalMovie
    {133, kValInteger,  10, 2, "l",             2}, // IconLogID
    {134, kValInteger,   6, 2, "",              0}, // VideoPause
    {135, kValInteger,   6, 2, "L",             0}, // VideoPlay
    {136, kValInteger,   6, 2, "L",             0}, // VideoStep
    {137, kValInteger,   6, 2, "L",             0}, // VideoSeek
    {138, kValInteger,   6, 2, "LLL",           0}, // VideoChromaKey
    {139, kValString,   6, 2, "SL",            0}, // VideoSend
    {140, kValInteger,   9, 2, "L",             2}, // PageHistoryID
    {141, kValString,   9, 2, "Ll",            2}, // PageHistoryTitle
    {142, kValInteger,   9, 2, "",              2}, // PurgePageHistory
    {143, kValInteger,   9, 2, "L",             2}, // PageFoundID
    {144, kValString,   9, 2, "Ll",            2}, // PageFoundTitle
    {145, kValString,   9, 2, "Lll",           2}, // GetTextContaining
    {146, kValInteger,   9, 2, "Sllllll",       0}, // FindText
    {147, kValString,   9, 2, "L",             2}, // Keywords
    {148, kValInteger,  10, 2, "L",             2}, // IconNext
    {149, kValInteger,  10, 2, "L",             2}, // IconPrev
    {150, kValInteger,  10, 2, "Ll",            2}, // IconNumChildren
    {151, kValInteger,  10, 2, "Ll",            2}, // IconFirstChild
    {152, kValInteger,  10, 2, "Ll",            2}, // IconLastChild
    {153, kValInteger,  10, 2, "L",             2}, // IconParent
    {154, kValInteger,  10, 2, "LLl",           2}, // ChildIDToNum
    {155, kValInteger,  10, 2, "LLl",           2}, // ChildNumToID
    {156, kValString,  10, 2, "L",             2}, // IconTypeName
    {157, kValInteger,   9, 2, "Ll",            2}, // PageContaining
    {158, kValString,  10, 2, "L",             2}, // IconTitleShort
    {159, kValInteger,  11, 1, "Ls",            0}, // OLEDoVerb
    {160, kValInteger,  11, 1, "Ll",            0}, // OLEIconize
    {161, kValInteger,  11, 1, "Ll",            0}, // OLESetAutoUpdate
    {162, kValInteger,  11, 1, "L",             0}, // OLEUpdateNow
    {163, kValInteger,  11, 1, "Ll",            0}, // OLESetTrigger
    {164, kValInteger,  11, 2, "L",             0}, // OLEGetTrigger
    {165, kValInteger,  11, 1, "Ls",            0}, // OLESetTriggerVerb
    {166, kValString,  11, 2, "L",             0}, // OLEGetTriggerVerb
    {167, kValString,  11, 2, "L",             0}, // OLEGetObjectVerbs
    {168, kValInteger,   3, 1, "L",             0}, // MediaPlay
    {169, kValInteger,   3, 1, "LL",            0}, // MediaPause
    {170, kValInteger,   3, 1, "LL",            0}, // MediaSeek
    {171, kValInteger,   2, 2, "S",             2}, // Code
    {172, kValInteger,  10, 2, "L",             2}, // IconType
    {173, kValInteger,   7, 2, "L",             2}, // SetMode
    {174, kValInteger,   7, 2, "Ll",            2}, // SetFill
    {175, kValInteger,   7, 2, "Ll",            2}, // SetFrame
    {176, kValInteger,   7, 2, "L",             2}, // SetLine
    {177, kValInteger,   7, 2, "LLL",           2}, // RGB
    {178, kValInteger,   3, 2, "S",             2}, // Trace
    {179, kValInteger,  10, 2, "L",             2}, // GetMovieInstance
    {180, kValInteger,  10, 2, "L",             2}, // Unload
    {181, kValInteger,   3, 1, "L",             2}, // ShowTaskBar
    {182, kValInteger,  14, 2, "Ss",            0}, // GoToNetPage
    {183, kValString,  14, 1, "S",             8}, // NetDownload
    {184, kValInteger,  14, 1, "Ss",            0}, // NetDownloadBackground
    {185, kValInteger,  14, 2, "L",             0}, // NetPercentDone
    {186, kValInteger,  14, 2, "L",             0}, // NetError
    {187, kValString,  14, 2, "L",             0}, // NetDownloadName
    {188, kValString,  99, 2, "a.",            2}, // KalwaveStatus
    {189, kValInteger,  14, 1, "L",             0}, // NetAbort
    {190, kValInteger,  99, 2, "Sl",            0}, // (no name)
    {191, kValInteger,  14, 2, "Sl",            0}, // NetFileSize
    {192, kValAny,    14, 2, "Sll",           0}, // NetLastModDate
    {193, kValString,  14, 1, "Sl",            8}, // ReadURL
    {194, kValInteger,  99, 2, "",              2}, // OldStyleScrollBars
    {195, kValInteger,  14, 2, "Ll",            2}, // NetPreload
    {196, kValString,   2, 2, "SLl",           2}, // MapChars
    {197, kValInteger,   7, 2, "slal",          0}, // SetPalette
    {198, kValAny,    13, 2, "AAa",           2}, // TestPlatform
    {199, kValInteger,   3, 2, "Sa.",           2}, // NewObject
    {200, kValAny,     3, 2, "L",             2}, // DeleteObject
    {201, kValAny,     3, 2, "LSa.",          2}, // CallObject
    {202, kValAny,     3, 2, "SSa.",          2}, // CallParentObject
    {203, kValInteger,   3, 2, "LYA",           2}, // SetIconProperty
    {204, kValAny,     3, 2, "LY",            2}, // GetIconProperty
    {205, kValInteger,   3, 2, "LYA",           2}, // SetSpriteProperty
    {206, kValAny,     3, 2, "LY",            2}, // GetSpriteProperty
    {207, kValAny,     3, 2, "LYaaaaaaaaaa",  2}, // CallIcon
    {208, kValAny,     3, 2, "LYaaaaaaaaaa",  2}, // CallSprite
    {209, kValInteger,  15, 2, "AAl",           0}, // AddLinear
    {210, kValInteger,  15, 2, "AAAl",          0}, // AddProperty
    {211, kValAny,    15, 2, "ALlllllllll",   2}, // Array
    {212, kValInteger,  15, 2, "A",             2}, // ListCount
    {213, kValInteger,  15, 2, "AL",            0}, // DeleteAtIndex
    {214, kValInteger,  15, 2, "AA",            0}, // DeleteAtProperty
    {215, kValAny,    15, 2, "AL",            2}, // PropertyAtIndex
    {216, kValInteger,  15, 2, "AAl",           2}, // FindValue
    {217, kValInteger,  15, 2, "AAl",           2}, // FindProperty
    {218, kValInteger,  15, 2, "AAL",           0}, // SetAtIndex
    {219, kValInteger,  15, 2, "Aaaaaaaaaa",    0}, // SortByValue
    {220, kValInteger,  15, 2, "Aaaaaaaaaa",    0}, // SortByProperty
    {221, kValAny,    15, 2, "AL",            2}, // ValueAtIndex
    {222, kValAny,    15, 2, "A",             2}, // CopyList
    {223, kValInteger,   1, 2, "Alllllllll",    2}, // Min
    {224, kValInteger,   1, 2, "Alllllllll",    2}, // Max
    {225, kValAny,    15, 2, "AAaa",          2}, // Rect
    {226, kValAny,    15, 2, "LL",            2}, // Point
    {227, kValInteger,  15, 2, "ALL",           0}, // InflateRect
    {228, kValInteger,  15, 2, "AA",            2}, // PointInRect
    {229, kValAny,    15, 2, "AA",            2}, // Intersect
    {230, kValInteger,  15, 2, "ALL",           0}, // OffsetRect
    {231, kValAny,    15, 2, "AA",            2}, // UnionRect
    {232, kValInteger,   1, 2, "Alllllllll",    2}, // Sum
    {233, kValInteger,   1, 2, "Alllllllll",    2}, // Average
    {234, kValReal,    1, 2, "R",             2}, // Fraction
    {235, kValSymbol,   2, 2, "A",             2}, // Symbol
    {236, kValString,   2, 2, "A",             2}, // String
    {237, kValReal,    1, 2, "A",             2}, // Real
    {238, kValNumber,   1, 2, "A",             2}, // Number
    {239, kValSymbol,   3, 2, "A",             2}, // TypeOf
    {240, kValInteger,   3, 2, "L",             0}, // SetKeyboardFocus
    {241, kValInteger,   3, 2, "AA",            0}, // SendEventReply
    {242, kValInteger,   3, 2, "",              2}, // FlushEventQueue
    {243, kValAny,     3, 2, "Sa.",           2}, // CallTarget
    {244, kValInteger,  16, 1, "S",            10}, // PasteModel
    {245, kValAny,    16, 2, "Sl",            6}, // GetVariable
    {246, kValInteger,  16, 2, "ASl",           6}, // SetVariable
    {247, kValAny,    16, 2, "Sl",            6}, // GetInitialValue
    {248, kValInteger,  16, 2, "ASl",           6}, // SetInitialValue
    {249, kValInteger,  16, 1, "LS",            6}, // SetIconTitle
    {250, kValInteger,  16, 2, "ll",            2}, // SelectIcon
    {251, kValInteger,  16, 2, "",              2}, // CutIcons
    {252, kValInteger,  16, 2, "",              2}, // CopyIcons
    {253, kValInteger,  16, 2, "",              2}, // PasteIcons
    {254, kValInteger,  16, 2, "",              2}, // ClearIcons
    {255, kValInteger,  16, 2, "LYl",           2}, // SetPasteHand
    {256, kValString,  16, 2, "L",             2}, // GetCalc
    {257, kValInteger,  16, 2, "LS",            6}, // SetCalc
    {258, kValInteger,  16, 1, "LSl",          10}, // ImportMedia
    {259, kValInteger,  16, 2, "LL",            2}, // SetEmpty
    {260, kValInteger,   3, 2, "L",             2}, // ShowWindow
    {261, kValInteger,  10, 1, "A",             2}, // IconID
    {262, kValInteger,  16, 1, "L",             2}, // DisplayResponse
    {263, kValInteger,  16, 1, "L",             2}, // EraseResponse
    {264, kValString,  17, 2, "",              2}, // CMIGetUserID
    {265, kValString,  17, 2, "",              2}, // CMIGetUserName
    {266, kValString,  17, 2, "",              2}, // CMIGetLocation
    {267, kValString,  17, 2, "",              2}, // CMIGetStatus
    {268, kValInteger,  17, 2, "",              2}, // CMIGetScore
    {269, kValInteger,  17, 2, "",              2}, // CMIGetAttempt
    {270, kValString,  17, 2, "",              2}, // CMIGetData
    {271, kValString,  17, 2, "",              2}, // CMIGetConfig
    {272, kValString,  17, 2, "",              2}, // CMIGetPath
    {273, kValInteger,  17, 2, "",              2}, // CMIGetTime
    {274, kValInteger,  17, 2, "",              2}, // CMIIsCompleted
    {275, kValInteger,  17, 2, "",              2}, // CMIIsStarted
    {276, kValInteger,  17, 2, "S",             2}, // CMISetLocation
    {277, kValInteger,  17, 2, "S",             2}, // CMISetStatus
    {278, kValInteger,  17, 2, "L",             2}, // CMISetScore
    {279, kValInteger,  17, 2, "S",             2}, // CMISetData
    {280, kValInteger,  17, 2, "L",             2}, // CMISetTime
    {281, kValInteger,  17, 2, "",              2}, // CMISetCompleted
    {282, kValInteger,  17, 2, "",              2}, // CMISetStarted
    {283, kValInteger,  17, 2, "",              2}, // CMIReadComplete
    {284, kValInteger,  17, 2, "",              2}, // CMIIsPassed
    {285, kValInteger,  17, 2, "",              2}, // CMIIsFailed
    {286, kValString,  17, 2, "",              2}, // CMIGetCourseID
    {287, kValInteger,  17, 2, "",              2}, // CMIGetObjCount
    {288, kValString,  17, 2, "L",             2}, // CMIGetObjID
    {289, kValInteger,  17, 2, "L",             2}, // CMIGetObjScore
    {290, kValString,  17, 2, "L",             2}, // CMIGetObjStatus
    {291, kValInteger,  17, 2, "L",             2}, // CMIIsObjCompleted
    {292, kValInteger,  17, 2, "L",             2}, // CMIIsObjStarted
    {293, kValInteger,  17, 2, "L",             2}, // CMIIsObjPassed
    {294, kValInteger,  17, 2, "L",             2}, // CMIIsObjFailed
    {295, kValInteger,  17, 2, "L",             2}, // CMIGetAttemptScore
    {296, kValString,  17, 2, "L",             2}, // CMIGetAttemptStatus
    {297, kValInteger,  17, 2, "L",             2}, // CMIIsAttemptCompleted
    {298, kValInteger,  17, 2, "L",             2}, // CMIIsAttemptStarted
    {299, kValInteger,  17, 2, "L",             2}, // CMIIsAttemptPassed
    {300, kValInteger,  17, 2, "L",             2}, // CMIIsAttemptFailed
    {301, kValInteger,  17, 2, "",              2}, // CMIGetMasteryScore
    {302, kValString,  17, 2, "SS",            2}, // CMIGetCustomField
    {303, kValString,  17, 2, "S",             2}, // CMIGetDemographics
    {304, kValInteger,  17, 2, "",              2}, // CMISetPassed
    {305, kValInteger,  17, 2, "",              2}, // CMISetFailed
    {306, kValInteger,  17, 2, "",              2}, // CMISetTimedOut
    {307, kValInteger,  17, 2, "",              2}, // CMISetLoggedOut
    {308, kValInteger,  17, 2, "LSLSLLLL",      2}, // CMISetObj
    {309, kValInteger,  17, 2, "LS",            2}, // CMIAddComment
    {310, kValInteger,  17, 2, "SSSSSSSSSS",    2}, // CMIAddInteraction
    {311, kValInteger,  17, 2, "SSSSSSSSSSS",   2}, // CMIAddInteractionEx
    {312, kValInteger,  17, 2, "SSS",           2}, // CMISetCustomField
    {313, kValInteger,  17, 2, "L",             2}, // CMINewLesson
    {314, kValAny,    16, 2, "LY",            2}, // GetPostPoint
    {315, kValInteger,  16, 2, "LYA",           2}, // SetPostPoint
    {316, kValAny,    16, 2, "LY",            2}, // GetPostSize
    {317, kValInteger,  16, 2, "LYA",           2}, // SetPostSize
    {318, kValInteger,  17, 2, "",              2}, // CMIInitialize
    {319, kValInteger,  17, 2, "",              2}, // CMIFinish
    {320, kValInteger,  17, 2, "",              2}, // CMIFlush
    {321, kValInteger,  17, 2, "SSSS",          2}, // CMILogin
    {322, kValInteger,  17, 2, "",              2}, // CMILogout
    {323, kValInteger,  17, 2, "",              2}, // CMIGetLastError
    {324, kValInteger,  16, 1, "SASl",          6}, // NewVariable
    {325, kValAny,    16, 2, "Y",             2}, // GetFileProperty
    {326, kValInteger,  16, 2, "YA",            2}, // SetFileProperty
    {327, kValInteger,  16, 1, "s",            10}, // SaveFile
};

// NBF__, Test, InfoWindRect, InfoWindFull, KillTrigger, SetVideoDevice and the four of
// category 97.
const int kNoOpIndexes[] = { 15, 44, 85, 86, 109, 114, 125, 128, 131, 132 };

const char* const kSymbolNames[] = { "piece", "external", "plugin", "before", "after",
    "beforeFirstChild", "afterLastChild", "display", "response" };
constexpr int kSymbolCount = int(sizeof kSymbolNames / sizeof kSymbolNames[0]);

struct SysFnState {
    SysFunctionDesc table[kSysFnCount] = {};
    char names[kSysFnCount][kSysFnNameMax + 1] = {};
    uint32_t symbols[kSymbolCount] = {};
    int count = 0;
    HashTable index;
    bool index_built = false;
    uint32_t current_icon = 0;
};

SysFnState s_fn;

void fill_table()
{
    for (int i = 0; i < kSysFnCount; ++i) {
        const SysFnRow& row = kRows[i];
        SysFunctionDesc& d = s_fn.table[i];
        SysFnHandler bound = d.handler;
        d = SysFunctionDesc { bound, row.category, row.result_type, row.scope, row.signature, row.flags };
        plat::load_string(plat::ModuleHandle {}, kSysFnNameEntry + i, s_fn.names[i], kSysFnNameMax + 1);
    }
    s_fn.count = kSysFnCount;
}

int name_matches(const char* key, uint16_t value, void*)
{
    int i = int(value) - kSysFnFirstId;
    return i >= 0 && i < kSysFnCount && plat::lstrcmpi(s_fn.names[i], key) == 0;
}

void lower_name(const char* name, char* out)
{
    str_copy_bounded(out, name, kSysFnNameMax + 1);
    plat::char_lower(out);
}

// The name index, built on first use and again when memory pressure discarded it.
bool index_ready()
{
    if (s_fn.index_built && hash_is_purged(s_fn.index)) {
        hash_free(s_fn.index);
        s_fn.index_built = false;
    }
    if (s_fn.index_built)
        return true;
    if (!hash_create(s_fn.index, kSysFnCount))
        return false;
    char key[kSysFnNameMax + 1];
    for (int i = 0; i < kSysFnCount; ++i) {
        if (!s_fn.names[i][0])
            continue;
        lower_name(s_fn.names[i], key);
        hash_insert(s_fn.index, key, uint16_t(kSysFnFirstId + i));
    }
    s_fn.index_built = true;
    return true;
}

int class_of_letter(char letter)
{
    switch (plat::char_upper(letter)) {
    case 'S': return kValString;
    case 'L': return kValInteger;
    case 'R': return kValReal;
    case 'N': return kValNumber;
    case 'Y': return kValSymbol;
    case 'A': return kValAny;
    case 'V': return kValReference;
    default: return kSysFnNoClass;
    }
}

} // namespace

int sysfn_build_table()
{
    for (int i = 0; i < kSymbolCount; ++i)
        s_fn.symbols[i] = symdict_intern(kSymbolNames[i], 0);
    fill_table();
    for (int index : kNoOpIndexes)
        sysfn_bind(index, sysfn_no_op);
    fn_bind_math_functions();
    fn_bind_string_functions();
    fn_bind_list_functions();
    fn_bind_eval_functions();
    return 1;
}

void sysfn_no_op(int, ScriptValue*, ScriptValue& result) { val_set_integer(0, result); }

void sysfn_reset()
{
    if (s_fn.index_built)
        hash_free(s_fn.index);
    s_fn = SysFnState {};
}

const SysFunctionDesc& sysfn_desc(int id) { return s_fn.table[id - kSysFnFirstId]; }

int sysfn_bind(int index, SysFnHandler handler)
{
    if (index < 0 || index >= kSysFnCount)
        return 0;
    s_fn.table[index].handler = handler;
    return 1;
}

uint32_t sysfn_symbol(int which) { return which >= 0 && which < kSymbolCount ? s_fn.symbols[which] : 0; }

int sysfn_find(const char* name)
{
    if (!name || !name[0] || s_fn.count == 0)
        return 0;
    char key[kSysFnNameMax + 1];
    lower_name(name, key);
    if (index_ready()) {
        hash_set_purgeable(s_fn.index, 0);
        int id = hash_find(s_fn.index, key, name_matches, nullptr);
        hash_set_purgeable(s_fn.index, 1);
        return id;
    }
    for (int i = 0; i < kSysFnCount; ++i)
        if (s_fn.names[i][0] && plat::lstrcmpi(s_fn.names[i], key) == 0)
            return kSysFnFirstId + i;
    return 0;
}

int sysfn_lookup_for_compile(const char* name, int* id)
{
    *id = 0;
    if (str_char_count(name) > kSysFnNameMax)
        return 27;
    *id = sysfn_find(name);
    if (*id == 0 || sysfn_desc(*id).category == kSysFnCategoryUndefined)
        return 21;
    return 0;
}

int sysfn_name(char* out, size_t size, int id)
{
    if (size)
        out[0] = 0;
    if (!sysfn_is_id(id))
        return 21;
    str_copy_bounded(out, s_fn.names[id - kSysFnFirstId], int(size));
    return 0;
}

int sysfn_min_args(int id)
{
    const char* s = sysfn_desc(id).signature;
    int n = 0;
    while (s[n] && s[n] != '.' && plat::char_upper(s[n]) == s[n])
        ++n;
    return n;
}

int sysfn_max_args(int id)
{
    const char* s = sysfn_desc(id).signature;
    return std::strchr(s, '.') ? kSysFnUnbounded : int(std::strlen(s));
}

int sysfn_arg_class(int id, int position)
{
    const char* s = sysfn_desc(id).signature;
    int length = int(std::strlen(s));
    const char* dot = std::strchr(s, '.');
    if (dot && dot > s && position >= int(dot - s) - 1)
        return class_of_letter(dot[-1]);
    if (position < 0 || position >= length)
        return kSysFnNoClass;
    return class_of_letter(s[position]);
}

int sysfn_calc_only(int id) { return sysfn_desc(id).scope; }

int sysfn_has_flag(int id, uint32_t mask) { return sysfn_is_id(id) && (sysfn_desc(id).flags & mask) != 0; }

uint32_t sysfn_current_icon() { return s_fn.current_icon; }

int sysfn_call(uint32_t context_icon, int id, int argc, ScriptValue* args, ScriptValue& result)
{
    if (!sysfn_is_id(id) || s_fn.count == 0)
        return 0;
    return sysfn_invoke(context_icon, id, argc, args, result);
}

int sysfn_call_hook(uint32_t context_icon, int id, int argc, ScriptValue* args, ScriptValue& result)
{
    return sysfn_is_id(id) ? sysfn_call(context_icon, id, argc, args, result) : 21;
}

namespace {

// A handler answers in its result type; one that left nothing (a string handler without a
// text) or another kind gets the type's empty or converted value, never a stray one.
void settle_result(int result_type, ScriptValue& result)
{
    switch (result_type) {
    case kValString:
    case kValInteger:
    case kValReal:
    case kValSymbol:
        if (val_type(result) != result_type)
            val_convert(result, result_type);
        break;
    default:
        break;
    }
}

} // namespace

int sysfn_invoke(uint32_t context_icon, int id, int argc, ScriptValue* args, ScriptValue& result)
{
    const SysFunctionDesc& d = sysfn_desc(id);
    if (!d.handler)
        return 21;
    // Stored code may hold any count: one the signature cannot take is refused, not guessed.
    if (argc < sysfn_min_args(id))
        return 29;
    if (argc > sysfn_max_args(id))
        return 15;
    for (int i = 0; i < argc; ++i) {
        int target = sysfn_arg_class(id, i);
        if (target == kValReference && val_type(args[i]) != kValReference)
            return 16;
        if (target != kValReference && target != kValAny && target != kSysFnNoClass)
            val_convert(args[i], target);
    }
    // Saved around the call: a handler that runs calculations must see its own icon after them.
    uint32_t saved = s_fn.current_icon;
    s_fn.current_icon = context_icon;
    d.handler(argc, args, result);
    s_fn.current_icon = saved;
    settle_result(d.result_type, result);
    return 0;
}
