// Keeps Wine's desktop alive for a whole test run.  Wine ends its desktop
// process a while after the last program that used it has gone; every later
// test that touches the screen then waits many seconds for a new one.  This
// program holds the desktop until the Wine server is stopped.
#include <windows.h>

int main() {
  if (GetDesktopWindow() == nullptr) return 1;
  Sleep(INFINITE);
  return 0;
}
