#include "app/main_log.h"

// The logging work (the CMyLog singleton and its marker file) fills these in.
void OpenMainLog() {}

void CloseMainLog() {}
