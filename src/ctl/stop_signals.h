// A watch or a capture runs until the operator stops it: Ctrl+C, a kill,
// a closed terminal or console. Those requests only set a flag here; the
// commands look at it between their short waits and end as if their time
// were up, so the port is closed and the output flushed on the way out.
#pragma once

namespace ctl {

// From now on the stop requests of the system end the program through
// stopRequested() instead of killing it. Once, before the port opens.
void catchStopSignals();

// True once a stop request came.
bool stopRequested();

// The program has closed the port and flushed its output. Windows ends a
// process whose console is closed as soon as its handler returns, so the
// handler holds that event back until this (or a bound) has passed.
void stopHandled();

}  // namespace ctl
