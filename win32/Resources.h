#pragma once

// Resource ids shared by the resource scripts and the code that loads them.
#define VYR_ICON_APP 1
