#include "win32/mdlStart.h"

int main() { return vyr::win32::Main(); }
