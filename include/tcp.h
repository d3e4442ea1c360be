/*
 * tcp.h: the entry points of tcp.dll, for hosts written in C or C++.
 *
 * Every entry point is a C function with the C calling convention (cdecl on
 * 32-bit Windows: the caller removes the arguments), exported by name and by
 * the ordinal given beside it. Call them on the thread that owns the window
 * given to SetParentWindow, and keep that thread's message loop running:
 * socket events and the plug-in's windows are handled there.
 *
 * Two slots carry all data: a text slot (SetFile/GetFile) and a signed 32-bit
 * value slot (SetData/GetData). Commands take no arguments and return nothing;
 * each reads the slots and leaves its result in them. Events arrive as a
 * posted left-button click on the host window (WM_LBUTTONDOWN, WM_LBUTTONUP);
 * on the click, GetData holds a TCP_EVENT_* code and GetFile its text.
 * Texts are zero-terminated bytes in the ANSI code page.
 *
 * Hosts that load the library at run time find each entry point with
 * GetProcAddress(module, "name") and call it through the tcp_*_fn types.
 */
#ifndef TCP_H
#define TCP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef TCP_CALL
#define TCP_CALL __cdecl
#endif

/* The codes GetData holds when an event's click arrives. */
enum tcp_event {
  TCP_EVENT_CONNECTED = 1,    /* "Клиент подключился": the connection is up */
  TCP_EVENT_DISCONNECTED = 2, /* "Клиент отключился": the connection closed */
  TCP_EVENT_ERROR = 3,        /* "Ошибка": a socket operation failed */
  TCP_EVENT_PROGRESS = 4,     /* data arrived; text: percent of the declared length (header block included) */
  TCP_EVENT_RESOLVED = 5,     /* sethost found the address; text: it, dotted */
  TCP_EVENT_NOT_RESOLVED = 6, /* sethost found no address; text: "no ip" */
  TCP_EVENT_COMPLETE = 7      /* queued events only: the response is complete; text: its status code */
};

/* getsize's value: where the current response stands. */
enum tcp_response_state {
  TCP_RESPONSE_HEADER = 0,   /* its header block is not complete yet */
  TCP_RESPONSE_BODY = 1,     /* the body is arriving */
  TCP_RESPONSE_COMPLETE = 2, /* its last byte has arrived */
  TCP_RESPONSE_CUT = 3       /* the connection closed before it was complete (or its framing is invalid) */
};

/* The shapes of the entry points, for GetProcAddress. */
typedef void(TCP_CALL *tcp_command_fn)(void);
typedef void(TCP_CALL *tcp_set_text_fn)(const char *text);
typedef const char *(TCP_CALL *tcp_get_text_fn)(void);
typedef void(TCP_CALL *tcp_set_value_fn)(int32_t value);
typedef int32_t(TCP_CALL *tcp_get_value_fn)(void);
typedef void(TCP_CALL *tcp_set_window_fn)(void *window);
typedef void(TCP_CALL *tcp_draw_fn)(int32_t unused, int32_t x, int32_t y, int32_t width, int32_t height);

/* ---- Host entry points ---- */

/* 28: the plug-in's type: always 0. */
int32_t TCP_CALL GetType(void);
/* 30: "Orvane TCP Zornel_plugin". */
const char *TCP_CALL GetShortInfo(void);
/* 29: five lines, each ended by CR LF, describing the plug-in (same pointer on every call). */
const char *TCP_CALL GetInfo(void);
/* 31: one copyright line, indented by six blanks. */
const char *TCP_CALL Copyright(void);
/* 26: the plug-in has no settings; does nothing. */
void TCP_CALL Settings(void);
/* 32: records the plug-in's folder (a null pointer counts as empty). */
void TCP_CALL SetPath(const char *path);
/* 36: text slot <- text, up to its zero byte (null counts as empty); the last five texts are kept. */
void TCP_CALL SetFile(const char *text);
/* 35: the text slot; never null, valid until the slot next changes. */
const char *TCP_CALL GetFile(void);
/* 34: value slot <- value. */
void TCP_CALL SetData(int32_t value);
/* 33: the value slot. */
int32_t TCP_CALL GetData(void);
/* 27: the HWND that receives the clicks; the first call builds the plug-in's form and socket client. */
void TCP_CALL SetParentWindow(void *window);
/* 25: the click point <- (x, y); moves and sizes the form. The first argument is not used: pass 0. */
void TCP_CALL Draw(int32_t unused, int32_t x, int32_t y, int32_t width, int32_t height);

/* ---- Connection commands (after the first SetParentWindow) ---- */

/* 23: resolves the host name in the text slot: event 5 with the address (now the host) or event 6. */
void TCP_CALL sethost(void);
/* 22: host <- text slot, unchecked; a host that is not a dotted IPv4 address makes kconect report event 3. */
void TCP_CALL setip(void);
/* 24: port <- value slot modulo 65536. */
void TCP_CALL setport(void);
/* 2: connects (closing a live connection first: event 2); event 1 when up, event 3 on failure. */
void TCP_CALL kconect(void);
/* 1: closes; event 2 when a connection was up. */
void TCP_CALL disconect(void);
/* 21: empties the received response, then sends the text slot; without a connection: event 3. */
void TCP_CALL sendc(void);
/* 3: text <- every byte received since sendc. */
void TCP_CALL recev(void);
/* 15: text <- "host H Port P online|ofline bufer N" (N: bytes received since sendc). */
void TCP_CALL status(void);

/* ---- Taking the response apart ---- */

/* 8: text <- the header block (before the first CR LF CR LF); unchanged while none has arrived. */
void TCP_CALL getheader(void);
/* 14: text <- the body: everything after the first CR LF CR LF. */
void TCP_CALL gethtml0(void);
/* 7: text <- the body less its first line. */
void TCP_CALL gethtml(void);
/* 18: text <- the declared Content-Length in decimal ("0" when none). */
void TCP_CALL getotvetlen(void);
/* 9: text <- the received bytes between marker A (the text before the last) and the next marker B (the last text). */
void TCP_CALL parseotvet(void);
/* 5: the same as parseotvet in the body makechunkeds decoded. */
void TCP_CALL parserez(void);
/* 6: text <- the body, decoded when chunked; also splits the header block into header lines. */
void TCP_CALL makechunkeds(void);
/* 4: rebuilds the header lines from the header block makechunkeds split. */
void TCP_CALL makeheader(void);
/* 11: text <- the header lines (split by makechunkeds) that begin with the name in the text slot ('*', '?' wildcards). */
void TCP_CALL getheadername(void);
/* 19: writes the body (decoded when chunked) to the file named by the text slot. */
void TCP_CALL savebin(void);
/* 12: writes every received byte to the file named by the text slot. */
void TCP_CALL savebinall(void);
/* 13: text <- the last text with every occurrence of marker A (the text before it) removed. */
void TCP_CALL strip(void);

/* ---- Text conversions (from load on) ---- */

/* 16: text <- the text slot from the ANSI code page to UTF-8. */
void TCP_CALL utfenk(void);
/* 10: text <- the text slot from UTF-8 to the ANSI code page; empty when it is not UTF-8. */
void TCP_CALL utfdek(void);
/* 20: text <- the text slot from the OEM code page to ANSI, same length. */
void TCP_CALL oem2ansi(void);
/* 17: text <- the text slot from ANSI to the OEM code page, same length. */
void TCP_CALL ansi2oem(void);

/* ---- TLS, failure reasons, timeout, trusted certificates (off until called) ---- */

/* 37: value 0 plain TCP (default), 1 TLS with the certificate checked, 2 TLS unchecked (insecure);
   text: the server name for SNI and the check (empty: the name given to sethost). From the next kconect. */
void TCP_CALL settls(void);
/* 38: text <- the reason of the last failure that gave code 3 since kconect (e.g. "WSAECONNREFUSED",
   "CERT_E_UNTRUSTEDROOT"), value <- its code; empty text and 0 when there was none. */
void TCP_CALL lasterror(void);
/* 39: value: milliseconds without progress before code 3 WSAETIMEDOUT and a close; 0 for none (default). */
void TCP_CALL settimeout(void);
/* 40: trusts the certificate file (PEM or DER) named by the text slot as a root; value <- 0 or why not. */
void TCP_CALL addca(void);

/* ---- Queued events and the response's values (off until called) ---- */

/* 41: value 1: queued events from now on (each event joins a queue and clicks; nextevent reads it; code 7
   says a response is complete); value 0: events write the slots (the default; empties the queue). */
void TCP_CALL setevents(void);
/* 42: value <- the oldest queued event's code, text <- its text; the event leaves the queue. 0 and "" when empty. */
void TCP_CALL nextevent(void);
/* 43: value <- the current response's status code (0 until its header block is in), text <- its reason phrase. */
void TCP_CALL getstatus(void);
/* 44: text: a field name; text <- the values of the fields of that name joined (", ", Set-Cookie by LF),
   value <- how many there are. */
void TCP_CALL getvalue(void);
/* 45: text <- the body bytes received so far (chunk framing excluded), value <- a tcp_response_state. */
void TCP_CALL getsize(void);

/* ---- Reach (off until called) ---- */

/* 46: text: the HTTP proxy of later kconects, "host:port", "[IPv6]:port" or "user:password@host:port"
   (Basic authentication); empty: none (default). value <- 0 when taken, else E_INVALIDARG (nothing changes).
   A refusal gives code 3, lasterror "TCP_E_PROXY_<status>" with the proxy's status as its value. */
void TCP_CALL setproxy(void);

/* ---- Client certificates ---- */

/* 47: text: the path of a PKCS#12 file (.pfx/.p12, at most 1 MiB); the text given to SetFile before it: its
   password (empty for none). Offered to servers that ask for a client certificate from the next kconect on;
   an empty path forgets it. value <- 0 when taken, else the code of why not; the text is left as it was. */
void TCP_CALL setcert(void);

/*
 * Every export as X(ordinal, name). Libraries older than this header lack
 * ordinals 37 to 47: look those up with GetProcAddress and use them when
 * present.
 */
#define TCP_EXPORTS(X)                                                                          \
  X(1, disconect) X(2, kconect) X(3, recev) X(4, makeheader) X(5, parserez) X(6, makechunkeds) \
  X(7, gethtml) X(8, getheader) X(9, parseotvet) X(10, utfdek) X(11, getheadername)             \
  X(12, savebinall) X(13, strip) X(14, gethtml0) X(15, status) X(16, utfenk) X(17, ansi2oem)    \
  X(18, getotvetlen) X(19, savebin) X(20, oem2ansi) X(21, sendc) X(22, setip) X(23, sethost)    \
  X(24, setport) X(25, Draw) X(26, Settings) X(27, SetParentWindow) X(28, GetType)              \
  X(29, GetInfo) X(30, GetShortInfo) X(31, Copyright) X(32, SetPath) X(33, GetData)             \
  X(34, SetData) X(35, GetFile) X(36, SetFile) X(37, settls) X(38, lasterror) X(39, settimeout)  \
  X(40, addca) X(41, setevents) X(42, nextevent) X(43, getstatus) X(44, getvalue) X(45, getsize) \
  X(46, setproxy) X(47, setcert)

#ifdef __cplusplus
}
#endif

#endif /* TCP_H */
