#pragma once
// Which typed characters the value box accepts.
//
// Each character is judged alone by its code: digits, exponent mark, signs,
// "," and "." in a linear series; in the number-base series the digits of the
// source radix, which is the source unit's list position plus 2.

// code: the character's code (Backspace 8); numberBase: the series is
// "進数"; sourcePos: the source unit's list position, -1 for none.
bool AcceptsTypedChar(unsigned code, bool numberBase, int sourcePos);
