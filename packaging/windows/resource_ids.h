#pragma once

// Resource numbers shared by the resource scripts and the programs that load them.
#define JOV_ICON 1
