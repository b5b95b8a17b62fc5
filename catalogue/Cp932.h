#pragma once
// CP932, the code page of the series files that ship with the program:
// decoding from a table compiled into the program (Cp932Table.inc, written
// by tools/make_cp932_table.py from the system's CP932 converter), so that
// no converter is loaded at run time.
//
// CP932 is stateless: every character is one byte or a lead byte and a trail
// byte. Bytes below 0x80 are ASCII (0x5C is "\", 0x7E "~"); the NEC and IBM
// extensions are in the table as the system's converter reads them.

#include "catalogue/Cp932Table.inc"

inline constexpr bool IsCp932LeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The row of a lead byte in kCp932Pairs.
inline constexpr int Cp932LeadRow(unsigned char lead)
{
    return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + (0x9F - 0x81 + 1);
}

// Trail bytes are 0x40 to 0xFF in the table; below 0x40 a byte is never
// part of a character.
inline constexpr int kCp932FirstTrail = 0x40;
inline constexpr int kCp932Trails = 0x100 - kCp932FirstTrail;

// The character of one byte alone; 0 when it is none (a lead byte alone,
// or a byte CP932 leaves unassigned).
inline constexpr char16_t Cp932Single(unsigned char b)
{
    return b < 0x80 ? char16_t(b) : kCp932Single[b - 0x80];
}

// The character of a lead byte and the byte after it; 0 when they make none.
inline constexpr char16_t Cp932Pair(unsigned char lead, unsigned char trail)
{
    if (!IsCp932LeadByte(lead) || trail < kCp932FirstTrail)
        return 0;
    return kCp932Pairs[Cp932LeadRow(lead) * kCp932Trails + (trail - kCp932FirstTrail)];
}
