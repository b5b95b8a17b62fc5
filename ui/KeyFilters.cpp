#include "ui/KeyFilters.h"

#include "forms/TypedText.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <QKeyEvent>
#include <QWidget>

namespace {

bool WithControl(Qt::KeyboardModifiers modifiers)
{
    return modifiers & (Qt::ControlModifier | Qt::MetaModifier);
}

bool IsCtrlLetter(int key, Qt::KeyboardModifiers modifiers)
{
    return WithControl(modifiers) && key >= Qt::Key_A && key <= Qt::Key_Z;
}

}  // namespace

int TypedCharCode(int key, Qt::KeyboardModifiers modifiers, const QString &text)
{
    const bool control = WithControl(modifiers);
    // Keys that type no character keep their editing function.
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Delete:
    case Qt::Key_Insert:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (!control)
            return -1;
        break;
    default: break;
    }
    if (key == Qt::Key_Backspace && !control)
        return 8;
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return 13;
    if (IsCtrlLetter(key, modifiers))
        return key - Qt::Key_A + 1;  // Ctrl+A is 1 ... Ctrl+Z is 26
    if (!text.isEmpty())
        return text.at(0).unicode();
    return -1;  // a modifier alone, a function key: nothing typed
}

EnterPreview::EnterPreview(QWidget *window, std::function<void(bool)> onEnter)
    : QObject(window), m_window(window), m_onEnter(std::move(onEnter))
{
}

bool EnterPreview::eventFilter(QObject *watched, QEvent *event)
{
    // The key is seen again for each parent the control passes it to: act
    // only on its first delivery, to the focus widget. Ctrl and Alt do not
    // matter; Shift is passed on.
    //
    // The control never gets the key: under some platform themes (GTK's) a
    // list opens its entries on Enter, also on an Enter that arrives once
    // the all-units window has closed, and the next Enter would then pick an
    // entry instead of converting. The value box discards it in any case.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || QApplication::activeModalWidget())
        return false;
    auto *receiver = static_cast<QWidget *>(watched);
    if (receiver->window() != m_window || receiver != m_window->focusWidget())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;  // the key goes on to its receiver
    m_onEnter(key->modifiers() & Qt::ShiftModifier);
    return true;
}

ValueBoxFilter::ValueBoxFilter(QObject *parent, std::function<bool(unsigned)> accepts)
    : QObject(parent), m_accepts(std::move(accepts))
{
}

bool ValueBoxFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::InputMethodQuery) {
        // The box answers first; only its claim to take input is overruled.
        auto *query = static_cast<QInputMethodQueryEvent *>(event);
        if (!(query->queries() & Qt::ImEnabled))
            return false;
        watched->event(event);
        query->setValue(Qt::ImEnabled, false);
        return true;
    }
    if (event->type() == QEvent::InputMethod) {
        auto *input = static_cast<QInputMethodEvent *>(event);
        QString kept;
        for (const QChar c : input->commitString()) {
            const QChar ascii = AsciiFormOf(c);
            if (ascii.unicode() >= 0x20 && m_accepts(ascii.unicode()))
                kept += ascii;
        }
        QInputMethodEvent filtered;
        filtered.setCommitString(kept, input->replacementStart(), input->replacementLength());
        watched->event(&filtered);
        return true;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    // Select all types no character: the box does it itself.
    if (key->matches(QKeySequence::SelectAll))
        return false;
    const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);

    if (event->type() == QEvent::ShortcutOverride) {
        // The box would claim Ctrl+V, Ctrl+X, Ctrl+C, Ctrl+Z ... for its own
        // editing. Refuse them: the window's shortcuts get them, and what is
        // left arrives as a control character that the filter discards.
        if (IsCtrlLetter(key->key(), mods)) {
            event->ignore();
            return true;
        }
        return false;
    }
    const int code = TypedCharCode(key->key(), mods, key->text());
    if (code < 0 || m_accepts(unsigned(code)))
        return false;
    return true;  // discarded before it reaches the box
}
