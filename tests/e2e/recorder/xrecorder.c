/* Records the life of the X11 windows of a display, for the end-to-end tests.

   Prints one line per event, flushed at once, until it is killed:

     <ms> INIT <wid> parent=<wid> mapped=0|1 [who]  a window that existed at the start
     <ms> CREATE <wid> parent=<wid> at=X,Y size=WxH
     <ms> MAP <wid> [who]                            who: pid=N override=0|1 size=WxH
     <ms> UNMAP <wid>                                     class=NAME,CLASS name=TITLE
     <ms> CONFIGURE <wid> at=X,Y size=WxH            moved, sized or restacked
     <ms> REPARENT <wid> parent=<wid>
     <ms> DESTROY <wid>
     <ms> OPACITY <wid> <value>|none               _NET_WM_WINDOW_OPACITY set or removed
     <ms> MARK <text>                                the root's _VELK_REC_MARK was set
     <ms> READY                                      the initial state is written

   <ms> is CLOCK_MONOTONIC in milliseconds. Owner and class are read when the
   window is mapped, as the window may be gone by the time they are wanted.
   Places (at=) are in the parent's coordinates: the screen's for a child of
   the root, such as a window that bypasses the window manager.
   Events that clients send (synthetic ones) are left out. A window's
   opacity is also written right after its CREATE line when it has one by
   then: a client may set it before this program watches the window.
   Setting _VELK_REC_MARK on the root (xprop -root -f _VELK_REC_MARK 8s -set
   _VELK_REC_MARK text) writes a MARK line after every event that the server
   generated before it: a reader that waits for the mark has seen them all. */

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Display* dpy;
static Atom a_pid, a_name, a_utf8, a_mark, a_opacity;

static long long now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

/* Windows vanish at any moment: errors about them are expected. */
static int ignore_error(Display* d, XErrorEvent* e) {
    (void)d;
    (void)e;
    return 0;
}

/* The property as text, or NULL; the caller frees it with XFree. */
static unsigned char* text_property(Window w, Atom prop, Atom type, unsigned long* len) {
    Atom actual;
    int format;
    unsigned long after;
    unsigned char* data = NULL;
    *len = 0;
    if (XGetWindowProperty(dpy, w, prop, 0, 4096, False, type, &actual, &format, len, &after,
                           &data) != Success ||
        actual == None || format != 8) {
        if (data)
            XFree(data);
        return NULL;
    }
    return data;
}

static void print_text(const unsigned char* s, unsigned long len) {
    for (unsigned long i = 0; i < len && s[i]; ++i)
        putchar(s[i] == '\n' || s[i] == '\r' ? ' ' : s[i]);
}

/* A 32-bit cardinal property of the window, 1 when it has one. */
static int card32(Window w, Atom prop, unsigned long* value) {
    Atom actual;
    int format;
    unsigned long n, after;
    unsigned char* data = NULL;
    int ok = XGetWindowProperty(dpy, w, prop, 0, 1, False, XA_CARDINAL, &actual, &format, &n,
                                &after, &data) == Success &&
             data && n == 1 && format == 32;
    /* Xlib hands 32-bit items over as longs, sign-extended. */
    if (ok)
        *value = *(unsigned long*)data & 0xFFFFFFFFUL;
    if (data)
        XFree(data);
    return ok;
}

/* pid, override-redirect, size, class and title of a window. */
static void print_who(Window w) {
    unsigned long pid = 0, len;
    card32(w, a_pid, &pid);
    XWindowAttributes wa;
    if (!XGetWindowAttributes(dpy, w, &wa))
        memset(&wa, 0, sizeof wa);
    printf(" pid=%lu override=%d size=%dx%d class=", pid, wa.override_redirect ? 1 : 0, wa.width,
           wa.height);
    XClassHint hint = {NULL, NULL};
    if (XGetClassHint(dpy, w, &hint)) {
        printf("%s,%s", hint.res_name ? hint.res_name : "", hint.res_class ? hint.res_class : "");
        if (hint.res_name)
            XFree(hint.res_name);
        if (hint.res_class)
            XFree(hint.res_class);
    }
    printf(" name=");
    unsigned char* name = text_property(w, a_name, a_utf8, &len);
    if (!name)
        name = text_property(w, XA_WM_NAME, AnyPropertyType, &len);
    if (name) {
        print_text(name, len);
        XFree(name);
    }
}

static void end_line(void) {
    putchar('\n');
    fflush(stdout);
}

/* Every window existing now, depth first, each watched from now on. */
static void record_tree(Window w, Window parent) {
    XWindowAttributes wa;
    if (!XGetWindowAttributes(dpy, w, &wa))
        return;
    XSelectInput(dpy, w, StructureNotifyMask);
    int mapped = wa.map_state != IsUnmapped;
    printf("%lld INIT 0x%lx parent=0x%lx mapped=%d", now_ms(), w, parent, mapped);
    if (mapped)
        print_who(w);
    end_line();
    Window root_ret, parent_ret, *children = NULL;
    unsigned int n = 0;
    if (XQueryTree(dpy, w, &root_ret, &parent_ret, &children, &n)) {
        for (unsigned int i = 0; i < n; ++i)
            record_tree(children[i], w);
        if (children)
            XFree(children);
    }
}

int main(void) {
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "xrecorder: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(ignore_error);
    a_pid = XInternAtom(dpy, "_NET_WM_PID", False);
    a_name = XInternAtom(dpy, "_NET_WM_NAME", False);
    a_utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    a_mark = XInternAtom(dpy, "_VELK_REC_MARK", False);
    a_opacity = XInternAtom(dpy, "_NET_WM_WINDOW_OPACITY", False);
    Window root = DefaultRootWindow(dpy);

    /* Watch first, then list: a window made in between is reported twice,
       never missed. */
    XSelectInput(dpy, root, SubstructureNotifyMask | PropertyChangeMask);
    XGrabServer(dpy);
    Window root_ret, parent_ret, *children = NULL;
    unsigned int n = 0;
    if (XQueryTree(dpy, root, &root_ret, &parent_ret, &children, &n)) {
        for (unsigned int i = 0; i < n; ++i)
            record_tree(children[i], root);
        if (children)
            XFree(children);
    }
    XUngrabServer(dpy);
    printf("%lld READY", now_ms());
    end_line();

    /* An event about a child of the root arrives twice in a row: once for
       the root's substructure, once for the window's own structure. */
    int last_type = 0;
    unsigned long last_serial = 0;
    Window last_window = 0, last_event = 0;
    for (;;) {
        XEvent e;
        XNextEvent(dpy, &e);
        if (e.xany.send_event)
            continue; /* sent by a client: not what the server did */
        Window w = 0, event_window = e.xany.window;
        switch (e.type) {
            case CreateNotify:
                w = e.xcreatewindow.window;
                break;
            case MapNotify:
                w = e.xmap.window;
                event_window = e.xmap.event;
                break;
            case UnmapNotify:
                w = e.xunmap.window;
                event_window = e.xunmap.event;
                break;
            case DestroyNotify:
                w = e.xdestroywindow.window;
                event_window = e.xdestroywindow.event;
                break;
            case ReparentNotify:
                w = e.xreparent.window;
                event_window = e.xreparent.event;
                break;
            case ConfigureNotify:
                w = e.xconfigure.window;
                event_window = e.xconfigure.event;
                break;
            case PropertyNotify:
                break;
            default:
                continue;
        }
        if (e.type != PropertyNotify) {
            int repeat = e.type == last_type && w == last_window && e.xany.serial == last_serial &&
                         event_window != last_event;
            /* The serial is that of this program's own last request, the
               same for a whole run of events: once a pair is complete, the
               next event (a window moved again) starts a new one. */
            last_type = repeat ? 0 : e.type;
            last_window = w;
            last_serial = e.xany.serial;
            last_event = event_window;
            if (repeat)
                continue;
        }
        switch (e.type) {
            case CreateNotify: {
                /* Behind a busy client this runs late: the window may have
                   been reparented by the window manager and mapped before
                   it is watched, and its MapNotify then went to its new
                   parent only. With the server held, a window found mapped
                   outside the root was mapped before the watch began, and
                   its map is written here, once. (A map as the root's
                   child always reaches this program through the root.) */
                XGrabServer(dpy);
                XSelectInput(dpy, w, StructureNotifyMask | PropertyChangeMask);
                XWindowAttributes wa;
                Window root_ret, parent_now = root, *kids = NULL;
                unsigned int nkids = 0;
                if (XQueryTree(dpy, w, &root_ret, &parent_now, &kids, &nkids) && kids)
                    XFree(kids);
                const int mapped_before = parent_now != root && XGetWindowAttributes(dpy, w, &wa) &&
                                          wa.map_state != IsUnmapped;
                printf("%lld CREATE 0x%lx parent=0x%lx at=%d,%d size=%dx%d", now_ms(), w,
                       e.xcreatewindow.parent, e.xcreatewindow.x, e.xcreatewindow.y,
                       e.xcreatewindow.width, e.xcreatewindow.height);
                unsigned long v;
                if (card32(w, a_opacity, &v)) {
                    end_line();
                    printf("%lld OPACITY 0x%lx %lu", now_ms(), w, v);
                }
                if (mapped_before) {
                    end_line();
                    printf("%lld MAP 0x%lx", now_ms(), w);
                    print_who(w);
                }
                XUngrabServer(dpy);
                break;
            }
            case ConfigureNotify:
                printf("%lld CONFIGURE 0x%lx at=%d,%d size=%dx%d", now_ms(), w, e.xconfigure.x,
                       e.xconfigure.y, e.xconfigure.width, e.xconfigure.height);
                break;
            case MapNotify:
                printf("%lld MAP 0x%lx", now_ms(), w);
                print_who(w);
                break;
            case UnmapNotify:
                printf("%lld UNMAP 0x%lx", now_ms(), w);
                break;
            case DestroyNotify:
                printf("%lld DESTROY 0x%lx", now_ms(), w);
                break;
            case ReparentNotify:
                printf("%lld REPARENT 0x%lx parent=0x%lx", now_ms(), w, e.xreparent.parent);
                break;
            case PropertyNotify: {
                if (e.xproperty.atom == a_opacity && e.xproperty.window != root) {
                    unsigned long v;
                    if (e.xproperty.state == PropertyDelete)
                        printf("%lld OPACITY 0x%lx none", now_ms(), e.xproperty.window);
                    else if (card32(e.xproperty.window, a_opacity, &v))
                        printf("%lld OPACITY 0x%lx %lu", now_ms(), e.xproperty.window, v);
                    else
                        continue;
                    break;
                }
                if (e.xproperty.atom != a_mark || e.xproperty.state != PropertyNewValue)
                    continue;
                unsigned long len;
                unsigned char* text = text_property(root, a_mark, AnyPropertyType, &len);
                printf("%lld MARK ", now_ms());
                if (text) {
                    print_text(text, len);
                    XFree(text);
                }
                break;
            }
        }
        end_line();
    }
}
