/* Watches the startup-notification messages of a display, for the
   end-to-end tests.

     xstartupwatch          prints "READY" once it watches, then one line
                            "STARTUP <message>" per message that clients send
                            to the root window (_NET_STARTUP_INFO_BEGIN and
                            _NET_STARTUP_INFO pieces put together), flushed
                            at once, until it is killed
     xstartupwatch --time   prints the X server's current time and ends

   The server time is what a launcher puts after "_TIME" in a startup id. */

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_MESSAGE 4096
#define MAX_SENDERS 16

/* A message being put together, by the window its pieces name. */
struct Pending {
    Window window;
    size_t length;
    char text[MAX_MESSAGE];
};

static struct Pending pending[MAX_SENDERS];

static struct Pending* pending_of(Window w, int begin) {
    struct Pending* free_slot = NULL;
    for (int i = 0; i < MAX_SENDERS; ++i) {
        if (pending[i].window == w)
            return &pending[i];
        if (!pending[i].window && !free_slot)
            free_slot = &pending[i];
    }
    if (!begin || !free_slot)
        return NULL;
    free_slot->window = w;
    free_slot->length = 0;
    return free_slot;
}

/* The server's time: a property change on a window of our own reports it. */
static int print_time(Display* dpy) {
    Window w = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0);
    XSelectInput(dpy, w, PropertyChangeMask);
    Atom a = XInternAtom(dpy, "_VELK_TIME", False);
    XChangeProperty(dpy, w, a, XA_STRING, 8, PropModeReplace, (const unsigned char*)"", 0);
    for (;;) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type == PropertyNotify && e.xproperty.window == w) {
            printf("%lu\n", (unsigned long)e.xproperty.time);
            fflush(stdout);
            XDestroyWindow(dpy, w);
            XCloseDisplay(dpy);
            return 0;
        }
    }
}

int main(int argc, char** argv) {
    Display* dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "xstartupwatch: cannot open the display\n");
        return 1;
    }
    if (argc > 1 && strcmp(argv[1], "--time") == 0)
        return print_time(dpy);

    Atom begin = XInternAtom(dpy, "_NET_STARTUP_INFO_BEGIN", False);
    Atom more = XInternAtom(dpy, "_NET_STARTUP_INFO", False);
    /* Senders address the root window with PropertyChangeMask. */
    XSelectInput(dpy, DefaultRootWindow(dpy), PropertyChangeMask | SubstructureNotifyMask);
    XSync(dpy, False);
    printf("READY\n");
    fflush(stdout);
    for (;;) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.type != ClientMessage || e.xclient.format != 8)
            continue;
        if (e.xclient.message_type != begin && e.xclient.message_type != more)
            continue;
        struct Pending* p = pending_of(e.xclient.window, e.xclient.message_type == begin);
        if (!p)
            continue;
        if (e.xclient.message_type == begin)
            p->length = 0;
        for (int i = 0; i < 20; ++i) {
            char c = e.xclient.data.b[i];
            if (c == '\0') {
                p->text[p->length] = '\0';
                printf("STARTUP %s\n", p->text);
                fflush(stdout);
                p->window = 0;
                break;
            }
            if (p->length + 1 < MAX_MESSAGE)
                p->text[p->length++] = c;
        }
    }
}
