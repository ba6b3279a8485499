#pragma once

// Who holds the process. One run at a time: a check and a delete never
// overlap, and nothing starts while a user's action holds the process.
enum class RunState {
    Idle,
    Reserved, // a user's action holds it: a question is open, or a run is about to start
    Checking,
    Deleting,
};
