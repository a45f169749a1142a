/*
 * xdnd-drop: drop files on whatever window lies under a screen point, the way
 * a file manager would, through the X drag-and-drop protocol (XDND).
 *
 *   xdnd-drop [-n] [-p] [-q] X Y FILE...
 *
 * X Y are root-window coordinates. The files are offered as text/uri-list
 * (file:// URIs, percent-encoded) and as text/plain (one absolute path a line).
 *
 *   -n  do not wait for XdndFinished after the drop (the target may open modal
 *       dialogs from its drop handler and only finish much later); the
 *       selection is still served for a short while so the target can fetch it
 *   -p  probe only: send Enter and Position, report the answer, then Leave
 *   -q  quiet: print nothing on stdout
 *
 * Prints one line "target=0xWIN accept=0|1 action=NAME" once the target has
 * answered the position, then "dropped" or "finished" or "left".
 *
 * Exit status: 0 dropped (or probe accepted), 1 usage or X error,
 * 2 no drop-aware window under the point, 3 the target refused the drop
 * (XdndStatus accept bit 0; a Leave is sent instead of a drop),
 * 4 timed out waiting for the target.
 */
#define _GNU_SOURCE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/time.h>
#include <unistd.h>

static Display *dpy;
static Window src;
static Atom aAware, aProxy, aSelection, aEnter, aPosition, aStatus, aLeave, aDrop,
    aFinished, aActionCopy, aUriList, aTextPlain, aTargets, aTypeList, aStamp;
static char *uri_data, *plain_data;
static int quiet;

static double now(void) {
  struct timeval tv;
  gettimeofday(&tv, NULL);
  return tv.tv_sec + tv.tv_usec / 1e6;
}

static void append(char **buf, size_t *len, size_t *cap, const char *s, size_t n) {
  if (*len + n + 1 > *cap) {
    *cap = (*len + n + 1) * 2;
    *buf = realloc(*buf, *cap);
    if (!*buf) {
      perror("realloc");
      exit(1);
    }
  }
  memcpy(*buf + *len, s, n);
  *len += n;
  (*buf)[*len] = 0;
}

/* file:// URI of an absolute path: every byte outside the unreserved set and
 * '/' is percent-encoded, so spaces and UTF-8 names survive. */
static void append_uri(char **buf, size_t *len, size_t *cap, const char *path) {
  static const char hex[] = "0123456789ABCDEF";
  append(buf, len, cap, "file://", 7);
  for (const unsigned char *p = (const unsigned char *)path; *p; p++) {
    if ((*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9') ||
        strchr("-._~/", *p)) {
      append(buf, len, cap, (const char *)p, 1);
    } else {
      char e[3] = {'%', hex[*p >> 4], hex[*p & 15]};
      append(buf, len, cap, e, 3);
    }
  }
  append(buf, len, cap, "\r\n", 2);
}

static void send_client(Window to, Atom type, long l0, long l1, long l2, long l3, long l4) {
  XEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.xclient.type = ClientMessage;
  ev.xclient.display = dpy;
  ev.xclient.window = to;
  ev.xclient.message_type = type;
  ev.xclient.format = 32;
  ev.xclient.data.l[0] = l0;
  ev.xclient.data.l[1] = l1;
  ev.xclient.data.l[2] = l2;
  ev.xclient.data.l[3] = l3;
  ev.xclient.data.l[4] = l4;
  XSendEvent(dpy, to, False, NoEventMask, &ev);
  XFlush(dpy);
}

/* Answers a request for the drag data (or for the list of its formats). */
static void serve(XSelectionRequestEvent *rq) {
  XEvent reply;
  memset(&reply, 0, sizeof reply);
  reply.xselection.type = SelectionNotify;
  reply.xselection.display = dpy;
  reply.xselection.requestor = rq->requestor;
  reply.xselection.selection = rq->selection;
  reply.xselection.target = rq->target;
  reply.xselection.time = rq->time;
  Atom prop = rq->property != None ? rq->property : rq->target;
  reply.xselection.property = prop;
  if (rq->target == aUriList) {
    XChangeProperty(dpy, rq->requestor, prop, aUriList, 8, PropModeReplace,
                    (unsigned char *)uri_data, (int)strlen(uri_data));
  } else if (rq->target == aTextPlain || rq->target == XA_STRING) {
    XChangeProperty(dpy, rq->requestor, prop, rq->target, 8, PropModeReplace,
                    (unsigned char *)plain_data, (int)strlen(plain_data));
  } else if (rq->target == aTargets) {
    Atom t[3] = {aTargets, aUriList, aTextPlain};
    XChangeProperty(dpy, rq->requestor, prop, XA_ATOM, 32, PropModeReplace, (unsigned char *)t, 3);
  } else {
    reply.xselection.property = None;
  }
  XSendEvent(dpy, rq->requestor, False, NoEventMask, &reply);
  XFlush(dpy);
}

/* Processes events until a ClientMessage of the given type arrives (copied to
 * *out, returns 1) or the time runs out (returns 0). Selection requests are
 * answered meanwhile. type None: just serve until the deadline. */
static int pump(Atom type, double seconds, XEvent *out) {
  double end = now() + seconds;
  for (;;) {
    while (XPending(dpy)) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type == SelectionRequest) {
        serve(&ev.xselectionrequest);
      } else if (ev.type == ClientMessage && type != None && ev.xclient.message_type == type) {
        if (out) *out = ev;
        return 1;
      }
    }
    double left = end - now();
    if (left <= 0) return 0;
    struct pollfd pfd = {ConnectionNumber(dpy), POLLIN, 0};
    int ms = (int)(left * 1000) + 1;
    if (poll(&pfd, 1, ms) < 0 && errno != EINTR) return 0;
  }
}

static int xerror(Display *d, XErrorEvent *e) {
  char msg[256];
  XGetErrorText(d, e->error_code, msg, sizeof msg);
  fprintf(stderr, "xdnd-drop: X error: %s (request %d)\n", msg, e->request_code);
  return 0;
}

/* Drop-aware window under (x, y): walks from the root down through the
 * children that contain the point and takes the first one that carries
 * XdndAware. Sets *version to the protocol version it announces. */
static Window find_target(int x, int y, int *version) {
  Window root = DefaultRootWindow(dpy), w = root;
  for (;;) {
    int wx, wy;
    Window child = None;
    if (!XTranslateCoordinates(dpy, root, w, x, y, &wx, &wy, &child) || child == None) return None;
    w = child;
    Atom type;
    int format;
    unsigned long n, after;
    unsigned char *data = NULL;
    if (XGetWindowProperty(dpy, w, aAware, 0, 1, False, AnyPropertyType, &type, &format, &n, &after,
                           &data) == Success &&
        type != None && n >= 1 && data) {
      *version = (int)((Atom *)data)[0];
      XFree(data);
      return w;
    }
    if (data) XFree(data);
  }
}

/* XdndProxy: when the target names a proxy window, messages go there. */
static Window proxy_of(Window w) {
  Atom type;
  int format;
  unsigned long n, after;
  unsigned char *data = NULL;
  Window p = None;
  if (XGetWindowProperty(dpy, w, aProxy, 0, 1, False, XA_WINDOW, &type, &format, &n, &after, &data) ==
          Success &&
      type == XA_WINDOW && n == 1 && data)
    p = ((Window *)data)[0];
  if (data) XFree(data);
  return p;
}

static void say(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
static void say(const char *fmt, ...) {
  if (quiet) return;
  va_list ap;
  va_start(ap, fmt);
  vprintf(fmt, ap);
  va_end(ap);
  fflush(stdout);
}

int main(int argc, char **argv) {
  int nowait = 0, probe = 0, opt;
  while ((opt = getopt(argc, argv, "npq")) != -1) {
    switch (opt) {
      case 'n': nowait = 1; break;
      case 'p': probe = 1; break;
      case 'q': quiet = 1; break;
      default: goto usage;
    }
  }
  if (argc - optind < 3) {
  usage:
    fprintf(stderr, "usage: xdnd-drop [-n] [-p] [-q] X Y FILE...\n");
    return 1;
  }
  char *end;
  long x = strtol(argv[optind], &end, 10);
  if (*end) goto usage;
  long y = strtol(argv[optind + 1], &end, 10);
  if (*end) goto usage;

  size_t ulen = 0, ucap = 0, plen = 0, pcap = 0;
  for (int i = optind + 2; i < argc; i++) {
    char abs[PATH_MAX];
    if (!realpath(argv[i], abs)) {
      fprintf(stderr, "xdnd-drop: %s: %s\n", argv[i], strerror(errno));
      return 1;
    }
    append_uri(&uri_data, &ulen, &ucap, abs);
    append(&plain_data, &plen, &pcap, abs, strlen(abs));
    append(&plain_data, &plen, &pcap, "\n", 1);
  }

  dpy = XOpenDisplay(NULL);
  if (!dpy) {
    fprintf(stderr, "xdnd-drop: cannot open display\n");
    return 1;
  }
  XSetErrorHandler(xerror);
  aAware = XInternAtom(dpy, "XdndAware", False);
  aProxy = XInternAtom(dpy, "XdndProxy", False);
  aSelection = XInternAtom(dpy, "XdndSelection", False);
  aEnter = XInternAtom(dpy, "XdndEnter", False);
  aPosition = XInternAtom(dpy, "XdndPosition", False);
  aStatus = XInternAtom(dpy, "XdndStatus", False);
  aLeave = XInternAtom(dpy, "XdndLeave", False);
  aDrop = XInternAtom(dpy, "XdndDrop", False);
  aFinished = XInternAtom(dpy, "XdndFinished", False);
  aActionCopy = XInternAtom(dpy, "XdndActionCopy", False);
  aUriList = XInternAtom(dpy, "text/uri-list", False);
  aTextPlain = XInternAtom(dpy, "text/plain", False);
  aTargets = XInternAtom(dpy, "TARGETS", False);
  aTypeList = XInternAtom(dpy, "XdndTypeList", False);
  aStamp = XInternAtom(dpy, "XDND_DROP_TIMESTAMP", False);

  /* The source window: never mapped, only owns the selection and receives
   * the target's answers. */
  src = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), -10, -10, 1, 1, 0, 0, 0);
  XSelectInput(dpy, src, PropertyChangeMask);
  Atom types[2] = {aUriList, aTextPlain};
  XChangeProperty(dpy, src, aTypeList, XA_ATOM, 32, PropModeReplace, (unsigned char *)types, 2);

  /* A server timestamp, from the PropertyNotify of a property change. */
  XChangeProperty(dpy, src, aStamp, XA_STRING, 8, PropModeReplace, (unsigned char *)"x", 1);
  XEvent ev;
  Time t = CurrentTime;
  for (;;) {
    XNextEvent(dpy, &ev);
    if (ev.type == PropertyNotify && ev.xproperty.atom == aStamp) {
      t = ev.xproperty.time;
      break;
    }
  }
  XSetSelectionOwner(dpy, aSelection, src, t);
  if (XGetSelectionOwner(dpy, aSelection) != src) {
    fprintf(stderr, "xdnd-drop: could not own XdndSelection\n");
    return 1;
  }

  int version = 0;
  Window target = find_target((int)x, (int)y, &version);
  if (target == None) {
    fprintf(stderr, "xdnd-drop: no drop-aware window at %ld,%ld\n", x, y);
    return 2;
  }
  if (version > 5) version = 5;
  Window to = proxy_of(target);
  if (to == None) to = target;

  /* Enter, then serve the data at once: Wine converts the selection while it
   * handles the Enter and gives up after about half a second. */
  send_client(to, aEnter, (long)src, (long)version << 24, (long)aUriList, (long)aTextPlain, None);
  pump(None, 0.05, NULL);
  send_client(to, aPosition, (long)src, 0, (x << 16) | (y & 0xffff), (long)t, (long)aActionCopy);
  if (!pump(aStatus, 5.0, &ev)) {
    fprintf(stderr, "xdnd-drop: no XdndStatus from 0x%lx\n", target);
    send_client(to, aLeave, (long)src, 0, 0, 0, 0);
    return 4;
  }
  int accept = (int)(ev.xclient.data.l[1] & 1);
  Atom action = (Atom)ev.xclient.data.l[4];
  char *aname = action != None ? XGetAtomName(dpy, action) : NULL;
  say("target=0x%lx accept=%d action=%s\n", target, accept, aname ? aname : "None");
  if (aname) XFree(aname);

  if (!accept || probe) {
    send_client(to, aLeave, (long)src, 0, 0, 0, 0);
    pump(None, 0.1, NULL);
    say("left\n");
    return accept ? 0 : 3;
  }

  send_client(to, aDrop, (long)src, 0, (long)t, 0, 0);
  if (nowait) {
    /* Keep the data available for a moment in case the target fetches it
     * again at the drop; a Finished that comes early ends the wait. */
    int fin = pump(aFinished, 0.5, &ev);
    say(fin ? "finished\n" : "dropped\n");
    return 0;
  }
  if (!pump(aFinished, 5.0, &ev)) {
    fprintf(stderr, "xdnd-drop: no XdndFinished from 0x%lx\n", target);
    return 4;
  }
  say("finished\n");
  XCloseDisplay(dpy);
  return 0;
}
