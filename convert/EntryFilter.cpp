#include "convert/EntryFilter.h"

namespace {

constexpr unsigned kBackspace = 8;

bool inRange(unsigned code, unsigned first, unsigned last)
{
    return code >= first && code <= last;
}

}  // namespace

bool AcceptsTypedChar(unsigned code, bool numberBase, int sourcePos, bool formulas)
{
    if (code == kBackspace)
        return true;
    if (code > 255)  // outside the 8-bit character set: never one of ours
        return false;

    if (!numberBase) {
        if (formulas && (code == '/' || code == '*' || code == '(' || code == ')' || code == '^' || code == ' '))
            return true;
        return inRange(code, '0', '9') || code == 'E' || code == 'e' || code == '+' || code == '-' || code == ','
            || code == '.';
    }

    // The source unit at list position p is radix p + 2, whose largest digit
    // is p + 1.
    const int m = sourcePos + 1;
    if (m >= 1 && m <= 9)
        return inRange(code, '0', unsigned('0' + m));
    if (inRange(code, '0', '9'))
        return true;
    if (m < 10)  // nothing selected: digits only
        return false;
    const unsigned last = unsigned(m > 35 ? 35 : m) - 10;
    return inRange(code, 'A', 'A' + last) || inRange(code, 'a', 'a' + last);
}
