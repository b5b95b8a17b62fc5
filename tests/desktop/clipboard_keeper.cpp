// A stand-in for a desktop's clipboard manager, for the desktop tests.
//
// It owns the CLIPBOARD_MANAGER selection. When a program that owns the
// clipboard ends, it asks the manager to convert CLIPBOARD_MANAGER to
// SAVE_TARGETS; the keeper then fetches the clipboard's text, takes the
// clipboard over, answers the request and serves the text from then on, as
// GNOME's and Xfce's managers do. Prints "ready" once it owns the selection
// and "saved <bytes>" after each hand-over. Ends when the display goes.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <string>

static Display *display;
static Window window;
static Atom CLIPBOARD, CLIPBOARD_MANAGER, SAVE_TARGETS, TARGETS, UTF8_STRING, TEXT, KEPT;
static std::string kept;
static bool haveText = false;

static void answer(const XSelectionRequestEvent *request, Atom property)
{
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.requestor = request->requestor;
    reply.selection = request->selection;
    reply.target = request->target;
    reply.property = property;
    reply.time = request->time;
    XSendEvent(display, request->requestor, False, 0, reinterpret_cast<XEvent *>(&reply));
}

/* Fetches the clipboard's text from its owner into kept. */
static int fetchClipboard()
{
    XConvertSelection(display, CLIPBOARD, UTF8_STRING, KEPT, window, CurrentTime);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != SelectionNotify || event.xselection.selection != CLIPBOARD)
            continue;
        if (event.xselection.property == None)
            return 0;
        Atom type;
        int format;
        unsigned long items, rest;
        unsigned char *data = NULL;
        if (XGetWindowProperty(display, window, KEPT, 0, 1 << 24, True, AnyPropertyType, &type, &format, &items, &rest,
                               &data)
            != Success)
            return 0;
        kept.assign(reinterpret_cast<const char *>(data), items);
        haveText = true;
        XFree(data);
        return 1;
    }
}

static void serveClipboard(const XSelectionRequestEvent *request)
{
    Atom property = request->property != None ? request->property : request->target;
    if (request->target == TARGETS) {
        Atom targets[] = {TARGETS, UTF8_STRING, XA_STRING, TEXT};
        XChangeProperty(display, request->requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char *>(targets), 4);
    } else if (haveText
               && (request->target == UTF8_STRING || request->target == XA_STRING || request->target == TEXT)) {
        XChangeProperty(display, request->requestor, property, request->target, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(kept.data()), int(kept.size()));
    } else {
        property = None;
    }
    answer(request, property);
}

int main(void)
{
    display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "clipboard_keeper: no display\n");
        return 1;
    }
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    CLIPBOARD = XInternAtom(display, "CLIPBOARD", False);
    CLIPBOARD_MANAGER = XInternAtom(display, "CLIPBOARD_MANAGER", False);
    SAVE_TARGETS = XInternAtom(display, "SAVE_TARGETS", False);
    TARGETS = XInternAtom(display, "TARGETS", False);
    UTF8_STRING = XInternAtom(display, "UTF8_STRING", False);
    TEXT = XInternAtom(display, "TEXT", False);
    KEPT = XInternAtom(display, "KEEPER_KEPT", False);

    XSetSelectionOwner(display, CLIPBOARD_MANAGER, window, CurrentTime);
    if (XGetSelectionOwner(display, CLIPBOARD_MANAGER) != window) {
        fprintf(stderr, "clipboard_keeper: another manager owns CLIPBOARD_MANAGER\n");
        return 1;
    }
    printf("ready\n");
    fflush(stdout);

    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != SelectionRequest)
            continue;
        const XSelectionRequestEvent *request = &event.xselectionrequest;
        if (request->selection == CLIPBOARD_MANAGER) {
            if (request->target == SAVE_TARGETS && fetchClipboard()) {
                XSetSelectionOwner(display, CLIPBOARD, window, CurrentTime);
                answer(request, request->property);
                printf("saved %zu\n", kept.size());
                fflush(stdout);
            } else if (request->target == TARGETS) {
                Atom targets[] = {TARGETS, SAVE_TARGETS};
                XChangeProperty(display, request->requestor, request->property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<unsigned char *>(targets), 2);
                answer(request, request->property);
            } else {
                answer(request, None);
            }
        } else if (request->selection == CLIPBOARD) {
            serveClipboard(request);
        }
    }
}
