#pragma once

#include <QtGlobal>

// Keeps socket, timer and window events flowing for ms milliseconds in a
// nested event loop that sleeps until the next event or the end of the wait.
// Returns at once for ms below 1.
void waitWithEvents(qint32 ms);
