/* Drops a file on an X11 window the way a file manager does: the XDND
 * protocol (version 5) with a text/uri-list of one file. Xvfb runs no file
 * manager, so the drop test plays one.
 *
 * Usage: drop_file WINDOW_ID X Y ABSOLUTE_PATH
 * X and Y are root-window coordinates over the target window. Exits 0 once
 * the target has taken the file (it asked for the data and said it was
 * finished), 1 otherwise. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/select.h>

enum { kVersion = 5, kTimeoutSeconds = 10 };

static Display* display;
static Window source, target;

static Atom atom(const char* name) { return XInternAtom(display, name, False); }

static void sendMessage(const char* type, long l1, long l2, long l3, long l4) {
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = target;
    event.xclient.message_type = atom(type);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)source;
    event.xclient.data.l[1] = l1;
    event.xclient.data.l[2] = l2;
    event.xclient.data.l[3] = l3;
    event.xclient.data.l[4] = l4;
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

/* The next event, or 0 when none came in time. */
static int nextEvent(XEvent* event) {
    int fd = ConnectionNumber(display);
    while (!XPending(display)) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        struct timeval wait = {kTimeoutSeconds, 0};
        if (select(fd + 1, &readable, NULL, NULL, &wait) <= 0) return 0;
    }
    XNextEvent(display, event);
    return 1;
}

/* The target asks for the file list: write it into the property it named. */
static void answer(const XSelectionRequestEvent* request, const char* uriList) {
    XEvent reply;
    memset(&reply, 0, sizeof reply);
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request->requestor;
    reply.xselection.selection = request->selection;
    reply.xselection.target = request->target;
    reply.xselection.time = request->time;
    reply.xselection.property = None;
    if (request->target == atom("text/uri-list")) {
        XChangeProperty(display, request->requestor, request->property, request->target, 8, PropModeReplace,
                        (const unsigned char*)uriList, (int)strlen(uriList));
        reply.xselection.property = request->property;
    }
    XSendEvent(display, request->requestor, False, NoEventMask, &reply);
    XFlush(display);
}

int main(int argc, char** argv) {
    if (argc != 5 || argv[4][0] != '/') {
        fprintf(stderr, "usage: drop_file WINDOW_ID X Y ABSOLUTE_PATH\n");
        return 2;
    }
    display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "drop_file: cannot open the display\n");
        return 1;
    }
    target = (Window)strtoul(argv[1], NULL, 0);
    const long x = atol(argv[2]), y = atol(argv[3]);
    char uriList[4096];
    snprintf(uriList, sizeof uriList, "file://%s\r\n", argv[4]);
    source = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, atom("XdndSelection"), source, CurrentTime);

    sendMessage("XdndEnter", (long)kVersion << 24, (long)atom("text/uri-list"), 0, 0);
    sendMessage("XdndPosition", 0, (x << 16) | (y & 0xFFFF), CurrentTime, (long)atom("XdndActionCopy"));
    int dropped = 0, delivered = 0;
    XEvent event;
    while (nextEvent(&event)) {
        if (event.type == ClientMessage && event.xclient.message_type == atom("XdndStatus") && !dropped) {
            if (!(event.xclient.data.l[1] & 1)) {
                fprintf(stderr, "drop_file: the window does not accept the drop\n");
                break;
            }
            sendMessage("XdndDrop", 0, CurrentTime, 0, 0);
            dropped = 1;
        } else if (event.type == SelectionRequest) {
            answer(&event.xselectionrequest, uriList);
            delivered = 1;
        } else if (event.type == ClientMessage && event.xclient.message_type == atom("XdndFinished")) {
            XCloseDisplay(display);
            return delivered ? 0 : 1;
        }
    }
    fprintf(stderr, "drop_file: the drop did not finish (dropped %d, delivered %d)\n", dropped, delivered);
    XCloseDisplay(display);
    return 1;
}
