#include "idle/watcher.h"

int main() { return pellavin::idle::run_watcher(); }
