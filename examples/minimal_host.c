/*
 * minimal_host HOST PORT PATH: the smallest host of tcp.dll that fetches a
 * page. It links against tcp.dll, gives the plug-in a window, and reacts to
 * the plug-in's clicks: each one is an event whose code and text it reads
 * from the slots right away. The page's body goes to standard output.
 */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "tcp.h"

static char request[1024];
static int exitStatus = 1;
static int finished = 0;

static void finish(const char *message, int status) {
  if (message) fprintf(stderr, "minimal_host: %s\n", message);
  finished = 1;
  exitStatus = status;
  PostQuitMessage(0);
}

/* Every event arrives as a click. Clicks are posted, so by the time one is
 * handled a later event may have replaced the slots: read both at once,
 * expect a code more than once, and treat code 2 as the end. */
static void onEvent(void) {
  const int32_t code = GetData();
  if (finished) return; /* a repeated code 2, or an event after the end */
  switch (code) {
    case TCP_EVENT_RESOLVED:
      kconect();
      break;
    case TCP_EVENT_NOT_RESOLVED:
      finish("cannot resolve the host", 1);
      break;
    case TCP_EVENT_CONNECTED:
      SetFile(request);
      sendc();
      break;
    case TCP_EVENT_PROGRESS:
      fprintf(stderr, "progress: %s\n", GetFile());
      break;
    case TCP_EVENT_DISCONNECTED:
      gethtml0();
      fputs(GetFile(), stdout);
      finish(NULL, 0);
      break;
    case TCP_EVENT_ERROR:
      finish("the connection failed", 1);
      break;
  }
}

static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_LBUTTONUP) {
    onEvent();
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
  if (argc != 4) {
    fprintf(stderr, "usage: minimal_host HOST PORT PATH\n");
    return 2;
  }
  snprintf(request, sizeof request, "GET %s HTTP/1.1\r\nHost: %s\r\nConnection: close\r\n\r\n", argv[3], argv[1]);

  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = GetModuleHandleA(NULL);
  windowClass.lpszClassName = "MinimalHost";
  RegisterClassA(&windowClass);
  window = CreateWindowExA(0, "MinimalHost", "minimal host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, NULL, NULL,
                           windowClass.hInstance, NULL);

  SetParentWindow(window); /* builds the plug-in's form and socket client */
  Draw(0, 10, 10, 200, 30); /* where the plug-in clicks */
  SetData(atoi(argv[2]));
  setport();
  SetFile(argv[1]);
  sethost(); /* the click with code 5 or 6 follows */
  SetTimer(window, 1, 30000, NULL);

  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  DestroyWindow(window);
  return exitStatus;
}
