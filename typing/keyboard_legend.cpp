#include "typing/keyboard_legend.h"

namespace {

constexpr uint16_t initial(int field) { return uint16_t(0x8000 | field << 10 | 2 << 5 | 1); }
constexpr uint16_t medial(int field) { return uint16_t(0x8000 | 1 << 10 | field << 5 | 1); }
constexpr uint16_t final_(int field) { return uint16_t(0x8000 | 1 << 10 | 2 << 5 | field); }

// Initial consonants by their Johab field.
constexpr uint16_t G = initial(2), KK = initial(3), N = initial(4), D = initial(5), TT = initial(6),
    R = initial(7), M = initial(8), B = initial(9), PP = initial(10), S = initial(11),
    SS = initial(12), NG = initial(13), J = initial(14), JJ = initial(15), CH = initial(16),
    K = initial(17), T = initial(18), P = initial(19), H = initial(20);
// Vowels.
constexpr uint16_t A = medial(3), AE = medial(4), YA = medial(5), YAE = medial(6), EO = medial(7),
    E = medial(10), YEO = medial(11), YE = medial(12), O = medial(13), YO = medial(19),
    U = medial(20), YU = medial(26), EU = medial(27), UI = medial(28), I = medial(29);
// Final consonants (3-beolsik).
constexpr uint16_t fG = final_(2), fKK = final_(3), fN = final_(5), fNH = final_(7), fD = final_(8),
    fL = final_(9), fLG = final_(10), fLM = final_(11), fLH = final_(16), fM = final_(17),
    fB = final_(19), fBS = final_(20), fS = final_(21), fSS = final_(22), fNG = final_(23),
    fJ = final_(24), fCH = final_(25), fK = final_(26), fT = final_(27), fP = final_(28),
    fH = final_(29);

constexpr uint16_t BS = kKeyBackspace, TAB = kKeyTab, CR = kKeyEnter, SH = kKeyShift,
    CT = kKeyCtrl, AL = kKeyAlt, CL = kKeyCapsLock;

} // namespace

// clang-format off
const uint16_t kKeyboardLegend[kLegendLayouts][kLegendShifts][kLegendRows][kLegendColumns] = {
    { // 2-beolsik: consonants on the left hand, vowels on the right
        {
            {'`', '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '-', '=', BS},
            {TAB, B, J, D, G, S, YO, YEO, YA, AE, E, '[', ']', '\\'},        // ㅂㅈㄷㄱㅅ ㅛㅕㅑㅐㅔ
            {CL, M, N, NG, R, H, O, EO, A, I, ';', '\'', CR},                 // ㅁㄴㅇㄹㅎ ㅗㅓㅏㅣ
            {SH, K, T, CH, P, YU, U, EU, ',', '.', '/', SH},                  // ㅋㅌㅊㅍ ㅠㅜㅡ
            {CT, AL, ' ', AL, CT},
        },
        {
            {'~', '!', '@', '#', '$', '%', '^', '&', '*', '(', ')', '_', '+', BS},
            {TAB, PP, JJ, TT, KK, SS, YO, YEO, YA, YAE, YE, '{', '}', '|'},   // ㅃㅉㄸㄲㅆ ... ㅒㅖ
            {CL, M, N, NG, R, H, O, EO, A, I, ':', '"', CR},
            {SH, K, T, CH, P, YU, U, EU, '<', '>', '?', SH},
            {CT, AL, ' ', AL, CT},
        },
    },
    { // 3-beolsik 390: finals on the left, vowels in the middle, initials on the right
        {
            {'`', fH, fSS, fB, YO, YU, YA, YE, UI, U, K, '-', '=', BS},       // ㅎㅆㅂ(f) ㅛㅠㅑㅖㅢㅜ ㅋ
            {TAB, fS, fL, YEO, AE, EO, R, D, M, CH, P, '[', ']', '\\'},       // ㅅㄹ(f) ㅕㅐㅓ ㄹㄷㅁㅊㅍ
            {CL, fNG, fN, I, A, EU, N, NG, G, J, B, T, CR},                   // ㅇㄴ(f) ㅣㅏㅡ ㄴㅇㄱㅈㅂㅌ
            {SH, fM, fG, E, O, U, S, H, ',', '.', O, SH},                     // ㅁㄱ(f) ㅔㅗㅜ ㅅㅎ ㅗ
            {CT, AL, ' ', AL, CT},
        },
        {
            {'~', '!', '@', '#', '$', '%', '^', '&', '*', '(', ')', '_', '+', BS},
            {TAB, fP, fT, fJ, YAE, ';', '<', '7', '8', '9', '>', '{', '}', '|'}, // ㅍㅌㅈ(f) ㅒ
            {CL, fD, fNH, fLG, fKK, '/', '\'', '4', '5', '6', ':', '"', CR},      // ㄷㄶㄺㄲ(f)
            {SH, fCH, fBS, fK, fLM, fLH, '0', '1', '2', '3', '?', SH},           // ㅊㅄㅋㄻㅀ(f)
            {CT, AL, ' ', AL, CT},
        },
    },
    { // QWERTY
        {
            {'`', '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '-', '=', BS},
            {TAB, 'q', 'w', 'e', 'r', 't', 'y', 'u', 'i', 'o', 'p', '[', ']', '\\'},
            {CL, 'a', 's', 'd', 'f', 'g', 'h', 'j', 'k', 'l', ';', '\'', CR},
            {SH, 'z', 'x', 'c', 'v', 'b', 'n', 'm', ',', '.', '/', SH},
            {CT, AL, ' ', AL, CT},
        },
        {
            {'~', '!', '@', '#', '$', '%', '^', '&', '*', '(', ')', '_', '+', BS},
            {TAB, 'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', '{', '}', '|'},
            {CL, 'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', ':', '"', CR},
            {SH, 'Z', 'X', 'C', 'V', 'B', 'N', 'M', '<', '>', '?', SH},
            {CT, AL, ' ', AL, CT},
        },
    },
    { // Dvorak
        {
            {'`', '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', '[', ']', BS},
            {TAB, '\'', ',', '.', 'p', 'y', 'f', 'g', 'c', 'r', 'l', '/', '=', '\\'},
            {CL, 'a', 'o', 'e', 'u', 'i', 'd', 'h', 't', 'n', 's', '-', CR},
            {SH, ';', 'q', 'j', 'k', 'x', 'b', 'm', 'w', 'v', 'z', SH},
            {CT, AL, ' ', AL, CT},
        },
        {
            {'~', '!', '@', '#', '$', '%', '^', '&', '*', '(', ')', '{', '}', BS},
            {TAB, '"', '<', '>', 'P', 'Y', 'F', 'G', 'C', 'R', 'L', '?', '+', '|'},
            {CL, 'A', 'O', 'E', 'U', 'I', 'D', 'H', 'T', 'N', 'S', '_', CR},
            {SH, ':', 'Q', 'J', 'K', 'X', 'B', 'M', 'W', 'V', 'Z', SH},
            {CT, AL, ' ', AL, CT},
        },
    },
};
// clang-format on
