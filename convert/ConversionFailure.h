#pragma once
// The three ways a conversion can fail, and the message each one shows.
//
// Number-text operations and the conversion raise ConversionFailure; the main
// window turns its kind into one message box titled "Error!!".

#include <QString>
#include <exception>

enum class FailureKind {
    Overflow,      // a number beyond the double range, or 0/0
    InvalidInput,  // text that does not read as a number (of its radix)
    Other          // anything else: division by a zero factor, no unit selected
};

class ConversionFailure : public std::exception {
public:
    explicit ConversionFailure(FailureKind kind) : m_kind(kind) {}
    FailureKind kind() const { return m_kind; }
    const char *what() const noexcept override;

private:
    FailureKind m_kind;
};

// The message box text: the kind's first line, CR LF, "処理を中断します。".
QString FailureMessage(FailureKind kind);
