// Record files written out by hand from the layout tables, field by field, so that the reader
// and the piece maker are both held against bytes neither of them produced.
#pragma once

namespace rectest {

// A packaged piece, native order: record 1 (type 2) "01000000 02000000", record 2 (type -1)
// "hi". Directory of two entries and the sentinel right after the header; records after it.
inline constexpr const char* kPackagedPiece =
    // kind header: "PCRS", its NOT, format 22, version -8, 16 reserved bytes
    "50435253 afbcadac 16000000 f8ffffff 00000000000000000000000000000000"
    // record-file header at 32: layout 5, end 146, data length 10, directory size 30, count 2,
    // directory offset 106, free 0, used 10, reserved word, 20 bytes, flags 2, order 1, 17 bytes
    "05000000 92000000 0a000000 1e000000 02000000 6a000000 00000000 0a000000 0000"
    "0000000000000000000000000000000000000000 0200 01 0000000000000000000000000000000000"
    // directory at 106: {offset, unpacked, type, flags: bit 1 native}, then the sentinel
    "88000000 08000000 02 02 | 90000000 02000000 ff 02 | 92000000 00000000 00 00"
    // records at 136 and 144
    "01000000 02000000 | 6869";

// The learner's records in the other byte order, editable directory: record 3 (type 2) holding
// the words 1 and 2, record 9 (type 45) "0102".
inline constexpr const char* kEditableBigRecords =
    // kind header: "WSTU", its NOT, format 22 and version -6 big-endian
    "57535455 a8acabaa 00000016 fffffffa 00000000000000000000000000000000"
    // header: layout 5, end 176, data length 10, directory size 60, count 2, directory offset
    // 116, free 0, used 10, reserved, flags 0, order 2
    "00000005 000000b0 0000000a 0000003c 00000002 00000074 00000000 0000000a 0000"
    "0000000000000000000000000000000000000000 0000 02 0000000000000000000000000000000000"
    // records at 106 and 114
    "00000001 00000002 | 0102"
    // directory at 116: number, type, converter version, stored, unpacked, scheme, order,
    // reserved (5 bytes), offset, bits
    "00000003 0002 4001 00000008 00000008 0001 02 00 00000000 0000006a 0000"
    "00000009 002d 0001 00000002 00000002 0001 02 00 00000000 00000072 0000";

// Layout 2 appended to a 64-byte "MZ" program: its directory entry counts the offset from the
// base (64), and the directory follows the data.
inline constexpr const char* kLayout2AfterProgram
    = "4d5a 000000000000000000000000000000000000000000000000000000000000 40000000"
      "00000000000000000000000000000000000000000000000000000000"
      "56435253 a9bcadac 16000000 f8ffffff 00000000000000000000000000000000"
      // layout 2, end 184 = directory 10 + data 4 + data start 96 + 74
      "02000000 b8000000 04000000 0a000000 01000000 00000000 00000000 04000000 0000"
      "0000000000000000000000000000000000000000 0000 01 0000000000000000000000000000000000"
      "61626364"
      // {i16 number 1, u32 offset 106 from the base, u32 size 4}
      "0100 6a000000 04000000";

// Layout 3: 16-byte entries {number 2, bits 1, reserved, absolute offset 106, size 4}.
inline constexpr const char* kLayout3
    = "56435253 a9bcadac 16000000 f8ffffff 00000000000000000000000000000000"
      "03000000 7e000000 04000000 10000000 01000000 00000000 00000000 04000000 0000"
      "0000000000000000000000000000000000000000 0000 01 0000000000000000000000000000000000"
      "61626364"
      "0200 0100 00000000 6a000000 04000000";

// Layout 4: the directory where the header says (106), before the data (122).
inline constexpr const char* kLayout4
    = "56435253 a9bcadac 16000000 f8ffffff 00000000000000000000000000000000"
      "04000000 7e000000 04000000 10000000 01000000 6a000000 00000000 04000000 0000"
      "0000000000000000000000000000000000000000 0000 01 0000000000000000000000000000000000"
      "0200 0100 00000000 7a000000 04000000"
      "61626364";

} // namespace rectest
