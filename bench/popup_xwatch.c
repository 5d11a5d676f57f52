/* Watches the top-level windows of an X display for the popup benchmark and
   prints, one line per event, flushed at once, until it is killed:

     <us> READY                          watching from now on
     <us> MAP <wid> pid=<pid> name=<title>
     <us> OPACITY <wid> <value>|none <ms> pid=<pid> name=<title>
                                         _NET_WM_WINDOW_OPACITY set or removed
     <us> CONFIGURE <wid> <x> <y> <w> <h> synthetic=0|1
     <us> DESTROY <wid>

   <us> is CLOCK_MONOTONIC in microseconds, read when the event is taken
   from the connection; <ms> is the X server's time of the change, which a
   busy machine does not delay as it can delay this program's reading.
   Every window that is created on the root is watched once this program
   reads its creation, which may be after it was mapped or made
   translucent: what it missed is then read from the window itself (its
   map state, its opacity) and written at once, each map of a window once.
   A window manager that reparents a window tells it its new place with a
   synthetic ConfigureNotify in root coordinates. */

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static Display* dpy;
static Atom a_opacity, a_pid, a_name, a_utf8;

static long long now_us(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

/* Windows vanish at any moment: errors about them are expected. */
static int ignore_error(Display* d, XErrorEvent* e) {
    (void)d;
    (void)e;
    return 0;
}

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

static void print_name(Window w) {
    Atom actual;
    int format;
    unsigned long n, after;
    unsigned char* data = NULL;
    if (XGetWindowProperty(dpy, w, a_name, 0, 1024, False, a_utf8, &actual, &format, &n, &after,
                           &data) == Success &&
        data && format == 8) {
        for (unsigned long i = 0; i < n && data[i]; ++i)
            putchar(data[i] == '\n' ? ' ' : data[i]);
    }
    if (data)
        XFree(data);
}

/* The windows whose map is written and not yet followed by an unmap or a
   destruction: a map read from the window and the same map's event are one. */
#define MAX_MAPPED 4096
static Window mapped[MAX_MAPPED];
static int n_mapped;

static int take_map(Window w) {
    for (int i = 0; i < n_mapped; ++i)
        if (mapped[i] == w)
            return 0;
    if (n_mapped < MAX_MAPPED)
        mapped[n_mapped++] = w;
    return 1;
}

static void forget_map(Window w) {
    for (int i = 0; i < n_mapped; ++i)
        if (mapped[i] == w) {
            mapped[i] = mapped[--n_mapped];
            return;
        }
}

static void print_map(long long t, Window w) {
    if (!take_map(w))
        return;
    unsigned long pid = 0;
    card32(w, a_pid, &pid);
    printf("%lld MAP 0x%lx pid=%lu name=", t, w, pid);
    print_name(w);
    putchar('\n');
}

static void print_opacity(long long t, Window w, unsigned long v, unsigned long time) {
    unsigned long pid = 0;
    card32(w, a_pid, &pid);
    printf("%lld OPACITY 0x%lx %lu %lu pid=%lu name=", t, w, v, time, pid);
    print_name(w);
    putchar('\n');
}

int main(void) {
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "popup_xwatch: cannot open the display\n");
        return 1;
    }
    XSetErrorHandler(ignore_error);
    a_opacity = XInternAtom(dpy, "_NET_WM_WINDOW_OPACITY", False);
    a_pid = XInternAtom(dpy, "_NET_WM_PID", False);
    a_name = XInternAtom(dpy, "_NET_WM_NAME", False);
    a_utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Window root = DefaultRootWindow(dpy);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);
    printf("%lld READY\n", now_us());
    fflush(stdout);

    for (;;) {
        XEvent e;
        XNextEvent(dpy, &e);
        const long long t = now_us();
        switch (e.type) {
            case CreateNotify: {
                if (e.xcreatewindow.parent != root)
                    break;
                const Window w = e.xcreatewindow.window;
                XSelectInput(dpy, w, StructureNotifyMask | PropertyChangeMask);
                /* What happened before the selection took effect: an opacity
                   already set (its server time unknown: 0), a map already
                   made. Later changes come as events. */
                XSync(dpy, False);
                unsigned long v;
                if (card32(w, a_opacity, &v))
                    print_opacity(t, w, v, 0);
                XWindowAttributes wa;
                if (XGetWindowAttributes(dpy, w, &wa) && wa.map_state != IsUnmapped)
                    print_map(t, w);
                break;
            }
            case MapNotify:
                /* Reported to the root for its own children (the window
                   manager's frames) and to the watched window itself. */
                if (e.xmap.event != root)
                    print_map(t, e.xmap.window);
                break;
            case UnmapNotify:
                if (e.xunmap.event != root)
                    forget_map(e.xunmap.window);
                break;
            case PropertyNotify: {
                if (e.xproperty.atom != a_opacity)
                    break;
                /* The owner and title with every change: a window can be
                   made translucent before this program sees it mapped. */
                const Window w = e.xproperty.window;
                unsigned long v = 0, pid = 0;
                card32(w, a_pid, &pid);
                if (e.xproperty.state == PropertyDelete) {
                    printf("%lld OPACITY 0x%lx none %lu pid=%lu name=", t, w, e.xproperty.time,
                           pid);
                } else if (card32(w, a_opacity, &v)) {
                    print_opacity(t, w, v, e.xproperty.time);
                    break;
                } else {
                    break;
                }
                print_name(w);
                putchar('\n');
                break;
            }
            case ConfigureNotify:
                if (e.xconfigure.event == root)
                    break;
                printf("%lld CONFIGURE 0x%lx %d %d %d %d synthetic=%d\n", t, e.xconfigure.window,
                       e.xconfigure.x, e.xconfigure.y, e.xconfigure.width, e.xconfigure.height,
                       e.xconfigure.send_event ? 1 : 0);
                break;
            case DestroyNotify:
                if (e.xdestroywindow.event == e.xdestroywindow.window) {
                    forget_map(e.xdestroywindow.window);
                    printf("%lld DESTROY 0x%lx\n", t, e.xdestroywindow.window);
                }
                break;
            default:
                break;
        }
        fflush(stdout);
    }
}
