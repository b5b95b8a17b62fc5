#pragma once
// Which typed characters the value box accepts.
//
// Each character is judged alone by its code: digits, exponent mark, signs,
// "," and "." in a linear series, and with formulas on also "/ * ( ) ^" and
// the blank; in the number-base series the digits of the source radix, which
// is the source unit's list position plus 2.

// code: the character's code (Backspace 8); numberBase: the series is
// "進数"; sourcePos: the source unit's list position, -1 for none;
// formulas: the value is read as arithmetic (a linear series only).
bool AcceptsTypedChar(unsigned code, bool numberBase, int sourcePos, bool formulas = false);
