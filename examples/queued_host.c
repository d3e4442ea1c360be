/*
 * queued_host HOST PORT PATH...: a host of tcp.dll that fetches several pages
 * on one kept connection with queued events. Each click drains the queue with
 * nextevent, so no event is lost or read twice however the clicks arrive, and
 * code 7 says each response is complete. Each page's body goes to standard
 * output; the exit status is 0 when every status was below 400.
 */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "tcp.h"

static char **paths;
static int pathCount;
static int next; /* the next path to ask for */
static const char *host;
static int exitStatus = 1;
static int finished = 0;

static void finish(const char *message, int status) {
  if (message) fprintf(stderr, "queued_host: %s\n", message);
  finished = 1;
  exitStatus = status;
  PostQuitMessage(0);
}

static void askNext(void) {
  static char request[2048];
  snprintf(request, sizeof request, "GET %s HTTP/1.1\r\nHost: %s\r\n\r\n", paths[next++], host);
  SetFile(request);
  sendc();
}

/* A response is in: its status and body, then the next request or the end. */
static void onComplete(void) {
  getstatus();
  fprintf(stderr, "queued_host: %d %s\n", GetData(), GetFile());
  if (GetData() >= 400) exitStatus = 22;
  makechunkeds(); /* the body, decoded when chunked */
  fputs(GetFile(), stdout);
  if (next < pathCount) {
    askNext();
    return;
  }
  finish(NULL, exitStatus == 22 ? 22 : 0);
  disconect();
}

static void onEvent(int32_t code, const char *text) {
  if (finished) return; /* our own disconect's code 2, or anything after the end */
  switch (code) {
    case TCP_EVENT_RESOLVED: kconect(); break;
    case TCP_EVENT_NOT_RESOLVED: finish("cannot resolve the host", 1); break;
    case TCP_EVENT_CONNECTED: askNext(); break;
    case TCP_EVENT_PROGRESS: fprintf(stderr, "progress: %s\n", text); break;
    case TCP_EVENT_COMPLETE: onComplete(); break;
    case TCP_EVENT_ERROR: fprintf(stderr, "queued_host: failed: %s\n", text); finish(NULL, 1); break;
    case TCP_EVENT_DISCONNECTED: finish("the server closed the connection", 1); break;
  }
}

static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONUP) {
    for (nextevent(); GetData() != 0; nextevent()) {
      char text[256];
      snprintf(text, sizeof text, "%s", GetFile()); /* the text changes with the next call */
      onEvent(GetData(), text);
    }
    return 0;
  }
  if (message == WM_TIMER) {
    /* A run that ended just before the timer is over: its status stands. */
    if (!finished) finish("no answer within 30 s", 1);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char **argv) {
  WNDCLASSA windowClass = {0};
  HWND window;
  MSG message;
  if (argc < 4) {
    fprintf(stderr, "usage: queued_host HOST PORT PATH...\n");
    return 2;
  }
  host = argv[1];
  paths = argv + 3;
  pathCount = argc - 3;

  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = GetModuleHandleA(NULL);
  windowClass.lpszClassName = "QueuedHost";
  RegisterClassA(&windowClass);
  window = CreateWindowExA(0, "QueuedHost", "queued host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, NULL, NULL,
                           windowClass.hInstance, NULL);

  SetData(1);
  setevents(); /* from now on each event waits in the queue for nextevent */
  SetParentWindow(window);
  Draw(0, 10, 10, 200, 30);
  SetData(atoi(argv[2]));
  setport();
  SetFile(host);
  sethost();
  SetTimer(window, 1, 30000, NULL);

  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  DestroyWindow(window);
  return exitStatus;
}
